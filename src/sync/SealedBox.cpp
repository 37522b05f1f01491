// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SealedBox.h"

#include <sodium.h>

#include <array>
#include <mutex>

namespace SealedBox {

namespace {

void initialise()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (sodium_init() < 0)
            qFatal("libsodium could not start");
    });
}

const unsigned char *bytes(QByteArrayView view)
{
    return reinterpret_cast<const unsigned char *>(view.data());
}

constexpr qsizetype nonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr qsizetype tagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;

// Each character's six bits; 0xff for those outside the alphabet.
constexpr std::array<quint8, 256> base64Values = [] {
    std::array<quint8, 256> values {};
    values.fill(0xff);
    constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        values[quint8(alphabet[i])] = quint8(i);
    return values;
}();

} // namespace

KdfLimits defaultLimits()
{
    return { crypto_pwhash_OPSLIMIT_MODERATE, crypto_pwhash_MEMLIMIT_MODERATE };
}

KdfLimits minimumLimits()
{
    return { crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN };
}

QByteArray randomBytes(int count)
{
    initialise();
    QByteArray out(count, Qt::Uninitialized);
    randombytes_buf(out.data(), size_t(count));
    return out;
}

std::optional<QByteArray> deriveKey(
    const QString &passphrase, const QByteArray &salt, KdfLimits limits, QString *error)
{
    initialise();
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    static_assert(saltBytes == crypto_pwhash_SALTBYTES);
    if (salt.size() != saltBytes)
        return fail(QStringLiteral("the salt is not %1 bytes").arg(saltBytes));
    if (limits.ops < crypto_pwhash_OPSLIMIT_MIN || limits.ops > crypto_pwhash_OPSLIMIT_SENSITIVE
        || limits.mem < crypto_pwhash_MEMLIMIT_MIN || limits.mem > crypto_pwhash_MEMLIMIT_SENSITIVE)
        return fail(QStringLiteral("the key's cost is out of range"));
    const QByteArray utf8 = passphrase.toUtf8();
    QByteArray key(keyBytes, Qt::Uninitialized);
    if (crypto_pwhash(reinterpret_cast<unsigned char *>(key.data()), size_t(key.size()),
            utf8.constData(), size_t(utf8.size()), bytes(salt), limits.ops, size_t(limits.mem),
            crypto_pwhash_ALG_ARGON2ID13)
        != 0)
        return fail(QStringLiteral("not enough memory to make the key"));
    return key;
}

QByteArray seal(const QByteArray &key, QByteArrayView plaintext, QByteArrayView associated)
{
    initialise();
    Q_ASSERT(key.size() == keyBytes);
    QByteArray out(nonceBytes + plaintext.size() + tagBytes, Qt::Uninitialized);
    auto *nonce = reinterpret_cast<unsigned char *>(out.data());
    randombytes_buf(nonce, nonceBytes);
    unsigned long long length = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(nonce + nonceBytes, &length, bytes(plaintext),
        size_t(plaintext.size()), bytes(associated), size_t(associated.size()), nullptr, nonce,
        bytes(key));
    return out;
}

std::optional<QByteArray> open(
    const QByteArray &key, QByteArrayView sealed, QByteArrayView associated, qsizetype spare)
{
    QByteArray out;
    if (!open(key, sealed, associated, spare, out))
        return std::nullopt;
    return out;
}

bool open(const QByteArray &key, QByteArrayView sealed, QByteArrayView associated, qsizetype spare,
    QByteArray &plain)
{
    initialise();
    if (key.size() != keyBytes || sealed.size() < nonceBytes + tagBytes)
        return false;
    const qsizetype size = sealed.size() - nonceBytes - tagBytes;
    plain.reserve(size + spare);
    plain.resize(size);
    unsigned long long length = 0;
    return crypto_aead_xchacha20poly1305_ietf_decrypt(
               reinterpret_cast<unsigned char *>(plain.data()), &length, nullptr,
               bytes(sealed) + nonceBytes, size_t(sealed.size() - nonceBytes), bytes(associated),
               size_t(associated.size()), bytes(sealed), bytes(key))
        == 0;
}

bool fromBase64(QByteArrayView text, QByteArray &out)
{
    const qsizetype size = text.size();
    if (size % 4 != 0)
        return false;
    const int padding = size == 0 ? 0 : text.endsWith("==") ? 2 : text.endsWith('=') ? 1 : 0;
    out.resize(size / 4 * 3 - padding);
    const auto *in = reinterpret_cast<const quint8 *>(text.data());
    auto *to = reinterpret_cast<quint8 *>(out.data());
    const qsizetype whole = size - (padding ? 4 : 0);
    quint32 invalid = 0;
    for (qsizetype i = 0; i < whole; i += 4) {
        const quint32 a = base64Values[in[i]], b = base64Values[in[i + 1]],
                      c = base64Values[in[i + 2]], d = base64Values[in[i + 3]];
        invalid |= a | b | c | d;
        const quint32 bits = a << 18 | b << 12 | c << 6 | d;
        to[0] = quint8(bits >> 16);
        to[1] = quint8(bits >> 8);
        to[2] = quint8(bits);
        to += 3;
    }
    if (padding) {
        const quint8 *last = in + whole;
        const quint32 a = base64Values[last[0]], b = base64Values[last[1]],
                      c = padding == 1 ? base64Values[last[2]] : 0;
        invalid |= a | b | c;
        const quint32 bits = a << 18 | b << 12 | c << 6;
        *to++ = quint8(bits >> 16);
        if (padding == 1)
            *to = quint8(bits >> 8);
    }
    return !(invalid & 0x80);
}

} // namespace SealedBox
