# SPDX-License-Identifier: GPL-3.0-or-later
quillstack_add_test(NAME tst_PanelPlacement SOURCES tst_PanelPlacement.cpp LIBS quillstack_app
  LABELS unit)
quillstack_add_test(NAME tst_StatusIcon SOURCES tst_StatusIcon.cpp LIBS quillstack_app
  LABELS gui)
quillstack_add_test(NAME tst_ReviewPrompt SOURCES tst_ReviewPrompt.cpp LIBS quillstack_app
  LABELS gui)
set(QUILLSTACK_APP_FAKES
  support/FakeMouseMonitor.cpp support/FakeMouseMonitor.h
  support/FakeScreens.h
  support/FakeWorkspace.cpp support/FakeWorkspace.h
  support/MemoryPasteboard.cpp support/MemoryPasteboard.h
  support/FakeHotkeyRegistrar.cpp support/FakeHotkeyRegistrar.h
  support/FakeKeyboardLayout.cpp support/FakeKeyboardLayout.h)
quillstack_add_test(NAME tst_AppDelegate SOURCES tst_AppDelegate.cpp ${QUILLSTACK_APP_FAKES}
  LIBS quillstack_app LABELS gui)
quillstack_add_test(NAME tst_PanelController SOURCES tst_PanelController.cpp
  ${QUILLSTACK_APP_FAKES} LIBS quillstack_app LABELS gui)
quillstack_add_test(NAME tst_TrayMenu SOURCES tst_TrayMenu.cpp support/ConsoleCapture.cpp
  ${QUILLSTACK_APP_FAKES} LIBS quillstack_app LABELS gui)

# Another program's window for the X11 tests to hand the keyboard back to.
add_executable(qs-focus-window support/focus-window.cpp)
target_link_libraries(qs-focus-window PRIVATE Qt6::Widgets quillstack_options)
set(QUILLSTACK_APP_X11_SUPPORT
  support/X11AppFixture.cpp support/X11AppFixture.h
  support/X11TestTools.cpp support/X11TestTools.h support/PaintedPixels.h)
quillstack_add_test(NAME tst_AppX11 SOURCES tst_AppX11.cpp ${QUILLSTACK_APP_X11_SUPPORT}
  LIBS quillstack_program quillstack_platform_x11 PkgConfig::XCB LABELS x11 X11)
add_dependencies(tst_AppX11 qs-focus-window)
# Qt's xcb plugin loads libxkbcommon-x11, which strndup()s atom names that are
# not NUL-terminated: strict string checks take that for an overflow.
set_property(TEST tst_AppX11 APPEND PROPERTY ENVIRONMENT
  "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=0")
# The same against a bare X server: activation then goes through the input focus.
add_test(NAME tst_AppX11_noWM COMMAND ${QUILLSTACK_X11_HARNESS} $<TARGET_FILE:tst_AppX11>)
get_test_property(tst_AppX11 ENVIRONMENT QUILLSTACK_APP_X11_ENV)
set_tests_properties(tst_AppX11_noWM PROPERTIES LABELS x11 TIMEOUT 120
  ENVIRONMENT "${QUILLSTACK_APP_X11_ENV};QUILLSTACK_NO_WM=1")
# The global shortcuts of the whole application against a real X server.
quillstack_add_test(NAME tst_AppX11Hotkeys
  SOURCES tst_AppX11Hotkeys.cpp ${QUILLSTACK_APP_X11_SUPPORT} support/ConsoleCapture.cpp
    support/KeyRepeatProbe.cpp support/KeyRepeatProbe.h
  LIBS quillstack_program quillstack_platform_x11 PkgConfig::XCB LABELS x11 X11)
add_dependencies(tst_AppX11Hotkeys qs-focus-window)
# Paste after choosing, into a real text field and a real terminal.
quillstack_add_test(NAME tst_PasteX11 SOURCES tst_PasteX11.cpp ${QUILLSTACK_APP_X11_SUPPORT}
  LIBS quillstack_program quillstack_platform_x11 PkgConfig::XCB LABELS x11 X11 TIMEOUT 300)
add_dependencies(tst_PasteX11 qs-focus-window)
# Which keys paste where (the chord per window, the keys per layout) and
# when, after a choice.
quillstack_add_test(NAME tst_PasteKeys SOURCES tst_PasteKeys.cpp
  LIBS quillstack_platform_x11 PkgConfig::XCB LABELS unit)
