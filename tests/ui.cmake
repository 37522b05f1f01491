# SPDX-License-Identifier: GPL-3.0-or-later
quillstack_add_test(NAME tst_HistoryViewController LIBS quillstack_ui LABELS gui
  SOURCES tst_HistoryViewController.cpp support/RecordingHistoryDelegate.h support/StoreFixture.h
    support/PaintedPixels.h)
quillstack_add_test(NAME tst_PreferencesController LIBS quillstack_ui LABELS gui
  SOURCES tst_PreferencesController.cpp support/FakeHotkeyRegistrar.cpp
    support/FakeKeyboardLayout.cpp)
quillstack_add_test(NAME tst_EditClipController SOURCES tst_EditClipController.cpp
  LIBS quillstack_ui LABELS gui)
