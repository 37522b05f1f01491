// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pasteboard/ClipboardSnapshot.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <limits>
#include <thread>

class ClipboardConnection;

// Reads other programs' copies on a thread of its own, so that a slow or
// stopped owner never holds up the main thread, and hands each finished read
// over through snapshotRead (queued to the receiver's thread). A back end
// gives its connection and the thread's loop; its destructor calls stop()
// before the members that loop uses go away.
class ClipboardReader : public QObject
{
    Q_OBJECT
public:
    ~ClipboardReader() override;

    // False, with the reason, when the back end cannot connect.
    bool start(QString *errorMessage);
    bool isRunning() const { return m_thread.joinable(); }
    void setMaxReadBytes(qint64 bytes) { m_maxReadBytes = bytes; }

signals:
    void snapshotRead(const ClipboardSnapshot &snapshot);

protected:
    using QObject::QObject;

    // Ends the thread promptly, even while it waits on a stopped owner.
    void stop();

    virtual ClipboardConnection &connection() const = 0;
    virtual void run() = 0;

    // Advances with each of our own writes: every copy announced before one
    // is outdated.
    std::atomic<quint64> m_epoch = 0;
    std::atomic<qint64> m_maxReadBytes = std::numeric_limits<qint64>::max();

private:
    std::thread m_thread;
};
