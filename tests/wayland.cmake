# Takes the Wayland clipboard with exactly the types a test names.
add_executable(qs-wayland-owner support/wayland-owner.cpp)
target_link_libraries(qs-wayland-owner PRIVATE quillstack_wayland_protocols quillstack_options)

# The monitor against the real Wayland clipboard of a headless sway.
quillstack_add_test(NAME tst_CaptureWayland
  SOURCES tst_CaptureWayland.cpp
  LIBS quillstack_platform_wayland LABELS wayland WAYLAND)
add_dependencies(tst_CaptureWayland qs-wayland-owner)
target_compile_definitions(tst_CaptureWayland PRIVATE
  QS_WAYLAND_OWNER="$<TARGET_FILE:qs-wayland-owner>")
