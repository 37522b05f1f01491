// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/GnomeShellClipboardReader.h"

#include "pasteboard/ClipboardFetcher.h"
#include "pasteboard/ClipboardReading.h"
#include "platform/wayland/ClipboardPipe.h"
#include "platform/wayland/GnomeShellClipboardConnection.h"

GnomeShellClipboardReader::GnomeShellClipboardReader(const QDBusConnection &bus, QObject *parent)
    : ClipboardReader(parent)
    , m_connection(std::make_unique<GnomeShellClipboardConnection>(bus))
{
}

GnomeShellClipboardReader::~GnomeShellClipboardReader()
{
    stop();
}

void GnomeShellClipboardReader::announce(quint32 serial, const QStringList &types, bool initial)
{
    {
        const std::lock_guard lock(m_mutex);
        m_pending = Announcement { serial, types, m_epoch, initial };
    }
    if (isRunning())
        m_connection->wake();
}

quint64 GnomeShellClipboardReader::write()
{
    quint64 epoch = 0;
    {
        const std::lock_guard lock(m_mutex);
        m_pending.reset();
        epoch = ++m_epoch;
    }
    if (isRunning())
        m_connection->wake();
    return epoch;
}

bool GnomeShellClipboardReader::newerAnnounced() const
{
    const std::lock_guard lock(m_mutex);
    return m_pending.has_value();
}

ClipboardConnection &GnomeShellClipboardReader::connection() const
{
    return *m_connection;
}

void GnomeShellClipboardReader::run()
{
    while (!m_connection->finished()) {
        std::optional<Announcement> announcement;
        {
            const std::lock_guard lock(m_mutex);
            announcement = std::exchange(m_pending, std::nullopt);
        }
        if (announcement)
            process(*announcement);
        else
            m_connection->waitForWake();
    }
}

void GnomeShellClipboardReader::process(const Announcement &announcement)
{
    // A program that copies empties the clipboard first, and the copy is
    // announced right after: that is no owner gone, whose copy we put back.
    if (announcement.types.isEmpty() && !announcement.initial) {
        if (!newerAnnounced())
            m_connection->waitForWake(ClipboardPipe::supersededStall);
        if (newerAnnounced())
            return;
    }
    // An empty clipboard: its owner quit (programs almost never clear it).
    ClipboardSnapshot snapshot { {}, announcement.epoch, announcement.initial,
        announcement.types.isEmpty(), announcement.serial };
    const auto overtaken = [this, &announcement] { return m_epoch != announcement.epoch; };
    if (!announcement.types.isEmpty()) {
        ClipboardFetcher fetcher(
            announcement.types, m_maxReadBytes, [&](const QString &type, qint64 budget) {
                return m_connection->read(announcement.serial, type, budget, overtaken, [this] {
                    return newerAnnounced() ? ClipboardPipe::supersededStall
                                            : ClipboardReading::requestDeadline;
                });
            });
        const ClipboardFetcher::Result result = fetcher.fetch();
        if (result.interrupted)
            return;
        snapshot.contents = result.contents;
    }
    if (m_connection->finished() || overtaken())
        return;
    emit snapshotRead(snapshot);
}
