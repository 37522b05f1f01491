# SPDX-License-Identifier: GPL-3.0-or-later
# Sharing the history between machines, on two Syncthing instances.
find_package(Qt6 REQUIRED COMPONENTS Network)
set(QUILLSTACK_SYNCTHING_PAIR_SUPPORT support/SyncthingPair.cpp support/SyncthingPair.h)
# The two Syncthing instances the sharing tests run on, proven on their own.
quillstack_add_test(NAME tst_SyncthingPair
  SOURCES tst_SyncthingPair.cpp ${QUILLSTACK_SYNCTHING_PAIR_SUPPORT}
  LIBS Qt6::Network LABELS sync SYNCTHING_PAIR TIMEOUT 300)
# Two machines' histories shared through the pair.
quillstack_add_test(NAME tst_SharingOverSyncthing
  SOURCES tst_SharingOverSyncthing.cpp ${QUILLSTACK_SYNCTHING_PAIR_SUPPORT}
  LIBS quillstack_sync Qt6::Network LABELS sync SYNCTHING_PAIR TIMEOUT 300)
# Two Quillstack programs, each with its own X server and session bus.
quillstack_add_test(NAME tst_SharingX11
  SOURCES tst_SharingX11.cpp ${QUILLSTACK_SYNCTHING_PAIR_SUPPORT} ${QUILLSTACK_PROCESS}
    ${QUILLSTACK_CLIPBOARD_TOOLS}
  LIBS quillstack_sync Qt6::Network Qt6::Widgets LABELS sync x11 X11 SYNCTHING_PAIR TIMEOUT 400)
add_dependencies(tst_SharingX11 quillstack qs-clipboard-owner)
target_compile_definitions(tst_SharingX11 PRIVATE QS_X11_HARNESS="${QUILLSTACK_X11_HARNESS}"
  QS_CLIPBOARD_OWNER="$<TARGET_FILE:qs-clipboard-owner>")
