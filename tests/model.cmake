# SPDX-License-Identifier: GPL-3.0-or-later
quillstack_add_test(NAME tst_ClipArchive SOURCES tst_ClipArchive.cpp LIBS quillstack_model LABELS unit)
quillstack_add_test(NAME tst_Settings SOURCES tst_Settings.cpp LIBS quillstack_model LABELS unit)
quillstack_add_test(NAME tst_ClipStore SOURCES tst_ClipStore.cpp LIBS quillstack_model LABELS unit)
quillstack_add_test(NAME tst_ClipStorePersistence SOURCES tst_ClipStorePersistence.cpp
  LIBS quillstack_model LABELS unit)
quillstack_add_test(NAME tst_ClipJournal SOURCES tst_ClipJournal.cpp LIBS quillstack_model LABELS unit)

# Saves in a loop until it is killed; the crash-safety test kills it at random moments.
add_executable(qs-store-writer support/store-writer.cpp)
target_link_libraries(qs-store-writer PRIVATE quillstack_model quillstack_options Qt6::Test)
quillstack_add_test(NAME tst_CrashSafety SOURCES tst_CrashSafety.cpp LIBS quillstack_model
  LABELS unit slow TIMEOUT 900)
add_dependencies(tst_CrashSafety qs-store-writer)
