quillstack_add_test(NAME tst_ClipArchive SOURCES tst_ClipArchive.cpp LIBS quillstack_model LABELS unit)
