# Global shortcuts: the model, names and dispatch against fakes; the X11
# grabs and keyboard layout against a real server.
quillstack_add_test(NAME tst_Shortcut
  SOURCES tst_Shortcut.cpp support/FakeKeyboardLayout.cpp
  LIBS quillstack_globalhotkeys LABELS unit)
quillstack_add_test(NAME tst_SystemHotkeys
  SOURCES tst_SystemHotkeys.cpp support/FakeHotkeyRegistrar.cpp support/FakeKeyboardLayout.cpp
    support/StderrCapture.cpp
  LIBS quillstack_globalhotkeys LABELS unit)
quillstack_add_test(NAME tst_NamedShortcuts
  SOURCES tst_NamedShortcuts.cpp support/FakeHotkeyRegistrar.cpp support/FakeKeyboardLayout.cpp
  LIBS quillstack_globalhotkeys LABELS unit)
quillstack_add_test(NAME tst_ShortcutConflicts
  SOURCES tst_ShortcutConflicts.cpp support/FakeKeyboardLayout.cpp
  LIBS quillstack_globalhotkeys LABELS unit)
