// SPDX-License-Identifier: GPL-3.0-or-later
#include "Clip.h"

QString clipKindRawValue(ClipKind kind)
{
    switch (kind) {
    case ClipKind::text:
        return QStringLiteral("text");
    case ClipKind::image:
        return QStringLiteral("image");
    case ClipKind::fileURLs:
        return QStringLiteral("fileURLs");
    }
    Q_UNREACHABLE();
    return QString();
}

std::optional<ClipKind> clipKindFromRawValue(const QString &raw)
{
    for (ClipKind kind : { ClipKind::text, ClipKind::image, ClipKind::fileURLs }) {
        if (clipKindRawValue(kind) == raw)
            return kind;
    }
    return std::nullopt;
}
