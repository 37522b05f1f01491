// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pasteboard/ClipboardReader.h"

#include <QString>

#include <atomic>
#include <memory>

class X11ClipboardConnection;
struct X11OwnerChange;

// Reads every new CLIPBOARD owner's contents: for each owner change it
// fetches TARGETS and then only what capture will use, and emits
// snapshotRead once the read is complete, with the owner's window as its
// origin. A read overtaken by a newer owner is dropped and the newest one is
// read.
class X11ClipboardReader : public ClipboardReader
{
    Q_OBJECT
public:
    explicit X11ClipboardReader(QObject *parent = nullptr);
    ~X11ClipboardReader() override;

    quint32 clipboardAtom() const;
    // Called right before our own write claims the clipboard, with the
    // window that will own it (0 while unknown): that owner is never read,
    // and every change taken before this call is outdated. Returns the new
    // epoch.
    quint64 noteOwnWrite(quint32 ownerWindow);
    // The window that owns our writes, once it is known.
    void noteOwnWindow(quint32 ownerWindow) { m_ownWindow = ownerWindow; }

private:
    ClipboardConnection &connection() const override;
    void run() override;
    void process(const X11OwnerChange &change);
    PasteboardContents fetch(const X11OwnerChange &change, bool *interrupted);
    // One line in the log for a read given up on, naming the owner's window.
    void logAbandoned(const X11OwnerChange &change, const QString &target, int asked) const;

    std::atomic<quint32> m_ownWindow = 0;
    std::unique_ptr<X11ClipboardConnection> m_connection;
};
