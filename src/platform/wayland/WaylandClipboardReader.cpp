// SPDX-License-Identifier: GPL-3.0-or-later
#include "WaylandClipboardReader.h"

#include "ClipboardFetcher.h"
#include "WaylandClipboardConnection.h"
#include "WaylandClipboardWriter.h"

#include <algorithm>

WaylandClipboardReader::WaylandClipboardReader(QObject *parent)
    : QObject(parent)
    , m_writer(std::make_unique<WaylandClipboardWriter>())
    , m_connection(std::make_unique<WaylandClipboardConnection>(m_epoch, *m_writer))
{
}

WaylandClipboardReader::~WaylandClipboardReader()
{
    if (m_thread.joinable()) {
        m_connection->requestStop();
        m_thread.join();
    }
}

bool WaylandClipboardReader::start(QString *errorMessage)
{
    if (m_thread.joinable())
        return true;
    if (!m_connection->open(errorMessage))
        return false;
    m_thread = std::thread([this] { run(); });
    return true;
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

bool WaylandClipboardReader::writePending()
{
    const std::lock_guard lock(m_writeMutex);
    return m_pendingWrite.has_value();
}

void WaylandClipboardReader::run()
{
    while (!m_connection->finished()) {
        std::optional<Representations> write;
        quint64 request = 0;
        {
            const std::lock_guard lock(m_writeMutex);
            write = std::exchange(m_pendingWrite, std::nullopt);
            request = m_writesRequested;
        }
        if (write) {
            m_connection->setSelection(*write, [this, request] {
                {
                    const std::lock_guard lock(m_writeMutex);
                    m_writesSynced = std::max(m_writesSynced, request);
                }
                m_writeSynced.notify_all();
            });
        } else if (const auto selection = m_connection->takeSelection())
            process(*selection);
        else
            m_connection->waitForEvents();
    }
}

void WaylandClipboardReader::process(const WaylandSelection &selection)
{
    WaylandClipboardSnapshot snapshot { {}, selection.epoch, selection.initial,
        selection.offer != nullptr };
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
