# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the Wayland clipboard with exactly the types a test names.
add_executable(qs-wayland-owner support/wayland-owner.cpp)
target_link_libraries(qs-wayland-owner PRIVATE quillstack_wayland_protocols quillstack_options)

# The monitor against the real Wayland clipboard of a headless sway and KWin.
quillstack_add_test(NAME tst_CaptureWayland
  SOURCES tst_CaptureWayland.cpp
  LIBS quillstack_platform_wayland LABELS wayland WAYLAND KWIN)
add_dependencies(tst_CaptureWayland qs-wayland-owner)
target_compile_definitions(tst_CaptureWayland PRIVATE
  QS_WAYLAND_OWNER="$<TARGET_FILE:qs-wayland-owner>")

# A compositor socket without data-control.
pkg_check_modules(WAYLAND_SERVER REQUIRED IMPORTED_TARGET wayland-server)
add_executable(qs-bare-compositor support/bare-compositor.cpp)
target_link_libraries(qs-bare-compositor PRIVATE PkgConfig::WAYLAND_SERVER quillstack_options)

# The whole program on a Wayland session: which clipboard it chooses.
# Also the end of a session around it: its compositor going away as it quits.
quillstack_add_test(NAME tst_WaylandSession
  SOURCES tst_WaylandSession.cpp
  LIBS quillstack_model LABELS wayland WAYLAND)
add_dependencies(tst_WaylandSession quillstack qs-bare-compositor)
target_compile_definitions(tst_WaylandSession PRIVATE
  QS_QUILLSTACK="$<TARGET_FILE:quillstack>"
  QS_BARE_COMPOSITOR="$<TARGET_FILE:qs-bare-compositor>"
  QS_SWAY_SESSION="${CMAKE_SOURCE_DIR}/tests/support/sway-session.sh")

# Handing the keyboard back through the compositor's window list (sway) or
# its scripts (KWin).
quillstack_add_test(NAME tst_WaylandWorkspace
  SOURCES tst_WaylandWorkspace.cpp
  LIBS quillstack_platform_wayland LABELS wayland WAYLAND KWIN)
add_dependencies(tst_WaylandWorkspace qs-focus-window)
target_compile_definitions(tst_WaylandWorkspace PRIVATE
  QS_FOCUS_WINDOW="$<TARGET_FILE:qs-focus-window>")
