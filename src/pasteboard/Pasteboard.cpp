// SPDX-License-Identifier: GPL-3.0-or-later
#include "pasteboard/Pasteboard.h"

#include <QThreadPool>

namespace {

// Below this, letting go on the calling thread costs less than a hand-over.
constexpr qsizetype backgroundReleaseBytes = 1024 * 1024;

} // namespace

std::optional<QByteArray> PasteboardContents::dataForType(const QString &type) const
{
    for (const auto &[name, bytes] : data) {
        if (name == type)
            return bytes;
    }
    return std::nullopt;
}

void PasteboardContents::setData(const QString &type, const QByteArray &bytes)
{
    if (!types.contains(type))
        types.append(type);
    for (auto &entry : data) {
        if (entry.first == type) {
            entry.second = bytes;
            return;
        }
    }
    data.append({ type, bytes });
}

void replaceContents(PasteboardContents &held, const PasteboardContents &next)
{
    PasteboardContents old = std::exchange(held, next);
    qsizetype bytes = 0;
    for (const auto &entry : old.data)
        bytes += entry.second.size();
    if (bytes < backgroundReleaseBytes)
        return;
    // The bytes may still be shared with a capture under way; whichever
    // reference goes last frees them, and this one goes on the pool thread.
    QThreadPool::globalInstance()->start([old = std::move(old)]() mutable { old = {}; });
}

bool Pasteboard::restoreContents(const PasteboardContents &contents)
{
    if (!types().isEmpty() || !ownerQuit())
        return false;
    setContents(contents);
    return true;
}

std::optional<QString> Pasteboard::stringForType(const QString &type) const
{
    const auto bytes = dataForType(type);
    if (!bytes)
        return std::nullopt;
    return QString::fromUtf8(*bytes);
}
