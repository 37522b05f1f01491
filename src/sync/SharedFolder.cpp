// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SharedFolder.h"

#include "model/AtomicFile.h"
#include "sync/SealedBox.h"

#include <QDir>

#include <algorithm>

SharedFolder::SharedFolder(QString root, QByteArray machine)
    : m_root(std::move(root))
    , m_machine(std::move(machine))
{
}

QString SharedFolder::machinePath(const QByteArray &machine) const
{
    return m_root + QLatin1Char('/') + QString::fromLatin1(machine);
}

QString SharedFolder::keyPath(const QByteArray &machine) const
{
    return machinePath(machine) + QStringLiteral("/key");
}

QString SharedFolder::journalPath(const QByteArray &machine) const
{
    return machinePath(machine) + QStringLiteral("/journal");
}

QString SharedFolder::mediaPath(const QByteArray &machine) const
{
    return machinePath(machine) + QStringLiteral("/media");
}

QString SharedFolder::mediaFilePath(const QByteArray &machine, const QString &name) const
{
    return mediaPath(machine) + QLatin1Char('/') + name + QStringLiteral(".sealed");
}

QList<QByteArray> SharedFolder::machines() const
{
    QList<QByteArray> found;
    const QStringList names = QDir(m_root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QByteArray id = name.toLatin1();
        if (isMachineId(id) && AtomicFile::kindOf(machinePath(id)) == AtomicFile::Kind::folder)
            found.append(id);
    }
    std::sort(found.begin(), found.end());
    return found;
}

bool SharedFolder::isMachineId(QByteArrayView name)
{
    return name.size() == 32 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    });
}

QByteArray SharedFolder::newMachineId()
{
    return SealedBox::randomBytes(16).toHex();
}

bool SharedFolder::isMediaName(const QString &name)
{
    return name.size() == 64 && std::all_of(name.cbegin(), name.cend(), [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
    });
}
