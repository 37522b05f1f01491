// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pasteboard/ClipboardReader.h"

#include <QDBusConnection>
#include <QStringList>

#include <memory>
#include <mutex>
#include <optional>

class GnomeShellClipboardConnection;

// Reads each copy the GNOME Shell companion announces, on the reader
// thread: only what capture will use, in capture's order (ClipboardFetcher).
// Copies are read one after another; a newer one cuts an older read short
// once that owner stops sending, and our own write ends it at once. A
// snapshot's origin is the companion's serial for the copy.
class GnomeShellClipboardReader : public ClipboardReader
{
    Q_OBJECT
public:
    explicit GnomeShellClipboardReader(const QDBusConnection &bus, QObject *parent = nullptr);
    ~GnomeShellClipboardReader() override;

    // Another program copied: the companion's serial and the types offered
    // (none: the clipboard was emptied); initial for what was there before
    // we started. Any thread.
    void announce(quint32 serial, const QStringList &types, bool initial = false);
    // Our own write: every copy announced before it is outdated. Returns the new epoch.
    quint64 write();

private:
    struct Announcement
    {
        quint32 serial = 0;
        QStringList types;
        quint64 epoch = 0;
        bool initial = false;
    };

    ClipboardConnection &connection() const override;
    void run() override;
    void process(const Announcement &announcement);
    bool newerAnnounced() const;

    std::unique_ptr<GnomeShellClipboardConnection> m_connection;
    mutable std::mutex m_mutex;
    std::optional<Announcement> m_pending;
};
