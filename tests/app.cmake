quillstack_add_test(NAME tst_PanelPlacement SOURCES tst_PanelPlacement.cpp LIBS quillstack_app
  LABELS unit)
quillstack_add_test(NAME tst_ReviewPrompt SOURCES tst_ReviewPrompt.cpp LIBS quillstack_app
  LABELS gui)
set(QUILLSTACK_APP_FAKES
  support/FakeMouseMonitor.cpp support/FakeMouseMonitor.h
  support/FakeScreens.h
  support/FakeWorkspace.cpp support/FakeWorkspace.h
  support/MemoryPasteboard.cpp support/MemoryPasteboard.h)
quillstack_add_test(NAME tst_AppDelegate SOURCES tst_AppDelegate.cpp ${QUILLSTACK_APP_FAKES}
  LIBS quillstack_app LABELS gui)
