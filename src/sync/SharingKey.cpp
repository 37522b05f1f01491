// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SharingKey.h"

#include "model/AtomicFile.h"
#include "sync/SharedFolder.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

namespace SharingKey {

namespace {

constexpr char checkText[] = "quillstack key check";

QByteArray checkPlace(const QByteArray &machine)
{
    return machine + "/key";
}

QByteArray fromBase64(const QJsonValue &value)
{
    const auto decoded = QByteArray::fromBase64Encoding(
        value.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? *decoded : QByteArray();
}

} // namespace

QByteArray recordBytes(const FolderRecord &record)
{
    const QJsonObject object {
        { QStringLiteral("v"), 1 },
        { QStringLiteral("kdf"), QStringLiteral("argon2id13") },
        { QStringLiteral("ops"), qint64(record.limits.ops) },
        { QStringLiteral("mem"), qint64(record.limits.mem) },
        { QStringLiteral("salt"), QString::fromLatin1(record.salt.toBase64()) },
        { QStringLiteral("check"), QString::fromLatin1(record.check.toBase64()) },
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<FolderRecord> parseRecord(const QByteArray &bytes)
{
    const QJsonObject object = QJsonDocument::fromJson(bytes).object();
    if (object.value(QStringLiteral("v")).toInt() != 1
        || object.value(QStringLiteral("kdf")).toString() != QLatin1String("argon2id13"))
        return std::nullopt;
    FolderRecord record;
    record.salt = fromBase64(object.value(QStringLiteral("salt")));
    record.check = fromBase64(object.value(QStringLiteral("check")));
    record.limits.ops = quint64(object.value(QStringLiteral("ops")).toInteger());
    record.limits.mem = quint64(object.value(QStringLiteral("mem")).toInteger());
    if (record.salt.size() != SealedBox::saltBytes || record.check.isEmpty())
        return std::nullopt;
    return record;
}

FolderRecord makeRecord(const QByteArray &key, const QByteArray &salt, SealedBox::KdfLimits limits,
    const QByteArray &machine)
{
    return { salt, limits, SealedBox::seal(key, checkText, checkPlace(machine)) };
}

Verdict verify(const FolderRecord &record, const Stored &stored, const QByteArray &machine)
{
    if (record.salt != stored.salt)
        return Verdict::otherSalt;
    const auto text = SealedBox::open(stored.key, record.check, checkPlace(machine));
    return text && *text == checkText ? Verdict::opens : Verdict::wrongPassphrase;
}

std::optional<QByteArray> readSharedFile(const QString &path, qint64 maxBytes)
{
    const int fd = AtomicFile::openFile(path, 1);
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return std::nullopt;
    }
    if (file.size() > maxBytes)
        return std::nullopt;
    return file.readAll();
}

std::optional<Stored> readStored(const QString &path)
{
    const auto bytes = readSharedFile(path, 4096);
    if (!bytes)
        return std::nullopt;
    const QJsonObject object = QJsonDocument::fromJson(*bytes).object();
    Stored stored { fromBase64(object.value(QStringLiteral("salt"))),
        fromBase64(object.value(QStringLiteral("key"))) };
    if (object.value(QStringLiteral("v")).toInt() != 1 || stored.salt.size() != SealedBox::saltBytes
        || stored.key.size() != SealedBox::keyBytes)
        return std::nullopt;
    return stored;
}

bool writeStored(const QString &path, const Stored &stored, QString *error)
{
    const QJsonObject object {
        { QStringLiteral("v"), 1 },
        { QStringLiteral("salt"), QString::fromLatin1(stored.salt.toBase64()) },
        { QStringLiteral("key"), QString::fromLatin1(stored.key.toBase64()) },
    };
    // Our data folder and the folder in it, both private.
    const QString dir = path.section(QLatin1Char('/'), 0, -2);
    if (!AtomicFile::makePrivateDir(dir.section(QLatin1Char('/'), 0, -2))
        || !AtomicFile::makePrivateDir(dir)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(dir);
        return false;
    }
    return AtomicFile::write(path, QJsonDocument(object).toJson(QJsonDocument::Compact), error, 2);
}

bool setUp(const QString &folder, const QByteArray &machine, const QString &passphrase,
    const QString &storedPath, SealedBox::KdfLimits limits, QString *error)
{
    const SharedFolder shared(folder, machine);
    std::optional<FolderRecord> model;
    QByteArray modelMachine;
    for (const QByteArray &peer : shared.machines()) {
        if (peer == machine)
            continue;
        const auto bytes = readSharedFile(shared.keyPath(peer), 4096);
        model = bytes ? parseRecord(*bytes) : std::nullopt;
        if (model) {
            modelMachine = peer;
            break;
        }
    }
    const QByteArray salt = model ? model->salt : SealedBox::randomBytes(SealedBox::saltBytes);
    const SealedBox::KdfLimits used = model ? model->limits : limits;
    const auto key = SealedBox::deriveKey(passphrase, salt, used, error);
    if (!key)
        return false;
    const Stored stored { salt, *key };
    if (model && verify(*model, stored, modelMachine) != Verdict::opens) {
        if (error)
            *error = QStringLiteral("The passphrase is not the one the other machines use.");
        return false;
    }
    const QString own = shared.machinePath(machine);
    if (!AtomicFile::makePrivateDir(own)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(own);
        return false;
    }
    return AtomicFile::write(shared.keyPath(machine),
               recordBytes(makeRecord(*key, salt, used, machine)), error, 1)
        && writeStored(storedPath, stored, error);
}

} // namespace SharingKey
