// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ClipFunctions.h"

#include <QFile>
#include <QIODevice>
#include <QSet>
#include <QTextBoundaryFinder>

#include <nettle/sha2.h>

#include <algorithm>

namespace {

// Number of grapheme clusters in `s`, counting no further than `stopAfter`.
// Also reports where the `limit`-th cluster ends.
int countGraphemes(const QString &s, int stopAfter, int limit, qsizetype *endOfLimit)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s);
    int count = 0;
    while (count < stopAfter) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0)
            break;
        ++count;
        if (count == limit)
            *endOfLimit = next;
    }
    return count;
}

} // namespace

QString makePreview(const QString &text, int limit)
{
    // Collapse and trim in one pass. A huge copy only needs its first few
    // hundred characters looked at, so stop as soon as the collapsed prefix
    // certainly holds more than `limit` clusters (one to spare, so that the
    // last counted cluster is not cut short by the end of the prefix).
    // A preview lives as long as its clip, so it is made without spare room.
    const auto cut = [](QStringView collapsed, qsizetype end) {
        QString preview;
        preview.reserve(end + 1);
        preview.append(collapsed.first(end)).append(QChar(0x2026));
        return preview;
    };
    QString collapsed;
    qsizetype checkpoint = qsizetype(limit) + 2;
    bool pendingSpace = false;
    const QChar *it = text.constData();
    const QChar *end = it + text.size();
    for (; it != end; ++it) {
        if (it->isSpace() || it->category() == QChar::Other_Control) {
            pendingSpace = !collapsed.isEmpty();
            continue;
        }
        if (pendingSpace) {
            collapsed.append(QLatin1Char(' '));
            pendingSpace = false;
        }
        collapsed.append(*it);
        if (collapsed.size() >= checkpoint) {
            qsizetype endOfLimit = 0;
            if (countGraphemes(collapsed, limit + 2, limit, &endOfLimit) >= limit + 2)
                return cut(collapsed, endOfLimit);
            checkpoint *= 2;
        }
    }
    qsizetype endOfLimit = 0;
    if (countGraphemes(collapsed, limit + 1, limit, &endOfLimit) > limit)
        return cut(collapsed, endOfLimit);
    // A text that is its own preview shares one string with it.
    if (collapsed == text)
        return text;
    collapsed.squeeze();
    return collapsed;
}

Sha256::Sha256()
    : m_context(std::make_unique<sha256_ctx>())
{
    sha256_init(m_context.get());
}

Sha256::~Sha256() = default;

void Sha256::addData(QByteArrayView bytes)
{
    sha256_update(
        m_context.get(), size_t(bytes.size()), reinterpret_cast<const uint8_t *>(bytes.data()));
}

bool Sha256::addData(QIODevice &device)
{
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 read = device.read(buffer.data(), buffer.size());
        if (read < 0)
            return false;
        if (read == 0)
            return device.atEnd();
        addData(QByteArrayView(buffer.constData(), read));
    }
}

QByteArray Sha256::hexResult()
{
    uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(m_context.get(), sizeof digest, digest);
    return QByteArray(reinterpret_cast<const char *>(digest), sizeof digest).toHex();
}

QString sha256Hex(QByteArrayView bytes)
{
    Sha256 hash;
    hash.addData(bytes);
    return QString::fromLatin1(hash.hexResult());
}

std::optional<QByteArray> fileSha256Hex(const QString &path)
{
    QFile file(path);
    Sha256 hash;
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(file))
        return std::nullopt;
    return hash.hexResult();
}

void placeByDate(QList<Clip> &clips, QList<Clip> arriving)
{
    QSet<QUuid> ids;
    for (const Clip &clip : std::as_const(arriving))
        ids.insert(clip.id);
    clips.removeIf([&](const Clip &c) { return ids.contains(c.id); });
    const auto newer = [](const Clip &a, const Clip &b) { return a.createdAt > b.createdAt; };
    std::stable_sort(arriving.begin(), arriving.end(), newer);
    QList<Clip> placed;
    placed.reserve(clips.size() + arriving.size());
    qsizetype at = 0;
    for (Clip &clip : arriving) {
        while (at < clips.size() && !(clips[at].createdAt < clip.createdAt))
            placed.append(std::move(clips[at++]));
        placed.append(std::move(clip));
    }
    while (at < clips.size())
        placed.append(std::move(clips[at++]));
    clips = std::move(placed);
}
