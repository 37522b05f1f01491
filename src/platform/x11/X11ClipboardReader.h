// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/x11/X11ClipboardSnapshot.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <limits>
#include <memory>
#include <thread>

class X11ClipboardConnection;
struct X11OwnerChange;

// Reads every new CLIPBOARD owner's contents on a thread of its own, so that
// a slow or stopped owner never holds up the main thread. For each owner
// change it fetches TARGETS and then only what capture will use, and emits
// snapshotRead (queued to the receiver's thread) once the read is complete.
// A read overtaken by a newer owner is dropped and the newest one is read.
class X11ClipboardReader : public QObject
{
    Q_OBJECT
public:
    explicit X11ClipboardReader(QObject *parent = nullptr);
    // Stops the thread promptly, even while it waits on a stopped owner.
    ~X11ClipboardReader() override;

    bool start(QString *errorMessage);
    bool isRunning() const { return m_thread.joinable(); }
    quint32 clipboardAtom() const;

    void setMaxReadBytes(qint64 bytes) { m_maxReadBytes = bytes; }
    // Called right before our own write claims the clipboard, with the
    // window that will own it (0 while unknown): that owner is never read,
    // and every change taken before this call is outdated. Returns the new
    // epoch.
    quint64 noteOwnWrite(quint32 ownerWindow);
    // The window that owns our writes, once it is known.
    void noteOwnWindow(quint32 ownerWindow) { m_ownWindow = ownerWindow; }

signals:
    void snapshotRead(const X11ClipboardSnapshot &snapshot);

private:
    void run();
    void process(const X11OwnerChange &change);
    PasteboardContents fetch(const X11OwnerChange &change, bool *interrupted);
    // One line in the log for a read given up on, naming the owner's window.
    void logAbandoned(const X11OwnerChange &change, const QString &target, int asked) const;

    std::atomic<quint64> m_epoch = 0;
    std::atomic<quint32> m_ownWindow = 0;
    std::atomic<qint64> m_maxReadBytes = std::numeric_limits<qint64>::max();
    std::unique_ptr<X11ClipboardConnection> m_connection;
    std::thread m_thread;
};
