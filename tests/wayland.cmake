# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the Wayland clipboard with exactly the types a test names.
add_executable(qs-wayland-owner support/wayland-owner.cpp)
target_link_libraries(qs-wayland-owner
  PRIVATE quillstack_platform_wayland quillstack_wayland_protocols quillstack_options)

# The monitor against the real Wayland clipboard of a headless sway and KWin.
quillstack_add_test(NAME tst_CaptureWayland
  SOURCES tst_CaptureWayland.cpp support/HelperProcesses.cpp support/HelperProcesses.h
  LIBS quillstack_platform_wayland LABELS wayland WAYLAND KWIN)
add_dependencies(tst_CaptureWayland qs-wayland-owner)
target_compile_definitions(tst_CaptureWayland PRIVATE
  QS_WAYLAND_OWNER="$<TARGET_FILE:qs-wayland-owner>")

# A compositor of our own: a seat and, as asked, both data-control
# protocols, its server side generated from the program's descriptions.
pkg_check_modules(WAYLAND_SERVER REQUIRED IMPORTED_TARGET wayland-server)
set(server_protocol_sources)
foreach(protocol wlr-data-control-unstable-v1 ext-data-control-v1)
  set(xml ${QUILLSTACK_WAYLAND_PROTOCOLS}/${protocol}.xml)
  set(header ${CMAKE_CURRENT_BINARY_DIR}/${protocol}-server-protocol.h)
  set(code ${CMAKE_CURRENT_BINARY_DIR}/${protocol}-server-protocol.c)
  add_custom_command(OUTPUT ${header} ${code}
    COMMAND ${QUILLSTACK_WAYLAND_SCANNER} server-header ${xml} ${header}
    COMMAND ${QUILLSTACK_WAYLAND_SCANNER} private-code ${xml} ${code}
    DEPENDS ${xml} VERBATIM)
  list(APPEND server_protocol_sources ${header} ${code})
endforeach()
# Generated C, compiled without our C++ warning set.
add_library(qs_wayland_server_protocols STATIC ${server_protocol_sources})
target_include_directories(qs_wayland_server_protocols PUBLIC ${CMAKE_CURRENT_BINARY_DIR})
target_link_libraries(qs_wayland_server_protocols PUBLIC PkgConfig::WAYLAND_SERVER)
add_executable(qs-test-compositor support/test-compositor.cpp)
target_link_libraries(qs-test-compositor PRIVATE qs_wayland_server_protocols quillstack_options)

# The monitor again against our compositor, through the standard protocol,
# which no compositor we can install offers, while wl-copy and wl-paste use
# the wlroots one; the test is told which protocol the monitor takes.
get_test_property(tst_CaptureWayland ENVIRONMENT capture_env)
add_test(NAME tst_CaptureWayland_ext
  COMMAND ${QUILLSTACK_WAYLAND_HARNESS}
    --compositor "$<TARGET_FILE:qs-test-compositor> --data-control" $<TARGET_FILE:tst_CaptureWayland>)
set_tests_properties(tst_CaptureWayland_ext PROPERTIES LABELS wayland TIMEOUT 120
  ENVIRONMENT "${capture_env};QUILLSTACK_TEST_DATA_CONTROL=ext_data_control_manager_v1")
add_dependencies(tst_CaptureWayland qs-test-compositor)

# The whole program on a Wayland session: which clipboard it chooses.
# Also the end of a session around it: its compositor going away as it quits.
quillstack_add_test(NAME tst_WaylandSession
  SOURCES tst_WaylandSession.cpp support/QuillstackProcess.cpp support/QuillstackProcess.h
  LIBS quillstack_model LABELS wayland WAYLAND)
add_dependencies(tst_WaylandSession quillstack qs-test-compositor)
target_compile_definitions(tst_WaylandSession PRIVATE
  QS_TEST_COMPOSITOR="$<TARGET_FILE:qs-test-compositor>"
  QS_SESSION_SCRIPTS="${CMAKE_SOURCE_DIR}/tests/support")
# The end of a KWin session as well; the choice of clipboard does not depend
# on the session. The harness's sway only lends its X server.
add_test(NAME tst_WaylandSession_kwin
  COMMAND ${QUILLSTACK_WAYLAND_HARNESS} $<TARGET_FILE:tst_WaylandSession> quitAsTheSessionEnds)
get_test_property(tst_WaylandSession ENVIRONMENT session_env)
set_tests_properties(tst_WaylandSession_kwin PROPERTIES
  LABELS "wayland;kde" TIMEOUT 180 ENVIRONMENT "${session_env};QUILLSTACK_TEST_SESSION=kwin")

# Handing the keyboard back through the compositor's window list (sway) or
# its scripts (KWin).
quillstack_add_test(NAME tst_WaylandWorkspace
  SOURCES tst_WaylandWorkspace.cpp support/HelperProcesses.cpp support/HelperProcesses.h
  LIBS quillstack_platform_wayland LABELS wayland WAYLAND KWIN)
add_dependencies(tst_WaylandWorkspace qs-focus-window)
target_compile_definitions(tst_WaylandWorkspace PRIVATE
  QS_FOCUS_WINDOW="$<TARGET_FILE:qs-focus-window>")

# The shortcuts through the desktop portal, against a fake portal on a
# private session bus; the keys in the portal's trigger syntax.
quillstack_add_test(NAME tst_PortalHotkeys
  SOURCES tst_PortalHotkeys.cpp support/FakePortal.cpp support/FakePortal.h
    support/FakeHotkeyRegistrar.cpp support/FakeKeyboardLayout.cpp
  LIBS quillstack_platform_wayland LABELS unit SESSION_BUS)

# The whole program from the shortcut to the chosen clip, with a Wayland
# program to hand the keyboard back to.
quillstack_add_test(NAME tst_WaylandEndToEnd
  SOURCES tst_WaylandEndToEnd.cpp support/QuillstackProcess.cpp support/QuillstackProcess.h
    support/X11TestTools.cpp support/X11TestTools.h
  LIBS quillstack_platform_x11 LABELS wayland WAYLAND KWIN)
add_dependencies(tst_WaylandEndToEnd quillstack qs-focus-window)
target_compile_definitions(tst_WaylandEndToEnd PRIVATE
  QS_FOCUS_WINDOW="$<TARGET_FILE:qs-focus-window>")

# The GNOME Wayland back end against a fake GNOME Shell companion on a
# private session bus.
quillstack_add_test(NAME tst_GnomeShellBackend
  SOURCES tst_GnomeShellBackend.cpp support/FakeGnomeShell.cpp support/FakeGnomeShell.h
    support/FakeHotkeyRegistrar.cpp support/FakeKeyboardLayout.cpp
  LIBS quillstack_platform_wayland quillstack_model LABELS unit SESSION_BUS)

# Paste after choosing into a Wayland terminal and an X terminal under sway
# and GNOME Shell; under KWin the setting says why it cannot work there.
quillstack_add_test(NAME tst_PasteWayland SOURCES tst_PasteWayland.cpp
  LIBS quillstack_program LABELS wayland WAYLAND KWIN GNOME TIMEOUT 180)
