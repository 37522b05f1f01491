# SPDX-License-Identifier: GPL-3.0-or-later
# Global shortcuts: the model, names and dispatch against fakes; the X11
# grabs and keyboard layout against a real server.
quillstack_add_test(NAME tst_Shortcut
  SOURCES tst_Shortcut.cpp support/FakeKeyboardLayout.cpp
  LIBS quillstack_globalhotkeys LABELS unit)
quillstack_add_test(NAME tst_SystemHotkeys
  SOURCES tst_SystemHotkeys.cpp support/FakeHotkeyRegistrar.cpp support/FakeKeyboardLayout.cpp
    support/ConsoleCapture.cpp
  LIBS quillstack_globalhotkeys LABELS unit)
# With the controller that gives the panel's shortcuts their actions.
quillstack_add_test(NAME tst_NamedShortcuts
  SOURCES tst_NamedShortcuts.cpp support/FakeHotkeyRegistrar.cpp support/FakeKeyboardLayout.cpp
  LIBS quillstack_app LABELS unit)
quillstack_add_test(NAME tst_X11Hotkeys
  SOURCES tst_X11Hotkeys.cpp support/X11TestTools.cpp
  LIBS quillstack_platform_x11 PkgConfig::XCB LABELS x11 X11)
# libxkbcommon-x11 (used by Qt's xcb plugin and by our layout) strndup()s atom
# names that are not NUL-terminated; strict string checks call that an overflow.
set_property(TEST tst_X11Hotkeys APPEND PROPERTY ENVIRONMENT
  "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=0")
quillstack_add_test(NAME tst_RecorderField
  SOURCES tst_RecorderField.cpp support/FakeHotkeyRegistrar.cpp support/FakeKeyboardLayout.cpp
    support/RecorderKeys.h
  LIBS quillstack_globalhotkeys LABELS gui)
