// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11EventConnection.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cstring>

X11EventConnection::X11EventConnection(QObject *parent)
    : QObject(parent)
{
}

X11EventConnection::~X11EventConnection()
{
    delete m_notifier;
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool X11EventConnection::open(QString *errorMessage)
{
    const X11Xcb::Opened opened = X11Xcb::open();
    m_connection = opened.connection;
    if (!opened.screen) {
        if (errorMessage)
            *errorMessage = QStringLiteral("cannot connect to the X server");
        return false;
    }
    m_root = opened.screen->root;

    m_notifier
        = new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11EventConnection::dispatch);
    return true;
}

xcb_atom_t X11EventConnection::atom(const char *name)
{
    const QByteArray key(name);
    if (const auto found = m_atoms.constFind(key); found != m_atoms.constEnd())
        return found.value();
    if (!isOpen())
        return XCB_NONE;
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, std::strlen(name), name), nullptr));
    scheduleQueuedEvents();
    if (!reply)
        return XCB_NONE;
    m_atoms.insert(key, reply->atom);
    return reply->atom;
}

void X11EventConnection::scheduleQueuedEvents()
{
    if (m_dispatchScheduled)
        return;
    m_dispatchScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_dispatchScheduled = false;
        dispatch();
    });
}

void X11EventConnection::dispatch()
{
    if (!isOpen()) {
        // A broken connection keeps the socket readable for ever.
        if (m_notifier)
            m_notifier->setEnabled(false);
        return;
    }
    for (;;) {
        // Takes queued events first, then whatever the socket holds, without blocking.
        xcb_generic_event_t *raw = xcb_poll_for_event(m_connection);
        if (!raw)
            break;
        Reply<xcb_generic_event_t> event(raw);
        // Errors (response type 0) of requests nobody checks are dropped.
        if (event->response_type != 0 && m_handler)
            m_handler(event.get());
    }
}
