# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the clipboard with exactly the targets a test names; plain xcb.
add_executable(qs-clipboard-owner support/clipboard-owner.cpp)
target_link_libraries(qs-clipboard-owner PRIVATE PkgConfig::XCB quillstack_options)

quillstack_add_test(NAME tst_X11Pasteboard
  SOURCES tst_X11Pasteboard.cpp ${QUILLSTACK_CLIPBOARD_TOOLS}
  LIBS quillstack_platform_x11 LABELS x11 X11)
add_dependencies(tst_X11Pasteboard qs-clipboard-owner)
target_compile_definitions(tst_X11Pasteboard PRIVATE
  QS_CLIPBOARD_OWNER="$<TARGET_FILE:qs-clipboard-owner>")
# libxkbcommon-x11 (loaded by Qt's xcb plugin) strndup()s atom names that are
# not NUL-terminated; strict string checks report that as an overflow at start-up.
set_property(TEST tst_X11Pasteboard APPEND PROPERTY ENVIRONMENT
  "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=0")
