// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ClipArchive.h"
#include "model/ClipFunctions.h"
#include "model/ClipJournal.h"

#include <QByteArray>
#include <QSet>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// The history the journal extends: a text clip, a kept one and an image, as
// a start would find them.
struct Archive
{
    QByteArray bytes;
    QList<Clip> clips;
    QByteArray header;

    Archive()
    {
        bytes = QByteArrayLiteral(
            "[\n"
            "{\"byteSize\":5,\"contentHash\":\"aa\",\"createdAt\":\"2025-01-31T09:05:00Z\","
            "\"id\":\"6F9619FF-8B86-D011-B42D-00C04FC964FF\",\"isKept\":false,\"kind\":\"text\","
            "\"preview\":\"hello\",\"text\":\"hello\"},\n"
            "{\"byteSize\":4,\"contentHash\":\"bb\",\"createdAt\":\"2025-01-31T09:04:00Z\","
            "\"id\":\"7F9619FF-8B86-D011-B42D-00C04FC964FF\",\"isKept\":true,\"kind\":\"text\","
            "\"preview\":\"kept\",\"text\":\"kept\"},\n"
            "{\"byteSize\":68,\"contentHash\":\"cc\",\"createdAt\":\"2025-01-31T09:03:00Z\","
            "\"id\":\"8F9619FF-8B86-D011-B42D-00C04FC964FF\",\"imageFilename\":"
            "\"8F9619FF-8B86-D011-B42D-00C04FC964FF.png\",\"isKept\":false,\"kind\":\"image\","
            "\"preview\":\"Image\"}\n"
            "]\n");
        const ClipArchive::DecodeResult decoded = ClipArchive::decode(bytes);
        if (!decoded.ok) {
            fprintf(stderr, "the fixed archive does not decode: %s\n", qPrintable(decoded.error));
            abort();
        }
        clips = decoded.clips;
        header = ClipJournal::headerLine({ bytes.size(), sha256Hex(bytes).toLatin1() });
    }
};

[[noreturn]] void fail(const char *what)
{
    fprintf(stderr, "%s\n", what);
    abort();
}

} // namespace

// Replays arbitrary bytes as the journal of a fixed archive. The first byte
// chooses whether they follow the archive's own first line, so that the
// changes themselves are reached, or stand alone as a whole journal. A
// replay applies whole lines or none of a line: replaying only the lines it
// applied must give the same history, and that history must survive a save.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const Archive archive;
    if (size == 0)
        return 0;
    const QByteArray input(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QByteArray journal = (data[0] & 1) ? input : archive.header + input;
    const auto sha256 = [] { return sha256Hex(archive.bytes).toLatin1(); };

    QList<Clip> clips = archive.clips;
    const ClipJournal::Replay replay
        = ClipJournal::replay(journal, archive.bytes.size(), sha256, clips);
    if (replay.outcome == ClipJournal::Replay::Outcome::stale) {
        if (clips != archive.clips || replay.applied != 0)
            fail("a stale journal changed the history");
        return 0;
    }
    if ((replay.outcome == ClipJournal::Replay::Outcome::broken) == replay.error.isEmpty())
        fail("a broken replay without its reason, or a reason without a break");
    if (replay.applied < 0 || replay.applied >= journal.count('\n'))
        fail("more lines applied than the journal holds");

    QSet<QUuid> ids;
    for (const Clip &clip : std::as_const(clips)) {
        if (ids.contains(clip.id))
            fail("two clips with one id");
        ids.insert(clip.id);
    }

    // The header and the lines that were applied, alone.
    qsizetype end = 0;
    for (int line = 0; line <= replay.applied; ++line)
        end = journal.indexOf('\n', end) + 1;
    QList<Clip> again = archive.clips;
    const ClipJournal::Replay prefix
        = ClipJournal::replay(journal.first(end), archive.bytes.size(), sha256, again);
    if (prefix.outcome != ClipJournal::Replay::Outcome::applied || prefix.applied != replay.applied
        || prefix.tornTail || again != clips)
        fail("the lines applied give another history when replayed alone");

    QList<QByteArray> encoded;
    for (const Clip &clip : std::as_const(clips))
        encoded.append(ClipArchive::encodeClip(clip));
    const ClipArchive::DecodeResult saved
        = ClipArchive::decode(ClipArchive::archiveParts(encoded).join());
    if (!saved.ok || saved.clips != clips) {
        fprintf(stderr, "%s\n", qPrintable(saved.error));
        fail("the replayed history did not survive a save");
    }
    return 0;
}
