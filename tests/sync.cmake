# SPDX-License-Identifier: GPL-3.0-or-later
quillstack_add_test(NAME tst_SyncMerge SOURCES tst_SyncMerge.cpp LIBS quillstack_sync LABELS unit)
quillstack_add_test(NAME tst_SharedHistory SOURCES tst_SharedHistory.cpp LIBS quillstack_sync
  LABELS unit)
quillstack_add_test(NAME tst_SharingPreferences SOURCES tst_SharingPreferences.cpp
  LIBS quillstack_ui LABELS gui)
