// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/Clip.h"

#include "model/ClipFunctions.h"

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

QString shownPreview(const Clip &clip)
{
    if (clip.kind == ClipKind::image)
        return qtTrId("clip.kind.image");
    // One file is named by itself; an edited list by its text.
    if (clip.kind == ClipKind::fileURLs && clip.text && clip.text->contains(QLatin1Char('\n'))
        && clip.preview != makePreview(*clip.text))
        return qtTrId("clip.kind.files");
    return clip.preview;
}
