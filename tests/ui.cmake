set(QUILLSTACK_UI_TEST_SUPPORT
  support/RecordingHistoryDelegate.cpp support/RecordingHistoryDelegate.h
  support/TestHistory.cpp support/TestHistory.h)
foreach(name tst_HistoryViewController tst_ClipRowView)
  quillstack_add_test(NAME ${name} SOURCES ${name}.cpp ${QUILLSTACK_UI_TEST_SUPPORT}
    LIBS quillstack_ui LABELS gui)
endforeach()
quillstack_add_test(NAME tst_Translations SOURCES tst_Translations.cpp
  LIBS quillstack_ui LABELS unit)
