# SPDX-License-Identifier: GPL-3.0-or-later
# The GNOME Shell companion: its logic under Node against stand-ins for the
# shell's libraries, and the real thing inside a private headless GNOME Shell.
# The core runs under Node's own test runner (`node --test`), no npm package needed.
find_program(QUILLSTACK_NODE node REQUIRED)
add_test(NAME tst_GnomeExtensionCore
  COMMAND ${QUILLSTACK_NODE} --test ${CMAKE_SOURCE_DIR}/extensions/gnome-shell/tests/core.test.mjs)
set_tests_properties(tst_GnomeExtensionCore PROPERTIES LABELS "gnome;unit" TIMEOUT 60)

# The companion inside the shell, the test in Quillstack's place on the bus.
quillstack_add_test(NAME tst_GnomeShellCompanion
  SOURCES tst_GnomeShellCompanion.cpp ${QUILLSTACK_CLIPBOARD_TOOLS}
  LIBS Qt6::DBus Qt6::Gui LABELS gnome wayland GNOME TIMEOUT 300)
add_dependencies(tst_GnomeShellCompanion qs-clipboard-owner qs-focus-window)
target_compile_definitions(tst_GnomeShellCompanion PRIVATE
  QS_CLIPBOARD_OWNER="$<TARGET_FILE:qs-clipboard-owner>" QS_FOCUS_WINDOW="$<TARGET_FILE:qs-focus-window>")

# The whole program through the companion inside the shell.
quillstack_add_test(NAME tst_GnomeSession
  SOURCES tst_GnomeSession.cpp ${QUILLSTACK_PROCESS} ${QUILLSTACK_CLIPBOARD_TOOLS}
  LIBS Qt6::DBus Qt6::Gui LABELS gnome wayland GNOME TIMEOUT 300)
add_dependencies(tst_GnomeSession quillstack qs-clipboard-owner qs-focus-window)
target_compile_definitions(tst_GnomeSession PRIVATE
  QS_CLIPBOARD_OWNER="$<TARGET_FILE:qs-clipboard-owner>" QS_FOCUS_WINDOW="$<TARGET_FILE:qs-focus-window>")
