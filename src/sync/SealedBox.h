// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// Everything written into the shared folder is sealed here: a key made from
// the passphrase with Argon2id, and XChaCha20-Poly1305 with a random nonce
// per item, the item's place as associated data.
namespace SealedBox {

inline constexpr int keyBytes = 32;
inline constexpr int saltBytes = 16;

struct KdfLimits
{
    quint64 ops = 0;
    quint64 mem = 0; // bytes
};
// Argon2id's "moderate" limits: about a second and 256 MiB once per machine.
KdfLimits defaultLimits();
// The least Argon2id allows, for tests; also the floor for limits read back.
KdfLimits minimumLimits();

QByteArray randomBytes(int count);
// Nothing, with the reason, when the limits are out of range or memory is short.
std::optional<QByteArray> deriveKey(
    const QString &passphrase, const QByteArray &salt, KdfLimits limits, QString *error = nullptr);

// nonce || ciphertext with its tag.
QByteArray seal(const QByteArray &key, QByteArrayView plaintext, QByteArrayView associated);
// Nothing when the key, the associated data or any byte is not what sealed it.
// The plaintext has `spare` bytes of capacity past its end, for a parser
// that reads ahead.
std::optional<QByteArray> open(
    const QByteArray &key, QByteArrayView sealed, QByteArrayView associated, qsizetype spare = 0);
// The same into `plain`, whose memory is used again: for a reader of
// thousands of lines. False, with `plain` undefined, when it does not open.
bool open(const QByteArray &key, QByteArrayView sealed, QByteArrayView associated, qsizetype spare,
    QByteArray &plain);

// Strict Base64 (padded, nothing but the alphabet), as the journal's lines
// carry it. libsodium's and Qt's
// decoders go a character at a time; a journal is megabytes of it.
// Into `out`, whose memory is used again; false when the text is not Base64.
bool fromBase64(QByteArrayView text, QByteArray &out);

} // namespace SealedBox
