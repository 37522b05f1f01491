// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUuid>

#include <optional>

enum class ClipKind { text, image, fileURLs };

QString clipKindRawValue(ClipKind kind);
std::optional<ClipKind> clipKindFromRawValue(const QString &raw);

// One recorded clipboard item. A plain value: copied freely, compared field
// by field, identified by id.
struct Clip
{
    QUuid id;
    QDateTime createdAt;
    ClipKind kind = ClipKind::text;
    QString preview;
    std::optional<QString> text;
    std::optional<QByteArray> rtf;
    std::optional<QByteArray> html;
    std::optional<QString> imageFilename;
    qint64 byteSize = 0;
    QString contentHash;
    bool isKept = false;
    // The RTF was made here from the source's HTML rather than offered by the
    // source: restoring offers the HTML alone, which carries more (borders,
    // pictures). Archives from before this field read it as false.
    bool rtfFromHtml = false;

    friend bool operator==(const Clip &, const Clip &) = default;
};

// The preview as the list shows and searches it. An image, or a list of
// files unless its text was edited, is named by its kind in the language of
// now, not of the moment it was copied, whose word is what stays stored.
QString shownPreview(const Clip &clip);
