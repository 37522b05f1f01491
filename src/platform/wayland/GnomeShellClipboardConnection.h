// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pasteboard/ClipboardConnection.h"
#include "pasteboard/ClipboardRead.h"

#include <QDBusConnection>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>

// The reader thread's side of the GNOME Shell companion: each type of a copy
// is asked for with ReadClipboard and arrives through a pipe, read with the
// shared deadlines and budget. Only open(), wake() and requestStop() may be
// called from other threads.
class GnomeShellClipboardConnection : public ClipboardConnection
{
public:
    explicit GnomeShellClipboardConnection(const QDBusConnection &bus);
    ~GnomeShellClipboardConnection() override;

    // False, with the reason, when the companion is not on the bus.
    bool open(QString *errorMessage) override;
    void wake();
    void requestStop() override;
    bool finished() const { return m_stopRequested; }

    // Blocks until wake() or stop, or the timeout (-1: none) passes.
    void waitForWake(std::chrono::milliseconds timeout = std::chrono::milliseconds(-1));
    // The bytes of one type of the copy the companion numbered serial, at
    // most budget of them. interrupted ends the read at once; stallLimit is
    // how long the companion's source may go without sending now.
    ClipboardRead read(quint32 serial, const QString &mimeType, qint64 budget,
        const std::function<bool()> &interrupted,
        const std::function<std::chrono::milliseconds()> &stallLimit);

private:
    QDBusConnection m_bus;
    int m_wakeFd = -1;
    std::atomic<bool> m_stopRequested = false;
};
