// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11Workspace.h"

#include "platform/x11/X11EventConnection.h"

#include <QtGui/private/qtx11extras_p.h>

using Reply = X11EventConnection::Reply<xcb_get_property_reply_t>;

namespace {

// _NET_ACTIVE_WINDOW's source indication for a pager: window managers honour
// such requests without their focus-stealing checks.
constexpr quint32 sourcePager = 2;
// A program's windows sit a few levels below the window that names its process.
constexpr int maxAncestorDepth = 8;

} // namespace

X11Workspace::X11Workspace(QObject *parent)
    : Workspace(parent)
    , m_connection(new X11EventConnection(this))
{
    if (!m_connection->open(&m_errorString))
        return;
    xcb_connection_t *c = m_connection->connection();
    const quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, m_connection->root(), XCB_CW_EVENT_MASK, &mask);
    m_connection->setEventHandler([this](const xcb_generic_event_t *event) { onEvent(event); });
    m_currentDesktop
        = cardinalProperty(m_connection->root(), m_connection->atom("_NET_CURRENT_DESKTOP"));
    xcb_flush(c);
}

X11Workspace::~X11Workspace() = default;

bool X11Workspace::isOpen() const
{
    return m_connection->isOpen();
}

std::optional<quint32> X11Workspace::cardinalProperty(xcb_window_t window, xcb_atom_t property)
{
    if (!isOpen() || property == XCB_NONE)
        return std::nullopt;
    xcb_connection_t *c = m_connection->connection();
    Reply reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    m_connection->scheduleQueuedEvents();
    if (!reply || reply->type != XCB_ATOM_CARDINAL || reply->format != 32
        || xcb_get_property_value_length(reply.get()) < 4)
        return std::nullopt;
    return *static_cast<const quint32 *>(xcb_get_property_value(reply.get()));
}

std::optional<xcb_window_t> X11Workspace::activeWindowProperty()
{
    const xcb_atom_t property = m_connection->atom("_NET_ACTIVE_WINDOW");
    if (!isOpen() || property == XCB_NONE)
        return std::nullopt;
    xcb_connection_t *c = m_connection->connection();
    Reply reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, m_connection->root(), property, XCB_ATOM_WINDOW, 0, 1), nullptr));
    m_connection->scheduleQueuedEvents();
    if (!reply || reply->type == XCB_NONE)
        return std::nullopt;
    if (reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return xcb_window_t(XCB_NONE);
    return *static_cast<const xcb_window_t *>(xcb_get_property_value(reply.get()));
}

std::optional<qint64> X11Workspace::processIdOf(xcb_window_t window)
{
    const xcb_atom_t pidAtom = m_connection->atom("_NET_WM_PID");
    xcb_connection_t *c = m_connection->connection();
    // Without a window manager the focus may rest on a child window; the
    // process is named on its top-level ancestor.
    for (int depth = 0; depth < maxAncestorDepth && window != XCB_NONE; ++depth) {
        if (const std::optional<quint32> pid = cardinalProperty(window, pidAtom))
            return qint64(*pid);
        X11EventConnection::Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
        m_connection->scheduleQueuedEvents();
        if (!tree || tree->parent == tree->root)
            break;
        window = tree->parent;
    }
    return std::nullopt;
}

std::optional<RunningWindow> X11Workspace::frontmostWindow()
{
    if (!isOpen())
        return std::nullopt;
    xcb_window_t window = XCB_NONE;
    if (const std::optional<xcb_window_t> active = activeWindowProperty()) {
        window = *active;
    } else {
        xcb_connection_t *c = m_connection->connection();
        X11EventConnection::Reply<xcb_get_input_focus_reply_t> focus(
            xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        m_connection->scheduleQueuedEvents();
        if (focus)
            window = focus->focus;
    }
    if (window == XCB_NONE || window == XCB_INPUT_FOCUS_POINTER_ROOT
        || window == m_connection->root())
        return std::nullopt;
    return RunningWindow { window, processIdOf(window) };
}

void X11Workspace::activate(const RunningWindow &window)
{
    if (!isOpen() || window.windowId == XCB_NONE)
        return;
    xcb_connection_t *c = m_connection->connection();
    const auto target = xcb_window_t(window.windowId);
    // A real time, not CurrentTime: the window manager passes it on to the
    // program, whose late answer then cannot take the keyboard back from a
    // window of ours that asked for it afterwards.
    const quint32 now = QX11Info::isPlatformX11() ? QX11Info::getTimestamp() : XCB_CURRENT_TIME;
    if (activeWindowProperty()) {
        xcb_client_message_event_t message {};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = target;
        message.type = m_connection->atom("_NET_ACTIVE_WINDOW");
        message.data.data32[0] = sourcePager;
        message.data.data32[1] = now;
        message.data.data32[2] = XCB_NONE;
        xcb_send_event(c, 0, m_connection->root(),
            XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
            reinterpret_cast<const char *>(&message));
    } else {
        // A window that has gone meanwhile answers with an error, which the
        // connection drops.
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, target, now);
    }
    xcb_flush(c);
}

void X11Workspace::onEvent(const xcb_generic_event_t *event)
{
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return;
    const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(event);
    if (notify->window != m_connection->root()
        || notify->atom != m_connection->atom("_NET_CURRENT_DESKTOP"))
        return;
    const std::optional<quint32> desktop = cardinalProperty(notify->window, notify->atom);
    // Window managers rewrite the property without a switch now and then.
    if (desktop == m_currentDesktop)
        return;
    m_currentDesktop = desktop;
    emit activeSpaceDidChange();
}

void X11Workspace::prepareToTakeKeyboard()
{
    // Qt stamps a focus request with the last event time it has seen, and
    // the server ignores one older than the last focus change: after another
    // window took the keyboard a moment ago, the panel would not get it.
    if (QX11Info::isPlatformX11())
        QX11Info::setAppTime(QX11Info::getTimestamp());
}
