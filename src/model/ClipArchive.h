// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Clip.h"

#include <QList>

#include <functional>
#include <optional>

// The archive's JSON form: one array of clip objects, pretty-printed with
// sorted keys, dates in whole UTC seconds, RTF and HTML in Base64.
namespace ClipArchive {

struct DecodeResult
{
    bool ok = false;
    QList<Clip> clips;
    QString error;
};

// One clip as the archive writes it: an object indented as an element of the
// top-level array, without a trailing separator.
QByteArray encodeClip(const Clip &clip);
// The same object on one line, for the journal.
QByteArray encodeClipLine(const Clip &clip);
// A JSON string literal, quotes included.
QByteArray jsonString(const QString &text);
// The whole archive from encoded clips, in order.
QList<QByteArray> archiveParts(const QList<QByteArray> &encodedClips);
// The same made from the clips, in pieces of about `pieceBytes` each: few
// allocations for a save of the whole history.
QList<QByteArray> archivePieces(
    const QList<Clip> &clips, qsizetype pieceBytes = qsizetype(1) << 20);
// The same made from the clips one at a time and handed to `write` piece by
// piece, so that no more than one clip is encoded at once; false as soon as
// `write` refuses a piece.
bool writeArchive(const QList<Clip> &clips, const std::function<bool(const QByteArray &)> &write);

// Fails as a whole when any element is not a well-formed clip. Parsing is
// fastest when `json` has at least 64 bytes of spare capacity.
DecodeResult decode(const QByteArray &json);
// The same over bytes that may be read up to `paddingBytes` past their end.
DecodeResult decode(QByteArrayView json, qsizetype paddingBytes);
inline constexpr qsizetype decodePadding = 64;

QString formatDate(const QDateTime &date);
// ISO 8601 internet date-time with whole seconds ("2025-01-31T09:05:00Z" or
// with a "+hh:mm" offset); anything else, fractional seconds included, fails.
std::optional<QDateTime> parseDate(QStringView text);
// Canonical 8-4-4-4-12 form only, either case.
std::optional<QUuid> parseUuid(QStringView text);
QString formatUuid(const QUuid &id);

} // namespace ClipArchive
