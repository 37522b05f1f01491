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
