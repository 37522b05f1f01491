// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The names inside the shared folder: one folder per machine, named by its
// id, holding its key record, its journal and its sealed images.
class SharedFolder
{
public:
    SharedFolder(QString root, QByteArray machine);

    QString root() const { return m_root; }
    QByteArray machine() const { return m_machine; }

    QString machinePath(const QByteArray &machine) const;
    QString keyPath(const QByteArray &machine) const;
    QString journalPath(const QByteArray &machine) const;
    QString mediaPath(const QByteArray &machine) const;
    QString mediaFilePath(const QByteArray &machine, const QString &name) const;

    // The machines with a folder here, ours included, sorted; what is not a
    // real folder named as a machine id is passed over.
    QList<QByteArray> machines() const;

    static bool isMachineId(QByteArrayView name);
    static QByteArray newMachineId();
    // A sealed image's name: never anything that leaves the media folder.
    static bool isMediaName(const QString &name);

private:
    QString m_root;
    QByteArray m_machine;
};
