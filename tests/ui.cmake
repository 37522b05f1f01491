# SPDX-License-Identifier: GPL-3.0-or-later
quillstack_add_test(NAME tst_HistoryViewController LIBS quillstack_ui LABELS gui
  SOURCES tst_HistoryViewController.cpp support/RecordingHistoryDelegate.h support/TestHistory.cpp
    support/PaintedPixels.h)
quillstack_add_test(NAME tst_Catalogues SOURCES tst_Catalogues.cpp LIBS quillstack_ui LABELS unit)
target_compile_definitions(tst_Catalogues PRIVATE QUILLSTACK_SOURCE_DIR="${CMAKE_SOURCE_DIR}/src")
quillstack_add_test(NAME tst_PreferencesController LIBS quillstack_ui LABELS gui
  SOURCES tst_PreferencesController.cpp support/FakeHotkeyRegistrar.cpp
    support/FakeKeyboardLayout.cpp)
quillstack_add_test(NAME tst_EditClipController SOURCES tst_EditClipController.cpp
  LIBS quillstack_ui LABELS gui)
