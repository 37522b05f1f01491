quillstack_add_test(NAME tst_PasteboardMonitor
  SOURCES tst_PasteboardMonitor.cpp support/MemoryPasteboard.cpp support/MemoryPasteboard.h
  LIBS quillstack_pasteboard LABELS unit)
