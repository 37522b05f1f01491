quillstack_add_test(NAME tst_PanelPlacement SOURCES tst_PanelPlacement.cpp LIBS quillstack_app
  LABELS unit)
quillstack_add_test(NAME tst_ReviewPrompt SOURCES tst_ReviewPrompt.cpp LIBS quillstack_app
  LABELS gui)
