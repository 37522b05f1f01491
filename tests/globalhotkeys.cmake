# Global shortcuts: the model, names and dispatch against fakes; the X11
# grabs and keyboard layout against a real server.
quillstack_add_test(NAME tst_Shortcut
  SOURCES tst_Shortcut.cpp support/FakeKeyboardLayout.cpp
  LIBS quillstack_globalhotkeys LABELS unit)
