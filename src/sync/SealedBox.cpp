// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SealedBox.h"

#include <sodium.h>

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
    initialise();
    if (key.size() != keyBytes || sealed.size() < nonceBytes + tagBytes)
        return std::nullopt;
    QByteArray out;
    out.reserve(sealed.size() - nonceBytes - tagBytes + spare);
    out.resize(sealed.size() - nonceBytes - tagBytes);
    unsigned long long length = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(reinterpret_cast<unsigned char *>(out.data()),
            &length, nullptr, bytes(sealed) + nonceBytes, size_t(sealed.size() - nonceBytes),
            bytes(associated), size_t(associated.size()), bytes(sealed), bytes(key))
        != 0)
        return std::nullopt;
    return out;
}

QByteArray toBase64(QByteArrayView data)
{
    initialise();
    constexpr int variant = sodium_base64_VARIANT_ORIGINAL;
    QByteArray out(
        qsizetype(sodium_base64_ENCODED_LEN(size_t(data.size()), variant)), Qt::Uninitialized);
    sodium_bin2base64(out.data(), size_t(out.size()), bytes(data), size_t(data.size()), variant);
    out.chop(1); // its terminating NUL
    return out;
}

std::optional<QByteArray> fromBase64(QByteArrayView text)
{
    initialise();
    QByteArray out(text.size() / 4 * 3 + 3, Qt::Uninitialized);
    size_t length = 0;
    const char *end = nullptr;
    if (sodium_base642bin(reinterpret_cast<unsigned char *>(out.data()), size_t(out.size()),
            text.data(), size_t(text.size()), nullptr, &length, &end,
            sodium_base64_VARIANT_ORIGINAL)
            != 0
        || end != text.data() + text.size())
        return std::nullopt;
    out.truncate(qsizetype(length));
    return out;
}

} // namespace SealedBox
