// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11Pasteboard.h"

#include "pasteboard/ClipboardFetcher.h"
#include "platform/x11/X11ClipboardReader.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QtGui/private/qtx11extras_p.h>

#include <xcb/xcb.h>

#include <cstdlib>

X11Pasteboard::X11Pasteboard(QObject *parent)
    : Pasteboard(parent)
    , m_reader(std::make_unique<X11ClipboardReader>())
{
    connect(m_reader.get(), &X11ClipboardReader::snapshotRead, this, &X11Pasteboard::onSnapshotRead,
        Qt::QueuedConnection);
    m_reader->start(&m_errorString);
}

X11Pasteboard::~X11Pasteboard() = default;

bool X11Pasteboard::isReading() const
{
    return m_reader->isRunning();
}

QString X11Pasteboard::unavailableReason() const
{
    return isReading() ? QString() : m_errorString;
}

std::optional<QByteArray> X11Pasteboard::dataForType(const QString &type) const
{
    return m_contents.dataForType(type);
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
    m_epoch = m_reader->noteOwnWrite(m_ownWindow);
    auto *mimeData = new QMimeData;
    const std::optional<QByteArray> uriList = contents.dataForType(PasteboardType::uriList);
    for (const auto &[type, bytes] : contents.data) {
        if (type == PasteboardType::plainText) {
            // As text, so that Qt also offers UTF8_STRING, STRING and TEXT.
            mimeData->setText(QString::fromUtf8(bytes));
        } else if (type == PasteboardType::uriList) {
            mimeData->setData(type, bytes);
            mimeData->setData(PasteboardType::gnomeCopiedFiles,
                ClipboardFetcher::gnomeCopiedFilesFromUriList(bytes));
        } else if (type == PasteboardType::gnomeCopiedFiles && uriList) {
            continue;
        } else {
            mimeData->setData(type, bytes);
        }
    }
    // Qt claims the selection with the last server time it saw, which is
    // older than another program's copy unless one of our windows got input
    // since; the server then ignores the claim. A fresh time makes it hold.
    if (QX11Info::isPlatformX11())
        QX11Info::setAppTime(QX11Info::getTimestamp());
    // Qt takes the selection before returning; an empty QMimeData still
    // takes it, so that a cleared clipboard is ours and not an owner change.
    QGuiApplication::clipboard()->setMimeData(mimeData, QClipboard::Clipboard);

    // Qt's window that owns the clipboard is made at the first write.
    if (const quint32 owner = currentQtOwner(); owner && owner != m_ownWindow) {
        m_ownWindow = owner;
        m_reader->noteOwnWindow(owner);
    }
    replaceContents(m_contents, contents);
    m_contents.abandoned = false;
    m_ownerQuit = false;
    ++m_changeCount;
}

void X11Pasteboard::setMaxReadBytes(qint64 bytes)
{
    m_reader->setMaxReadBytes(bytes);
}

void X11Pasteboard::onSnapshotRead(const X11ClipboardSnapshot &snapshot)
{
    // Read before our latest write, or from our own window: already superseded.
    if (snapshot.change.epoch != m_epoch)
        return;
    if (snapshot.change.owner != XCB_NONE && snapshot.change.owner == m_ownWindow)
        return;
    replaceContents(m_contents, snapshot.contents);
    m_ownerQuit = snapshot.change.owner == XCB_NONE && snapshot.change.ownerQuit;
    if (snapshot.change.initial)
        return;
    ++m_changeCount;
    emit changed();
}

xcb_connection_t *X11Pasteboard::qtConnection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

quint32 X11Pasteboard::selectionOwner(xcb_connection_t *connection) const
{
    xcb_get_selection_owner_reply_t *reply = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, m_reader->clipboardAtom()), nullptr);
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
