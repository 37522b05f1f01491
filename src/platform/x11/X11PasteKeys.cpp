// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11PasteKeys.h"

#include "platform/x11/X11EventConnection.h"
#include "platform/x11/X11KeyChord.h"
#include "platform/x11/X11KeyboardLayout.h"
#include "platform/x11/X11Workspace.h"

#include <QCoreApplication>

#include <xcb/xtest.h>

namespace {

// Windows sit a few levels below the top-level window a manager activates.
constexpr int maxAncestorDepth = 8;

} // namespace

X11PasteKeys::X11PasteKeys(
    X11Workspace &workspace, const X11KeyboardLayout &layout, QObject *parent)
    : PasteKeys(parent)
    , m_workspace(workspace)
    , m_layout(layout)
    , m_connection(new X11EventConnection(this))
{
    if (!m_connection->open(&m_unavailable))
        return;
    const xcb_query_extension_reply_t *xtest
        = xcb_get_extension_data(m_connection->connection(), &xcb_test_id);
    if (!xtest || !xtest->present)
        m_unavailable = qtTrId("paste.unavailable.xtest");
}

X11PasteKeys::~X11PasteKeys() = default;

QString X11PasteKeys::unavailableReason() const
{
    return m_unavailable;
}

bool X11PasteKeys::focusIsWithin(xcb_window_t window)
{
    xcb_connection_t *c = m_connection->connection();
    X11EventConnection::Reply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_window_t at = focus ? focus->focus : xcb_window_t(XCB_NONE);
    for (int depth = 0; depth < maxAncestorDepth; ++depth) {
        if (at == XCB_NONE || at == XCB_INPUT_FOCUS_POINTER_ROOT || at == m_connection->root())
            return false;
        if (at == window)
            return true;
        X11EventConnection::Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c, xcb_query_tree(c, at), nullptr));
        if (!tree)
            return false;
        at = tree->parent;
    }
    return false;
}

QStringList X11PasteKeys::classNames(xcb_window_t window)
{
    xcb_connection_t *c = m_connection->connection();
    X11EventConnection::Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr));
    if (!reply || reply->format != 8)
        return {};
    // The instance and the class, each ended by a NUL.
    const QByteArray value(static_cast<const char *>(xcb_get_property_value(reply.get())),
        xcb_get_property_value_length(reply.get()));
    QStringList names;
    for (const QByteArray &name : value.split('\0')) {
        if (!name.isEmpty())
            names.append(QString::fromLocal8Bit(name));
    }
    return names;
}

std::optional<PasteKeys::Focus> X11PasteKeys::keyboardFocus()
{
    if (!m_unavailable.isEmpty())
        return std::nullopt;
    const std::optional<RunningWindow> active = m_workspace.frontmostWindow();
    // The manager names the window before the server hands it the keys.
    if (!active || !focusIsWithin(xcb_window_t(active->windowId)))
        return std::nullopt;
    m_connection->scheduleQueuedEvents();
    return Focus { *active, classNames(xcb_window_t(active->windowId)),
        active->processId == QCoreApplication::applicationPid() };
}

QList<xcb_keycode_t> X11PasteKeys::heldModifiers()
{
    xcb_connection_t *c = m_connection->connection();
    const xcb_query_keymap_cookie_t keymapCookie = xcb_query_keymap(c);
    const xcb_get_modifier_mapping_cookie_t modifiersCookie = xcb_get_modifier_mapping(c);
    X11EventConnection::Reply<xcb_query_keymap_reply_t> down(
        xcb_query_keymap_reply(c, keymapCookie, nullptr));
    X11EventConnection::Reply<xcb_get_modifier_mapping_reply_t> modifiers(
        xcb_get_modifier_mapping_reply(c, modifiersCookie, nullptr));
    QList<xcb_keycode_t> held;
    if (!down || !modifiers)
        return held;
    const xcb_keycode_t *keycodes = xcb_get_modifier_mapping_keycodes(modifiers.get());
    const int count = xcb_get_modifier_mapping_keycodes_length(modifiers.get());
    for (int i = 0; i < count; ++i) {
        const xcb_keycode_t keycode = keycodes[i];
        if (keycode != 0 && (down->keys[keycode / 8] & (1 << (keycode % 8)))
            && !held.contains(keycode))
            held.append(keycode);
    }
    return held;
}

bool X11PasteKeys::press(PasteChord chord, QString *error)
{
    if (!m_unavailable.isEmpty()) {
        *error = m_unavailable;
        return false;
    }
    const std::optional<X11KeyChord::Keys> keys
        = X11KeyChord::keysFor(m_layout.keymap(), m_layout.group());
    if (!keys) {
        *error = qtTrId("paste.failed.noKey");
        return false;
    }
    const QList<xcb_keycode_t> held = heldModifiers();
    xcb_connection_t *c = m_connection->connection();
    for (const X11KeyChord::KeyEvent &event :
        X11KeyChord::chordEvents(chord, *keys, { held.cbegin(), held.cend() })) {
        xcb_test_fake_input(c, event.press ? XCB_KEY_PRESS : XCB_KEY_RELEASE,
            xcb_keycode_t(event.keycode), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    }
    // A round trip: the server has queued the keys for the window once it answers.
    X11EventConnection::Reply<xcb_get_input_focus_reply_t> sync(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    m_connection->scheduleQueuedEvents();
    return true;
}
