// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/StoreChange.h"
#include "sync/HybridClock.h"
#include "sync/MachineStatus.h"
#include "sync/MergedHistory.h"
#include "sync/SharingKey.h"

#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <memory>

class ClipStore;
class OrderedWorker;
class FolderScanner;
class SharedJournalWriter;

// Shares the history through a folder another program carries between the
// user's machines: writes this machine's changes into its own journal there
// and merges the other machines' into the store. Reading, decrypting and
// writing the folder happen on a thread of their own; the store is changed
// on this object's thread.
class SyncEngine : public QObject
{
    Q_OBJECT
public:
    enum class Scope { kept, all };

    struct Options
    {
        QString folder;
        QByteArray machine;
        SharingKey::Stored key;
        Scope scope = Scope::kept;
        QString hostName;
        // Our journal is written anew once it holds this many lines and four
        // times more than it needs.
        qint64 compactAfterLines = 1000;
    };

    SyncEngine(ClipStore &store, Options options, HybridClock::WallClock wallMs = {},
        QObject *parent = nullptr);
    ~SyncEngine() override;

    // Reads back what this machine shared before and what the others did;
    // the folder is then followed as it changes.
    void start();
    // Reads the other machines' journals now.
    void rescan();
    // Waits for every read and write asked so far and takes in what they
    // brought, without an event loop.
    void finish();

    QList<MachineStatus> machines() const;

signals:
    void machinesChanged();
    // Something the user should hear of: a wrong passphrase on another
    // machine, a folder that cannot be written.
    void problem(const QString &message);

private:
    void onStoreChange(const StoreChange &change);
    void share(QList<SyncEvent> events);
    void takeIn(const QList<SyncEvent> &events);
    void applyToStore(const QSet<QString> &keys);
    void watchMachines();
    QString keyOf(const Clip &clip) const;
    // Remembers what this machine wrote, for compaction.
    void noteOwn(const SyncEvent &event);
    void compactIfDue(qint64 lines);
    bool isShared(const QString &key) const;

    ClipStore &m_store;
    Options m_options;
    HybridClock m_clock;
    MergedHistory m_merged;
    // Local clip id -> key, and back.
    QHash<QUuid, QString> m_keyOf;
    QHash<QString, QUuid> m_localOf;
    // Keys the limits dropped here, with how alive the clip was then: it
    // comes back only when it changes again.
    QHash<QString, SyncStamp> m_droppedHere;
    // This machine's latest put and keep of each key, and its tombstones:
    // all its journal needs to say.
    QHash<QString, SyncEvent> m_ownPuts;
    QHash<QString, SyncEvent> m_ownKeeps;
    QHash<QString, SyncStamp> m_ownTombs;
    bool m_compacting = false;
    QList<MachineStatus> m_machines;
    bool m_started = false;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QTimer m_rescan;
    // Used by the worker's thread alone, one piece at a time.
    std::unique_ptr<SharedJournalWriter> m_writer;
    std::unique_ptr<FolderScanner> m_scanner;
    // Last, so it stops before what its work uses goes.
    std::unique_ptr<OrderedWorker> m_worker;
};
