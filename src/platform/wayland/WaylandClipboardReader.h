// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pasteboard/ClipboardReader.h"

#include <QList>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

class WaylandClipboardConnection;
class WaylandClipboardWriter;
struct WaylandSelection;

// Reads every new Wayland selection: its types first, then only what
// capture will use, in capture's order; a snapshot's origin is the
// selection's place among all the compositor announced. Selections are read
// one after another, in the order they came; a newer one cuts an older read
// short only when that owner stops sending. Also takes the clipboard for our
// own writes, which are never read back. Starting fails when there is no
// compositor or no data-control.
class WaylandClipboardReader : public ClipboardReader
{
    Q_OBJECT
public:
    using Representations = QList<std::pair<QString, QByteArray>>;

    explicit WaylandClipboardReader(QObject *parent = nullptr);
    ~WaylandClipboardReader() override;

    QString protocolName() const;

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

private:
    ClipboardConnection &connection() const override;
    void run() override;
    void process(const WaylandSelection &selection);
    bool writePending();

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
};
