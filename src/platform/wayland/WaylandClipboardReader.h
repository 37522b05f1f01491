// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pasteboard/Pasteboard.h"

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

class WaylandClipboardConnection;
class WaylandClipboardWriter;
struct WaylandSelection;

// Finished read of one selection, handed from the reader thread to the
// pasteboard on the main thread.
struct WaylandClipboardSnapshot
{
    PasteboardContents contents;
    quint64 epoch = 0;
    bool initial = false;
    // False when the clipboard became empty.
    bool offered = true;
    // The selection's place among all the compositor announced.
    quint64 sequence = 0;
};

// Reads every new Wayland selection on a thread of its own, so that a slow
// or stopped owner never holds up the main thread: its types first, then
// only what capture will use, in capture's order. Selections are read one
// after another, in the order they came; a newer one cuts an older read
// short only when that owner stops sending. Also takes the clipboard for our
// own writes, which are never read back.
class WaylandClipboardReader : public QObject
{
    Q_OBJECT
public:
    using Representations = QList<std::pair<QString, QByteArray>>;

    explicit WaylandClipboardReader(QObject *parent = nullptr);
    // Stops the thread promptly, even while it waits on a stopped owner.
    ~WaylandClipboardReader() override;

    // False, with the reason, when there is no compositor or no data-control.
    bool start(QString *errorMessage);
    bool isRunning() const { return m_thread.joinable(); }
    QString protocolName() const;

    void setMaxReadBytes(qint64 bytes) { m_maxReadBytes = bytes; }
    // Takes the clipboard with these representations (none: clears it) and
    // returns once the compositor has them, or after writeWait at most.
    // Every selection taken before this call is outdated; returns the new epoch.
    quint64 write(const Representations &representations);
    // Takes the clipboard as write() does, but only if the selection the
    // compositor announced last is still the one numbered sequence: the new
    // epoch, or none when a newer selection came (or the reader was busy
    // reading one).
    std::optional<quint64> restore(const Representations &representations, quint64 sequence);

    static constexpr std::chrono::milliseconds writeWait { 250 };

signals:
    void snapshotRead(const WaylandClipboardSnapshot &snapshot);

private:
    void run();
    void process(const WaylandSelection &selection);
    bool writePending();

    std::atomic<quint64> m_epoch = 0;
    std::atomic<qint64> m_maxReadBytes = std::numeric_limits<qint64>::max();
    struct Restore
    {
        Representations representations;
        quint64 sequence = 0;
    };
    // Done on this thread: takes the clipboard if allowed and no newer
    // selection came, and answers restore().
    void performRestore(const Restore &restore, bool allowed, std::function<void()> synced);

    std::mutex m_writeMutex;
    std::optional<Representations> m_pendingWrite;
    std::optional<Restore> m_pendingRestore;
    // The reader thread's answer to the last restore: its epoch, or 0 when
    // it did not take the clipboard.
    std::optional<quint64> m_restoreAnswer;
    std::condition_variable m_writeSynced;
    // Counts our writes, and those the compositor has acted on.
    quint64 m_writesRequested = 0;
    quint64 m_writesSynced = 0;
    std::unique_ptr<WaylandClipboardWriter> m_writer;
    std::unique_ptr<WaylandClipboardConnection> m_connection;
    std::thread m_thread;
};
