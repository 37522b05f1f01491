// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Clip.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// The journal beside the archive: a first line naming the archive it
// extends, then one line per change since that archive was written. Each
// line is a JSON object complete in itself, ending in a line feed.
namespace ClipJournal {

// The archive is named by its size and SHA-256. The archive's form has no
// room for a generation number, and a content hash also catches an archive
// replaced by anything else (an older version, a restored backup), where a
// counter or a file date could match by chance.
struct ArchiveName
{
    qint64 bytes = -1;
    QByteArray sha256; // lowercase hex

    friend bool operator==(const ArchiveName &, const ArchiveName &) = default;
};

QByteArray headerLine(const ArchiveName &archive);

QByteArray addLine(const Clip &clip);
// A clip seen again: it moves to the front with its new date, size and any
// renderings it did not have.
QByteArray frontLine(const Clip &clip);
QByteArray editLine(const Clip &clip);
// A clip from another machine: it takes the place of the clip with its id,
// or is added, placed by its date.
QByteArray mergeLine(const Clip &clip);
QByteArray keepLine(const QUuid &id, bool kept);
QByteArray deleteLine(const QList<QUuid> &ids);
// Clips dropped by the age, count or size limits.
QByteArray limitsLine(const QList<QUuid> &ids);
QByteArray clearLine();

struct Replay
{
    enum class Outcome {
        stale, // names another archive (or none): nothing applied
        applied, // every complete line applied
        broken, // a line could not be applied: those before it were
    };
    Outcome outcome = Outcome::stale;
    int applied = 0;
    // The last line had no line feed (a crash while appending): dropped.
    bool tornTail = false;
    QString error;
};

// Applies the journal's lines, in order, to the clips read from the archive.
// `archiveSha256` is asked only when the sizes match and there is a line to
// apply, as hashing a large archive is not free.
Replay replay(QByteArrayView journal, qint64 archiveBytes,
    const std::function<QByteArray()> &archiveSha256, QList<Clip> &clips);

} // namespace ClipJournal
