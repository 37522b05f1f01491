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

    friend bool operator==(const Clip &, const Clip &) = default;
};
