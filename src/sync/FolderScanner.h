// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/MachineStatus.h"
#include "sync/SharedFolder.h"
#include "sync/SharedJournalReader.h"
#include "sync/SharingKey.h"
#include "sync/SyncEvent.h"

#include <QHash>
#include <QList>

// Reads every other machine's files in the shared folder, each from where
// the last scan stopped. Opens a machine's lines only once its key check
// opens with our key, so a wrong passphrase is told as such and never read
// as damage. Runs on the thread that reads, not the UI's.
class FolderScanner
{
public:
    struct Scan
    {
        QList<SyncEvent> events;
        QList<MachineStatus> machines; // without clip counts
    };

    // `localMedia` is where the images of arriving clips are written (by
    // their local id); empty to take no images.
    FolderScanner(SharedFolder folder, SharingKey::Stored key, QString localMedia);

    // With `includeSelf`, our own journal is read too (for a status read
    // with no instance running).
    Scan scan(bool includeSelf = false);

    // The local id an arriving clip takes: the same on every read.
    static QUuid localId(const QString &key);

private:
    // Opens an arriving image clip's image into the local media folder; false
    // while its sealed file has not arrived.
    bool takeImage(const QByteArray &machine, SyncEvent &event);

    SharedFolder m_folder;
    SharingKey::Stored m_key;
    QString m_localMedia;
    QHash<QByteArray, SharedJournalReader> m_readers;
    QHash<QByteArray, MachineStatus> m_machines;
    // Image clips whose sealed image has not arrived yet, by machine.
    QList<std::pair<QByteArray, SyncEvent>> m_waiting;
};
