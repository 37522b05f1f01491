# SPDX-License-Identifier: GPL-3.0-or-later
# Styled-text conversions: RTF reader and writer, HTML and image conversions.
quillstack_add_test(NAME tst_RtfReader SOURCES tst_RtfReader.cpp LIBS quillstack_pasteboard LABELS unit)
quillstack_add_test(NAME tst_StyledText SOURCES tst_StyledText.cpp LIBS quillstack_pasteboard LABELS unit)
