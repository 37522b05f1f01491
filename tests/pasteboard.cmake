# SPDX-License-Identifier: GPL-3.0-or-later
quillstack_add_test(NAME tst_PasteboardMonitor
  SOURCES tst_PasteboardMonitor.cpp support/MemoryPasteboard.cpp support/MemoryPasteboard.h
  LIBS quillstack_pasteboard LABELS unit)

# The monitor against the real X11 clipboard; one case repeats a copy
# sequence fifty times, hence the label and the longer limit.
quillstack_add_test(NAME tst_CaptureX11
  SOURCES tst_CaptureX11.cpp ${QUILLSTACK_CLIPBOARD_TOOLS}
  LIBS quillstack_platform_x11 LABELS x11 stress X11 TIMEOUT 240)
add_dependencies(tst_CaptureX11 qs-clipboard-owner)
target_compile_definitions(tst_CaptureX11 PRIVATE QS_CLIPBOARD_OWNER="$<TARGET_FILE:qs-clipboard-owner>")
set_property(TEST tst_CaptureX11 APPEND PROPERTY ENVIRONMENT
  "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=0")
