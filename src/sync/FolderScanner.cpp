// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/FolderScanner.h"

#include "model/ClipStore.h"
#include "sync/SealedBox.h"

#include <QDir>
#include <QFileInfo>

QString MachineStatus::stateName(State state)
{
    switch (state) {
    case State::ok:
        return QStringLiteral("ok");
    case State::self:
        return QStringLiteral("self");
    case State::wrongPassphrase:
        return QStringLiteral("wrong-passphrase");
    case State::otherSalt:
        return QStringLiteral("other-salt");
    case State::damaged:
        return QStringLiteral("damaged");
    case State::unreadable:
        break;
    }
    return QStringLiteral("unreadable");
}

FolderScanner::FolderScanner(SharedFolder folder, SharingKey::Stored key, QString localMedia)
    : m_folder(std::move(folder))
    , m_key(std::move(key))
    , m_localMedia(std::move(localMedia))
{
}

QUuid FolderScanner::localId(const QString &key)
{
    static const QUuid space = QUuid::fromString(u"6f2d3c0e-5a61-4b8e-9a51-27c8a4a1f0b3");
    return QUuid::createUuidV5(space, key);
}

bool FolderScanner::takeImage(const QByteArray &machine, SyncEvent &event)
{
    if (event.op != SyncEvent::Op::put || event.clip.kind != ClipKind::image)
        return true;
    if (m_localMedia.isEmpty() || !SharedFolder::isMediaName(event.image)) {
        event.clip.imageFilename.reset();
        return true;
    }
    const auto sealed
        = SharingKey::readSharedFile(m_folder.mediaFilePath(machine, event.image), qint64(1) << 31);
    if (!sealed)
        return false;
    const auto png
        = SealedBox::open(m_key.key, *sealed, machine + "/media/" + event.image.toLatin1());
    if (!png)
        return false; // half-synced, or damaged: tried again at the next scan
    const auto name = ClipStore::writeImageFile(m_localMedia, localId(event.key), *png);
    if (!name)
        return false;
    event.clip.imageFilename = *name;
    return true;
}

FolderScanner::Scan FolderScanner::scan(bool includeSelf)
{
    Scan result;
    // Images that had not arrived at the last scan.
    for (qsizetype i = 0; i < m_waiting.size();) {
        if (takeImage(m_waiting[i].first, m_waiting[i].second)) {
            result.events.append(m_waiting.takeAt(i).second);
        } else {
            ++i;
        }
    }
    for (const QByteArray &id : m_folder.machines()) {
        MachineStatus &status = m_machines[id];
        status.id = id;
        const bool self = id == m_folder.machine();
        if (self && !includeSelf) {
            status.state = MachineStatus::State::self;
            result.machines.append(status);
            continue;
        }
        const auto bytes = SharingKey::readSharedFile(m_folder.keyPath(id), 4096);
        const auto record = bytes ? SharingKey::parseRecord(*bytes) : std::nullopt;
        if (!record) {
            status.state = MachineStatus::State::unreadable;
            result.machines.append(status);
            continue;
        }
        switch (SharingKey::verify(*record, m_key, id)) {
        case SharingKey::Verdict::opens:
            break;
        case SharingKey::Verdict::wrongPassphrase:
            status.state = MachineStatus::State::wrongPassphrase;
            result.machines.append(status);
            continue;
        case SharingKey::Verdict::otherSalt:
            status.state = MachineStatus::State::otherSalt;
            result.machines.append(status);
            continue;
        }
        auto reader = m_readers.find(id);
        if (reader == m_readers.end())
            reader = m_readers.insert(id, SharedJournalReader(m_folder.journalPath(id), id));
        SharedJournalReader::Batch batch = reader->read(m_key.key);
        status.damagedLines += batch.damaged;
        status.state = self           ? MachineStatus::State::self
            : status.damagedLines > 0 ? MachineStatus::State::damaged
                                      : MachineStatus::State::ok;
        // When it last wrote, by its own clock: the file carries its time.
        if (!batch.missing)
            status.lastHeard = QFileInfo(m_folder.journalPath(id)).lastModified().toUTC();
        result.events.reserve(result.events.size() + batch.events.size());
        for (SyncEvent &event : batch.events) {
            if (event.op == SyncEvent::Op::hello)
                status.name = event.name;
            if (self || takeImage(id, event))
                result.events.append(std::move(event));
            else
                m_waiting.append({ id, std::move(event) });
        }
        result.machines.append(status);
    }
    return result;
}
