quillstack_add_test(NAME tst_ClipArchive SOURCES tst_ClipArchive.cpp LIBS quillstack_model LABELS unit)
quillstack_add_test(NAME tst_Settings SOURCES tst_Settings.cpp LIBS quillstack_model LABELS unit)
quillstack_add_test(NAME tst_ClipStore SOURCES tst_ClipStore.cpp LIBS quillstack_model LABELS unit)
quillstack_add_test(NAME tst_ClipStorePersistence SOURCES tst_ClipStorePersistence.cpp
  LIBS quillstack_model LABELS unit)
