#include "ClipFunctions.h"

#include <QCryptographicHash>
#include <QTextBoundaryFinder>

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
                return collapsed.left(endOfLimit) + QChar(0x2026);
            checkpoint *= 2;
        }
    }
    qsizetype endOfLimit = 0;
    if (countGraphemes(collapsed, limit + 1, limit, &endOfLimit) <= limit)
        return collapsed;
    return collapsed.left(endOfLimit) + QChar(0x2026);
}

QString sha256Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}
