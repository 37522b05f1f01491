// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandClipboardReader.h"

#include "pasteboard/ClipboardFetcher.h"
#include "platform/wayland/WaylandClipboardConnection.h"
#include "platform/wayland/WaylandClipboardWriter.h"

#include <algorithm>

WaylandClipboardReader::WaylandClipboardReader(QObject *parent)
    : ClipboardReader(parent)
    , m_writer(std::make_unique<WaylandClipboardWriter>())
    , m_connection(std::make_unique<WaylandClipboardConnection>(m_epoch, *m_writer))
{
}

WaylandClipboardReader::~WaylandClipboardReader()
{
    stop();
}

QString WaylandClipboardReader::protocolName() const
{
    return m_connection->protocolName();
}

quint64 WaylandClipboardReader::write(const Representations &representations)
{
    std::unique_lock lock(m_writeMutex);
    m_pendingWrite = representations;
    const quint64 epoch = ++m_epoch;
    const quint64 request = ++m_writesRequested;
    m_connection->wake();
    // A program asked to paste right after the choice must get what we
    // wrote; the compositor answers in well under a millisecond.
    if (isRunning()) {
        m_writeSynced.wait_for(lock, writeWait, [&] { return m_writesSynced >= request; });
    }
    return epoch;
}

std::optional<quint64> WaylandClipboardReader::restore(
    const Representations &representations, quint64 sequence)
{
    // A newer selection is known already: no need to ask the thread.
    if (!isRunning() || m_connection->selectionsAnnounced() != sequence)
        return std::nullopt;
    std::unique_lock lock(m_writeMutex);
    m_pendingRestore = Restore { representations, sequence };
    m_restoreAnswer.reset();
    m_connection->wake();
    const auto answered = [this] { return m_restoreAnswer.has_value(); };
    // The thread takes it at once unless it is reading, and then what it
    // reads is newer than the clipboard that emptied. Once taken, it is
    // answered without waiting on anything.
    if (!m_writeSynced.wait_for(lock, writeWait, answered) && m_pendingRestore) {
        m_pendingRestore.reset();
        return std::nullopt;
    }
    m_writeSynced.wait(lock, answered);
    const quint64 epoch = *std::exchange(m_restoreAnswer, std::nullopt);
    return epoch ? std::optional<quint64>(epoch) : std::nullopt;
}

void WaylandClipboardReader::performRestore(
    const Restore &restore, bool allowed, std::function<void()> synced)
{
    quint64 epoch = 0;
    if (allowed && m_connection->selectionsAnnounced() == restore.sequence) {
        // Moved here, before the compositor hears of it, so that every
        // selection announced after ours carries the new epoch.
        epoch = ++m_epoch;
        m_connection->setSelection(restore.representations, std::move(synced));
    }
    {
        const std::lock_guard lock(m_writeMutex);
        m_restoreAnswer = epoch;
    }
    m_writeSynced.notify_all();
}

bool WaylandClipboardReader::writePending()
{
    const std::lock_guard lock(m_writeMutex);
    return m_pendingWrite.has_value();
}

ClipboardConnection &WaylandClipboardReader::connection() const
{
    return *m_connection;
}

void WaylandClipboardReader::run()
{
    while (!m_connection->finished()) {
        std::optional<Representations> write;
        std::optional<Restore> restore;
        quint64 request = 0;
        {
            const std::lock_guard lock(m_writeMutex);
            write = std::exchange(m_pendingWrite, std::nullopt);
            restore = std::exchange(m_pendingRestore, std::nullopt);
            request = m_writesRequested;
        }
        const auto synced = [this, request] {
            {
                const std::lock_guard lock(m_writeMutex);
                m_writesSynced = std::max(m_writesSynced, request);
            }
            m_writeSynced.notify_all();
        };
        // A write made meanwhile replaces the clipboard anyway.
        if (restore)
            performRestore(*restore, !write, synced);
        if (write) {
            m_connection->setSelection(*write, synced);
        } else if (const auto selection = m_connection->takeSelection())
            process(*selection);
        else
            m_connection->waitForEvents();
    }
}

void WaylandClipboardReader::process(const WaylandSelection &selection)
{
    // Data-control cannot tell a clipboard cleared on purpose from one whose
    // owner quit; programs almost never clear it, so an empty one counts as
    // its owner gone.
    ClipboardSnapshot snapshot { {}, selection.epoch, selection.initial, selection.offer == nullptr,
        selection.sequence };
    if (selection.offer) {
        ClipboardFetcher fetcher(
            selection.types, m_maxReadBytes, [&](const QString &type, qint64 budget) {
                return m_connection->read(
                    selection, type, budget, [this] { return writePending(); });
            });
        const ClipboardFetcher::Result result = fetcher.fetch();
        m_connection->release(selection);
        if (result.interrupted)
            return;
        snapshot.contents = result.contents;
    }
    // Our own write supersedes it; the pasteboard would drop it by epoch too,
    // but the epoch it carries may already be the write's.
    if (m_connection->finished() || writePending())
        return;
    emit snapshotRead(snapshot);
}
