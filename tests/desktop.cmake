# SPDX-License-Identifier: GPL-3.0-or-later
# The program as a desktop sees it: its command line, its single instance on
# the session bus, its installed files.
set(QUILLSTACK_PROCESS support/QuillstackProcess.cpp support/QuillstackProcess.h)
quillstack_add_test(NAME tst_CommandLine SOURCES tst_CommandLine.cpp ${QUILLSTACK_PROCESS}
  LIBS quillstack_app LABELS unit)
add_dependencies(tst_CommandLine quillstack)

quillstack_add_test(NAME tst_SessionX11
  SOURCES tst_SessionX11.cpp ${QUILLSTACK_PROCESS} ${QUILLSTACK_CLIPBOARD_TOOLS} support/X11TestTools.cpp
  LIBS quillstack_platform_x11 Qt6::DBus LABELS x11 X11)
add_dependencies(tst_SessionX11 quillstack qs-clipboard-owner)
target_compile_definitions(tst_SessionX11 PRIVATE
  QS_CLIPBOARD_OWNER="$<TARGET_FILE:qs-clipboard-owner>")

# What a screen reader reads of the running program, over AT-SPI.
quillstack_add_test(NAME tst_AccessibilityX11
  SOURCES tst_AccessibilityX11.cpp ${QUILLSTACK_PROCESS} ${QUILLSTACK_CLIPBOARD_TOOLS} support/X11TestTools.cpp
  LIBS quillstack_platform_x11 Qt6::DBus LABELS x11 X11)
add_dependencies(tst_AccessibilityX11 quillstack qs-clipboard-owner)
target_compile_definitions(tst_AccessibilityX11 PRIVATE
  QS_ATSPI_TREE="${CMAKE_CURRENT_SOURCE_DIR}/support/atspi-tree.py"
  QS_CLIPBOARD_OWNER="$<TARGET_FILE:qs-clipboard-owner>")

quillstack_add_test(NAME tst_Installation SOURCES tst_Installation.cpp ${QUILLSTACK_PROCESS}
  LIBS Qt6::Core LABELS unit slow TIMEOUT 900)
add_dependencies(tst_Installation quillstack quillstack_compressed_docs)
# Packaging runs the build's install step and then lintian over the package,
# which on a busy machine outlasts Qt Test's five minutes for a function.
set_property(TEST tst_Installation APPEND PROPERTY ENVIRONMENT QTEST_FUNCTION_TIMEOUT=840000)
target_compile_definitions(tst_Installation PRIVATE
  CMAKE_COMMAND="${CMAKE_COMMAND}" CPACK_COMMAND="${CMAKE_CPACK_COMMAND}"
  QUILLSTACK_SOURCE_DIR="${PROJECT_SOURCE_DIR}" QUILLSTACK_BUILD_TYPE="${CMAKE_BUILD_TYPE}")

quillstack_add_test(NAME tst_Translations SOURCES tst_Translations.cpp LIBS quillstack_ui
  LABELS unit)
target_compile_definitions(tst_Translations PRIVATE QUILLSTACK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
