# SPDX-License-Identifier: GPL-3.0-or-later
# Styled-text conversions: RTF reader and writer, HTML and image conversions.
quillstack_add_test(NAME tst_RtfReader SOURCES tst_RtfReader.cpp LIBS quillstack_pasteboard LABELS unit)
target_compile_definitions(tst_RtfReader PRIVATE QUILLSTACK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
quillstack_add_test(NAME tst_StyledText SOURCES tst_StyledText.cpp LIBS quillstack_pasteboard LABELS unit)
