// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11KeyboardLayout.h"

#include "platform/x11/X11Xkb.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <xkbcommon/xkbcommon-x11.h>

#include "globalhotkeys/KeyCodeTable.h"

namespace {

struct StateDeleter
{
    void operator()(xkb_state *state) const { xkb_state_unref(state); }
};
using State = std::unique_ptr<xkb_state, StateDeleter>;

// Every XKB event starts with these fields; xkbType tells them apart.
struct XkbEventHeader
{
    uint8_t response_type;
    uint8_t xkbType;
};

} // namespace

X11KeyboardLayout::X11KeyboardLayout(QObject *parent)
    : KeyboardLayout(parent)
    , m_context(xkb_context_new(XKB_CONTEXT_NO_FLAGS))
{
    const auto *x11
        = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    // Qt's offscreen platform answers as an X11 application too, with no
    // connection (or a failed one) when there is no X server.
    if (!x11 || !m_context || !x11->connection() || xcb_connection_has_error(x11->connection()))
        return;
    m_connection = x11->connection();
    uint8_t firstEvent = 0;
    // Qt has set the extension up already on its connection; this only
    // tells us the number of its first event.
    if (!xkb_x11_setup_xkb_extension(m_connection, XKB_X11_MIN_MAJOR_XKB_VERSION,
            XKB_X11_MIN_MINOR_XKB_VERSION, XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr,
            &firstEvent, nullptr))
        return;
    m_xkbFirstEvent = firstEvent;
    if (!rebuildKeymap())
        return;
    // Qt selects the XKB state, map and new-keyboard events on its
    // connection for its own keymap; we read the same events as they pass.
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11KeyboardLayout::~X11KeyboardLayout() = default;

QString X11KeyboardLayout::characterForEvdevCode(int evdevCode) const
{
    if (!m_keymap)
        return {};
    // A fresh state with only the active group: no modifier, no lock, so a
    // held Shift or Caps Lock does not change what a shortcut reads as.
    const State state(xkb_state_new(m_keymap.get()));
    if (!state)
        return {};
    xkb_state_update_mask(state.get(), 0, 0, 0, 0, 0, m_group);
    const xkb_keycode_t keycode = xkb_keycode_t(evdevCode + GlobalHotkeys::xkbKeycodeOffset);
    char buffer[16] = {};
    const int length = xkb_state_key_get_utf8(state.get(), keycode, buffer, sizeof buffer);
    if (length <= 0 || size_t(length) >= sizeof buffer)
        return {};
    return QString::fromUtf8(buffer, length);
}

bool X11KeyboardLayout::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (m_xkbFirstEvent < 0 || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != m_xkbFirstEvent)
        return false;
    const auto *header = reinterpret_cast<const XkbEventHeader *>(event);
    switch (header->xkbType) {
    case XCB_XKB_NEW_KEYBOARD_NOTIFY:
    case XCB_XKB_MAP_NOTIFY:
        if (rebuildKeymap())
            emit layoutChanged();
        break;
    case XCB_XKB_STATE_NOTIFY: {
        const auto *state = reinterpret_cast<const xcb_xkb_state_notify_event_t *>(event);
        if (state->deviceID == m_deviceId && state->group != m_group) {
            m_group = state->group;
            emit layoutChanged();
        }
        break;
    }
    default:
        break;
    }
    // Qt needs these events as much as we do.
    return false;
}

bool X11KeyboardLayout::rebuildKeymap()
{
    m_deviceId = xkb_x11_get_core_keyboard_device_id(m_connection);
    if (m_deviceId < 0)
        return false;
    std::unique_ptr<xkb_keymap, KeymapDeleter> keymap(xkb_x11_keymap_new_from_device(
        m_context.get(), m_connection, m_deviceId, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        return false;
    // The live state says which group is active; characters are then read
    // from fresh states that carry only that group.
    const State live(xkb_x11_state_new_from_device(keymap.get(), m_connection, m_deviceId));
    if (!live)
        return false;
    m_group = xkb_state_serialize_layout(live.get(), XKB_STATE_LAYOUT_EFFECTIVE);
    m_keymap = std::move(keymap);
    return true;
}
