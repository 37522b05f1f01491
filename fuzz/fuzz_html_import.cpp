// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzApplication.h"
#include "pasteboard/RtfReader.h"
#include "pasteboard/StyledText.h"

#include <QTextDocument>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    startFuzzApplication(argc, argv);
    return 0;
}

// The capture path for HTML: normalise the bytes, import them, test the
// runs for formatting, convert to RTF and read that back.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray html(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray stored = StyledText::decodeHtmlBytes(html);
    const auto document = StyledText::attributedStringFromHTML(stored);
    if (!document)
        return 0;
    StyledText::documentCarriesFormatting(*document);
    StyledText::plainText(*document);
    if (const auto rtf = StyledText::rtfData(*document)) {
        QTextDocument readBack;
        RtfReader(&readBack).read(*rtf);
        StyledText::plainText(readBack);
    }
    StyledText::htmlData(*document);
    return 0;
}
