// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pasteboard/SystemPasteboard.h"

class X11ClipboardReader;
struct xcb_connection_t;

// The X11 CLIPBOARD as the monitor's pasteboard (see SystemPasteboard), read
// by an X11ClipboardReader. Our own writes go through QClipboard, which keeps
// serving them until another program copies.
class X11Pasteboard : public SystemPasteboard
{
    Q_OBJECT
public:
    explicit X11Pasteboard(QObject *parent = nullptr);

    void setContents(const PasteboardContents &contents) override;
    bool restoreContents(const PasteboardContents &contents) override;

    // Makes Qt's X11 connection the owner of CLIPBOARD, offering these types,
    // text also in X11's own text forms.
    static void claimClipboard(const QList<std::pair<QString, QByteArray>> &offered);

private:
    X11ClipboardReader &x11Reader() const;
    // Qt's own connection to the X server, or null off X11.
    static xcb_connection_t *qtConnection();
    quint32 selectionOwner(xcb_connection_t *connection) const;
    // The window of Qt's connection that owns CLIPBOARD now, or 0.
    quint32 currentQtOwner() const;

    quint32 m_ownWindow = 0;
};
