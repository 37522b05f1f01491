// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncEngine.h"

#include "model/ClipStore.h"
#include "model/OrderedWorker.h"
#include "sync/FolderScanner.h"
#include "sync/SharedJournalWriter.h"

#include <QFile>

namespace {

// Notifications come in bursts while a file is being replaced.
constexpr int settleMs = 150;
// In case a notification is missed (a folder on a network file system).
constexpr int rescanMs = 60 * 1000;

SyncEvent newEvent(SyncEvent::Op op, const QString &key)
{
    SyncEvent made;
    made.op = op;
    made.key = key;
    return made;
}

} // namespace

SyncEngine::SyncEngine(
    ClipStore &store, Options options, HybridClock::WallClock wallMs, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_options(std::move(options))
    , m_clock(m_options.machine, std::move(wallMs))
    , m_writer(std::make_unique<SharedJournalWriter>(
          SharedFolder(m_options.folder, m_options.machine), m_options.key.key))
    , m_scanner(std::make_unique<FolderScanner>(
          SharedFolder(m_options.folder, m_options.machine), m_options.key, store.mediaPath()))
    , m_worker(std::make_unique<OrderedWorker>())
{
    connect(&m_store, &ClipStore::changeRecorded, this, &SyncEngine::onStoreChange);
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleMs);
    connect(&m_settle, &QTimer::timeout, this, &SyncEngine::rescan);
    m_rescan.setInterval(rescanMs);
    connect(&m_rescan, &QTimer::timeout, this, &SyncEngine::rescan);
    connect(
        &m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle, qOverload<>(&QTimer::start));
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_settle, qOverload<>(&QTimer::start));
}

SyncEngine::~SyncEngine()
{
    // What this machine did is written before it goes; nobody hears of it.
    disconnect(this, nullptr, nullptr, nullptr);
    m_worker->finish();
    m_worker.reset();
}

void SyncEngine::start()
{
    if (m_started)
        return;
    m_started = true;
    SharedJournalWriter *writer = m_writer.get();
    const QString hostName = m_options.hostName;
    const SyncStamp hello = m_clock.next();
    m_worker->submit([this, writer, hostName, hello]() -> OrderedWorker::Finish {
        QList<SyncEvent> written;
        QString error;
        bool ok = writer->open(&written, &error);
        SyncEvent greeting;
        greeting.stamp = hello;
        greeting.name = hostName;
        if (ok)
            ok = writer->append({ greeting }, &error);
        return [this, written, ok, error] {
            if (!ok)
                emit problem(error);
            // What this machine shared before maps its clips to their keys.
            for (const SyncEvent &own : written) {
                noteOwn(own);
                if (own.op == SyncEvent::Op::put) {
                    m_keyOf.insert(own.clip.id, own.key);
                    m_localOf.insert(own.key, own.clip.id);
                }
            }
            takeIn(written);
        };
    });
    m_rescan.start();
    rescan();
}

void SyncEngine::rescan()
{
    FolderScanner *scanner = m_scanner.get();
    m_worker->submit([this, scanner]() -> OrderedWorker::Finish {
        FolderScanner::Scan scan = scanner->scan();
        return [this, scan = std::move(scan)] {
            for (const MachineStatus &status : scan.machines) {
                const bool known = std::any_of(m_machines.cbegin(), m_machines.cend(),
                    [&](const MachineStatus &m) { return m.id == status.id; });
                if (status.state == MachineStatus::State::wrongPassphrase && !known) {
                    emit problem(qtTrId("notice.sharing.wrongPassphrase"));
                }
            }
            m_machines = scan.machines;
            takeIn(scan.events);
            watchMachines();
            emit machinesChanged();
        };
    });
}

void SyncEngine::finish()
{
    m_worker->finish();
}

QList<MachineStatus> SyncEngine::machines() const
{
    QList<MachineStatus> out = m_machines;
    const QHash<QByteArray, int> counts = m_merged.clipsByOrigin();
    for (MachineStatus &status : out)
        status.clips = counts.value(status.id);
    return out;
}

void SyncEngine::watchMachines()
{
    QStringList paths { m_options.folder };
    for (const MachineStatus &status : std::as_const(m_machines)) {
        if (status.state == MachineStatus::State::self)
            continue;
        const SharedFolder folder(m_options.folder, m_options.machine);
        paths << folder.machinePath(status.id) << folder.mediaPath(status.id);
    }
    const QStringList watched = m_watcher.directories();
    paths.removeIf([&](const QString &path) { return watched.contains(path); });
    if (!paths.isEmpty())
        m_watcher.addPaths(paths);
}

void SyncEngine::takeIn(const QList<SyncEvent> &events)
{
    for (const SyncEvent &event : events) {
        m_clock.observe(event.stamp);
        m_merged.apply(event);
    }
    applyToStore(m_merged.takeChanged());
}

bool SyncEngine::isShared(const QString &key) const
{
    const MergedHistory::Entry *entry = m_merged.entry(key);
    return entry && entry->present();
}

QString SyncEngine::keyOf(const Clip &clip) const
{
    return m_keyOf.value(clip.id, clip.contentHash);
}

void SyncEngine::applyToStore(const QSet<QString> &keys)
{
    if (keys.isEmpty())
        return;
    // Looked up once per batch: a batch may hold every clip of a machine.
    const QList<Clip> &clips = m_store.clips();
    QHash<QUuid, qsizetype> byId;
    QHash<QString, qsizetype> byContent;
    for (qsizetype i = 0; i < clips.size(); ++i) {
        byId.insert(clips[i].id, i);
        if (!m_keyOf.contains(clips[i].id))
            byContent.insert(clips[i].contentHash, i);
    }
    QList<Clip> put;
    QList<QUuid> removed;
    for (const QString &key : keys) {
        const MergedHistory::Entry *entry = m_merged.entry(key);
        if (!entry)
            continue;
        qsizetype at = -1;
        if (const auto mapped = m_localOf.constFind(key); mapped != m_localOf.cend())
            at = byId.value(*mapped, -1);
        // The same content copied here too is the same clip.
        if (at < 0)
            at = byContent.value(key, -1);
        const std::optional<Clip> local = at >= 0 ? std::optional<Clip>(clips[at]) : std::nullopt;
        if (!entry->present()) {
            if (local)
                removed.append(local->id);
            continue;
        }
        if (const auto dropped = m_droppedHere.constFind(key);
            !local && dropped != m_droppedHere.cend() && !(*dropped < entry->live))
            continue;
        Clip wanted = entry->clip;
        wanted.id = local ? local->id : FolderScanner::localId(key);
        wanted.isKept = entry->kept;
        if (local && local->imageFilename && wanted.kind == ClipKind::image)
            wanted.imageFilename = local->imageFilename;
        m_keyOf.insert(wanted.id, key);
        m_localOf.insert(key, wanted.id);
        if (!local || *local != wanted)
            put.append(wanted);
    }
    if (!put.isEmpty() || !removed.isEmpty())
        m_store.merge(put, removed);
}

void SyncEngine::onStoreChange(const StoreChange &change)
{
    QList<SyncEvent> events;
    const bool everyClip = m_options.scope == Scope::all;
    const auto putOf = [&](const Clip &clip, const QString &key) {
        SyncEvent made = newEvent(SyncEvent::Op::put, key);
        made.clip = clip;
        if (clip.kind == ClipKind::image)
            made.image = key;
        return made;
    };
    switch (change.kind) {
    case StoreChange::Kind::added:
    case StoreChange::Kind::copiedAgain:
    case StoreChange::Kind::edited:
        for (const Clip &clip : change.clips) {
            const QString key = keyOf(clip);
            if (everyClip || isShared(key))
                events.append(putOf(clip, key));
        }
        break;
    case StoreChange::Kind::kept:
        for (const Clip &clip : change.clips) {
            const QString key = keyOf(clip);
            if (!isShared(key)) {
                if (!everyClip && !clip.isKept)
                    continue;
                events.append(putOf(clip, key));
            }
            SyncEvent mark = newEvent(SyncEvent::Op::keep, key);
            mark.kept = clip.isKept;
            events.append(mark);
        }
        break;
    case StoreChange::Kind::deleted:
    case StoreChange::Kind::cleared: {
        SyncEvent forget = newEvent(SyncEvent::Op::forget, QString());
        forget.clear = change.kind == StoreChange::Kind::cleared;
        for (const Clip &clip : change.clips) {
            const QString key = keyOf(clip);
            if (isShared(key))
                forget.gone.append({ key, m_merged.entry(key)->live });
        }
        if (!forget.gone.isEmpty())
            events.append(forget);
        break;
    }
    case StoreChange::Kind::limited:
        // Each machine keeps to its own limits: not shared.
        for (const Clip &clip : change.clips) {
            const QString key = keyOf(clip);
            if (isShared(key))
                m_droppedHere.insert(key, m_merged.entry(key)->live);
        }
        break;
    }
    if (events.isEmpty())
        return;
    for (SyncEvent &made : events) {
        made.stamp = m_clock.next();
        noteOwn(made);
        m_merged.apply(made);
        if (made.op == SyncEvent::Op::put) {
            m_keyOf.insert(made.clip.id, made.key);
            m_localOf.insert(made.key, made.clip.id);
            m_droppedHere.remove(made.key);
        }
    }
    m_merged.takeChanged(); // the store already holds what this machine did
    share(events);
}

void SyncEngine::share(QList<SyncEvent> events)
{
    // Images are sealed from the local file before the line that names them.
    QList<std::pair<QString, QString>> images;
    for (const SyncEvent &made : std::as_const(events)) {
        if (made.op == SyncEvent::Op::put && !made.image.isEmpty())
            images.append({ made.image, m_store.imagePath(made.clip) });
    }
    SharedJournalWriter *writer = m_writer.get();
    m_worker->submit([this, writer, events, images]() -> OrderedWorker::Finish {
        QString error;
        bool ok = true;
        for (const auto &[name, path] : images) {
            const auto png = SharingKey::readSharedFile(path, qint64(1) << 31);
            ok = ok && png && writer->writeMedia(name, *png, &error);
        }
        ok = ok && writer->append(events, &error);
        return [this, ok, error, lines = writer->lines()] {
            if (!ok)
                emit problem(qtTrId("notice.sharing.cannotWrite").arg(error));
            else
                compactIfDue(lines);
        };
    });
}

void SyncEngine::noteOwn(const SyncEvent &event)
{
    const auto later = [&](QHash<QString, SyncEvent> &latest) {
        const auto it = latest.constFind(event.key);
        if (it == latest.cend() || it->stamp < event.stamp)
            latest.insert(event.key, event);
    };
    switch (event.op) {
    case SyncEvent::Op::hello:
        break;
    case SyncEvent::Op::put:
        later(m_ownPuts);
        break;
    case SyncEvent::Op::keep:
        later(m_ownKeeps);
        break;
    case SyncEvent::Op::forget:
        for (const SyncEvent::Gone &gone : event.gone) {
            SyncStamp &tomb = m_ownTombs[gone.key];
            if (tomb.isNull() || tomb < gone.seen)
                tomb = gone.seen;
        }
        break;
    }
}

void SyncEngine::compactIfDue(qint64 lines)
{
    const qint64 needed = m_ownPuts.size() + m_ownKeeps.size() + 2;
    if (m_compacting || lines < m_options.compactAfterLines || lines < 4 * needed)
        return;
    // A put every tombstone outweighs says nothing any more; the tombstones
    // stay, for a machine that comes back with the clip.
    QList<SyncEvent> events;
    SyncEvent hello;
    hello.stamp = m_clock.next();
    hello.name = m_options.hostName;
    events.append(hello);
    for (const SyncEvent &put : std::as_const(m_ownPuts)) {
        const MergedHistory::Entry *entry = m_merged.entry(put.key);
        if (entry && entry->tomb < put.stamp)
            events.append(put);
    }
    for (const SyncEvent &keep : std::as_const(m_ownKeeps))
        events.append(keep);
    if (!m_ownTombs.isEmpty()) {
        SyncEvent forget;
        forget.op = SyncEvent::Op::forget;
        forget.stamp = m_clock.next();
        for (auto it = m_ownTombs.cbegin(); it != m_ownTombs.cend(); ++it)
            forget.gone.append({ it.key(), it.value() });
        events.append(forget);
    }
    m_compacting = true;
    SharedJournalWriter *writer = m_writer.get();
    m_worker->submit([this, writer, events]() -> OrderedWorker::Finish {
        QString error;
        const bool ok = writer->compact(events, &error);
        return [this, ok, error] {
            m_compacting = false;
            if (!ok)
                emit problem(qtTrId("notice.sharing.cannotWrite").arg(error));
        };
    });
}
