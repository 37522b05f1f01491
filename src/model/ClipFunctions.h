#pragma once

#include <QByteArray>
#include <QString>

// The one-line preview of a text: runs of white space and control
// characters (NUL, escape, ...) become one space, the ends are trimmed, and at
// most `limit` user-perceived characters are kept, followed by "…" when the
// text was longer. The stored text keeps every character as copied.
inline constexpr int previewLength = 220;
QString makePreview(const QString &text, int limit = previewLength);

// Lowercase hexadecimal SHA-256 of the bytes (64 characters).
QString sha256Hex(const QByteArray &bytes);
