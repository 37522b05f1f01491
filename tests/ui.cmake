quillstack_add_test(NAME tst_HistoryViewController LIBS quillstack_ui LABELS gui
  SOURCES tst_HistoryViewController.cpp support/RecordingHistoryDelegate.h support/TestHistory.cpp)
