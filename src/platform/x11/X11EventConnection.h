// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include "platform/x11/X11Xcb.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <functional>
#include <memory>

class QSocketNotifier;

// A private connection to the X server whose events are read on the main
// thread as they arrive. Selecting events on it never disturbs the masks
// that Qt's own connection keeps on the same windows.
class X11EventConnection : public QObject
{
    Q_OBJECT
public:
    using EventHandler = std::function<void(const xcb_generic_event_t *event)>;

    explicit X11EventConnection(QObject *parent = nullptr);
    ~X11EventConnection() override;

    bool open(QString *errorMessage);
    bool isOpen() const { return m_connection && !xcb_connection_has_error(m_connection); }

    xcb_connection_t *connection() const { return m_connection; }
    xcb_window_t root() const { return m_root; }
    // Interned once and remembered; XCB_NONE on failure.
    xcb_atom_t atom(const char *name);

    void setEventHandler(EventHandler handler) { m_handler = std::move(handler); }
    // Waiting for a reply may pull events off the socket into the library's
    // queue, where the socket notifier no longer sees them: call this after
    // such a request. The events are handed out on the next turn of the event
    // loop, so no handler runs in the middle of the caller's work.
    void scheduleQueuedEvents();

    template<typename T> using Reply = X11Xcb::Reply<T>;

private:
    void dispatch();

    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = XCB_NONE;
    QSocketNotifier *m_notifier = nullptr;
    QHash<QByteArray, xcb_atom_t> m_atoms;
    EventHandler m_handler;
    bool m_dispatchScheduled = false;
};
