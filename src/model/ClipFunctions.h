#pragma once

#include <QByteArray>
#include <QString>

// The one-line preview of a text: white-space runs become one space, the
// ends are trimmed, and at most `limit` user-perceived characters are kept,
// followed by "…" when the text was longer.
QString makePreview(const QString &text, int limit = 220);

// Lowercase hexadecimal SHA-256 of the bytes (64 characters).
QString sha256Hex(const QByteArray &bytes);
