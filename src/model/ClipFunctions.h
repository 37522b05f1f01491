// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Clip.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <optional>

class QIODevice;
struct sha256_ctx;

// The one-line preview of a text: runs of white space and control
// characters (NUL, escape, ...) become one space, the ends are trimmed, and at
// most `limit` user-perceived characters are kept, followed by "…" when the
// text was longer. The stored text keeps every character as copied.
inline constexpr int previewLength = 220;
QString makePreview(const QString &text, int limit = previewLength);

// SHA-256 through Nettle, which uses the processor's hash instructions:
// about ten times faster than QCryptographicHash in Qt 6.4, and a history of
// hundreds of megabytes is hashed at every compaction. (OpenSSL is as fast
// but its library alone adds 3.4 MB to the resident size.)
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    void addData(QByteArrayView bytes);
    // Reads the device to its end; false when reading fails.
    bool addData(QIODevice &device);
    // Lowercase hexadecimal digest (64 characters); ends the hashing.
    QByteArray hexResult();

private:
    std::unique_ptr<sha256_ctx> m_context;
};

// Lowercase hexadecimal SHA-256 of the bytes (64 characters).
QString sha256Hex(QByteArrayView bytes);
// The same of a file's bytes; nothing when it cannot be read.
std::optional<QByteArray> fileSha256Hex(const QString &path);

// Puts the clips into a history held newest first, each after every clip as
// new as it or newer, in place of the clip with its id if there is one. In
// one pass, whatever the number of clips.
void placeByDate(QList<Clip> &clips, QList<Clip> arriving);
