// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzApplication.h"
#include "pasteboard/RtfReader.h"
#include "pasteboard/RtfWriter.h"
#include "pasteboard/StyledText.h"

#include <QTextDocument>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    startFuzzApplication(argc, argv);
    return 0;
}

// Reads arbitrary bytes as RTF, writes the result back and reads that
// again: the second reading must give the same text as the first.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QTextDocument document;
    RtfReader reader(&document);
    if (!reader.read(QByteArrayView(data, qsizetype(size))) || document.isEmpty())
        return 0;
    const QByteArray rtf = RtfWriter(document).write();
    QTextDocument readBack;
    if (!RtfReader(&readBack).read(rtf))
        abort();
    const QString before = StyledText::plainText(document);
    const QString after = StyledText::plainText(readBack);
    if (before != after) {
        fprintf(stderr, "round trip changed the text:\n%s\n%s\n", qPrintable(before),
            qPrintable(after));
        abort();
    }
    return 0;
}
