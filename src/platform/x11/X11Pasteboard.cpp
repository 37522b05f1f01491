// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11Pasteboard.h"

#include "platform/x11/X11ClipboardReader.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QtGui/private/qtx11extras_p.h>

#include <xcb/xcb.h>

#include <cstdlib>

X11Pasteboard::X11Pasteboard(QObject *parent)
    : SystemPasteboard(std::make_unique<X11ClipboardReader>(), parent)
{
}

X11ClipboardReader &X11Pasteboard::x11Reader() const
{
    return static_cast<X11ClipboardReader &>(reader());
}

bool X11Pasteboard::restoreContents(const PasteboardContents &contents)
{
    xcb_connection_t *connection = qtConnection();
    if (!connection)
        return Pasteboard::restoreContents(contents);
    // What this pasteboard holds lags behind the server: the reader may be
    // reading a program that copied since, and would lose that copy to our
    // claim. While the server is held no one else can take the clipboard, so
    // it is claimed only if it is still without an owner.
    xcb_grab_server(connection);
    const bool empty = selectionOwner(connection) == XCB_NONE;
    if (empty)
        setContents(contents);
    xcb_ungrab_server(connection);
    xcb_flush(connection);
    return empty;
}

void X11Pasteboard::setContents(const PasteboardContents &contents)
{
    // Every owner change the server makes after our claim must carry the new
    // epoch, so the epoch moves before the claim: a program that copies right
    // after it would otherwise be stamped with the old one and dropped.
    const quint64 epoch = x11Reader().noteOwnWrite(m_ownWindow);
    claimClipboard(offeredRepresentations(contents));

    // Qt's window that owns the clipboard is made at the first write.
    if (const quint32 owner = currentQtOwner(); owner && owner != m_ownWindow) {
        m_ownWindow = owner;
        x11Reader().noteOwnWindow(owner);
    }
    takeOwnContents(contents, epoch);
}

void X11Pasteboard::claimClipboard(const QList<std::pair<QString, QByteArray>> &offered)
{
    auto *mimeData = new QMimeData;
    for (const auto &[type, bytes] : offered) {
        // Text as text, so that Qt also offers UTF8_STRING, STRING and TEXT.
        if (type == PasteboardType::plainText)
            mimeData->setText(QString::fromUtf8(bytes));
        else
            mimeData->setData(type, bytes);
    }
    // Qt claims the selection with the last server time it saw, which is
    // older than another program's copy unless one of our windows got input
    // since; the server then ignores the claim. A fresh time makes it hold.
    if (QX11Info::isPlatformX11())
        QX11Info::setAppTime(QX11Info::getTimestamp());
    // Qt takes the selection before returning; an empty QMimeData still
    // takes it, so that a cleared clipboard is ours and not an owner change.
    QGuiApplication::clipboard()->setMimeData(mimeData, QClipboard::Clipboard);
}

xcb_connection_t *X11Pasteboard::qtConnection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

quint32 X11Pasteboard::selectionOwner(xcb_connection_t *connection) const
{
    xcb_get_selection_owner_reply_t *reply = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, x11Reader().clipboardAtom()), nullptr);
    if (!reply)
        return XCB_NONE;
    const quint32 owner = reply->owner;
    std::free(reply);
    return owner;
}

quint32 X11Pasteboard::currentQtOwner() const
{
    xcb_connection_t *connection = qtConnection();
    if (!connection)
        return 0;
    const quint32 owner = selectionOwner(connection);
    // Another program may have taken the clipboard in between; its window
    // must never be mistaken for ours, or its copies would all be ignored.
    const xcb_setup_t *setup = xcb_get_setup(connection);
    if ((owner & ~setup->resource_id_mask) != setup->resource_id_base)
        return 0;
    return owner;
}
