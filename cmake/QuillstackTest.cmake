# SPDX-License-Identifier: GPL-3.0-or-later
# quillstack_add_test(NAME <name> SOURCES <files...> LIBS <libs...> LABELS <labels...>
#                     [X11 | WAYLAND [KWIN] [GNOME] | GNOME | SESSION_BUS] [SYNCTHING_PAIR]
#                     [TIMEOUT <seconds>])
# Builds one Qt Test executable and registers it with CTest. Tests labelled
# unit or gui run on the offscreen platform; X11 tests run inside the harness
# that starts a private Xvfb server, window manager and session bus; Wayland
# tests inside one that starts a private headless sway with Xwayland, and with
# KWIN also as <name>_kwin inside a private headless KWin (with GNOME, as
# <name>_gnome in GNOME Shell); GNOME tests inside a private headless GNOME
# Shell with the companion extension enabled.
# SESSION_BUS tests run offscreen on a private session bus of their own.
# SYNCTHING_PAIR runs all that between two Syncthing instances on 127.0.0.1
# that share a folder (tests/support/syncthing-pair.sh).
set(QUILLSTACK_X11_HARNESS ${CMAKE_SOURCE_DIR}/tests/support/x11-harness.sh)
set(QUILLSTACK_WAYLAND_HARNESS ${CMAKE_SOURCE_DIR}/tests/support/wayland-harness.sh)
set(QUILLSTACK_KWIN_HARNESS ${CMAKE_SOURCE_DIR}/tests/support/kwin-harness.sh)
set(QUILLSTACK_GNOME_HARNESS ${CMAKE_SOURCE_DIR}/tests/support/gnome-harness.sh)
set(QUILLSTACK_SYNCTHING_PAIR ${CMAKE_SOURCE_DIR}/tests/support/syncthing-pair.sh)

function(quillstack_add_test)
  cmake_parse_arguments(T "X11;WAYLAND;KWIN;GNOME;SESSION_BUS;SYNCTHING_PAIR" "NAME;TIMEOUT"
    "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Test quillstack_options)
  target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
  set(pair)
  set(runs)
  if(T_SYNCTHING_PAIR)
    set(pair ${QUILLSTACK_SYNCTHING_PAIR})
  endif()
  if(T_X11)
    add_test(NAME ${T_NAME} COMMAND ${pair} ${QUILLSTACK_X11_HARNESS} $<TARGET_FILE:${T_NAME}>)
    set(env "QT_QPA_PLATFORM=xcb")
  elseif(T_WAYLAND)
    add_test(NAME ${T_NAME} COMMAND ${QUILLSTACK_WAYLAND_HARNESS} $<TARGET_FILE:${T_NAME}>)
    set(env "QT_QPA_PLATFORM=offscreen")
    if(T_KWIN)
      add_test(NAME ${T_NAME}_kwin COMMAND ${QUILLSTACK_KWIN_HARNESS} $<TARGET_FILE:${T_NAME}>)
      list(APPEND runs ${T_NAME}_kwin)
    endif()
    if(T_GNOME)
      add_test(NAME ${T_NAME}_gnome COMMAND ${QUILLSTACK_GNOME_HARNESS} $<TARGET_FILE:${T_NAME}>)
      list(APPEND runs ${T_NAME}_gnome)
      list(APPEND env "QUILLSTACK_GNOME_EXTENSION=${QUILLSTACK_GNOME_EXTENSION_DIR}")
      add_dependencies(${T_NAME} quillstack_gnome_extension)
    endif()
  elseif(T_GNOME)
    add_test(NAME ${T_NAME} COMMAND ${QUILLSTACK_GNOME_HARNESS} $<TARGET_FILE:${T_NAME}>)
    set(env "QT_QPA_PLATFORM=offscreen" "QUILLSTACK_GNOME_EXTENSION=${QUILLSTACK_GNOME_EXTENSION_DIR}")
    add_dependencies(${T_NAME} quillstack_gnome_extension)
  elseif(T_SESSION_BUS)
    add_test(NAME ${T_NAME} COMMAND dbus-run-session -- $<TARGET_FILE:${T_NAME}>)
    set(env "QT_QPA_PLATFORM=offscreen")
  elseif(T_SYNCTHING_PAIR)
    add_test(NAME ${T_NAME} COMMAND ${pair} $<TARGET_FILE:${T_NAME}>)
    set(env "QT_QPA_PLATFORM=offscreen")
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set(env "QT_QPA_PLATFORM=offscreen")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  list(APPEND env
    "QUILLSTACK_TEST_BINARY_DIR=${CMAKE_BINARY_DIR}"
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=0"
    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/support/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  set_tests_properties(${T_NAME} ${runs} PROPERTIES
    LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
  if(T_KWIN)
    set_property(TEST ${T_NAME}_kwin APPEND PROPERTY LABELS kde)
  endif()
  if(T_WAYLAND AND T_GNOME)
    set_property(TEST ${T_NAME}_gnome APPEND PROPERTY LABELS gnome)
  endif()
endfunction()
