// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ClipArchive.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Decodes arbitrary bytes as an archive. Whatever decodes must encode and
// decode again to the same clips: a history that loads once must load again
// after the next save.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), qsizetype(size));
    const ClipArchive::DecodeResult first = ClipArchive::decode(json);
    if (!first.ok)
        return 0;
    QList<QByteArray> encoded;
    encoded.reserve(first.clips.size());
    for (const Clip &clip : first.clips)
        encoded.append(ClipArchive::encodeClip(clip));
    const ClipArchive::DecodeResult second
        = ClipArchive::decode(ClipArchive::archiveParts(encoded).join());
    if (!second.ok || second.clips != first.clips) {
        fprintf(stderr, "archive did not survive re-encoding: %s\n", qPrintable(second.error));
        abort();
    }
    return 0;
}
