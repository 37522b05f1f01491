// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeyRepeatProbe.h"

#include "X11TestTools.h"

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <cstdlib>

KeyRepeatProbe::KeyRepeatProbe()
{
    m_connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(m_connection))
        return;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    std::free(xcb_input_xi_query_version_reply(
        m_connection, xcb_input_xi_query_version(m_connection, 2, 2), nullptr));
    struct
    {
        xcb_input_event_mask_t head;
        uint32_t bits;
    } mask { { XCB_INPUT_DEVICE_ALL, 1 }, XCB_INPUT_XI_EVENT_MASK_KEY_PRESS };
    std::free(xcb_request_check(
        m_connection, xcb_input_xi_select_events_checked(m_connection, root, 1, &mask.head)));
}

KeyRepeatProbe::~KeyRepeatProbe()
{
    xcb_disconnect(m_connection);
}

bool KeyRepeatProbe::isValid() const
{
    return !xcb_connection_has_error(m_connection);
}

int KeyRepeatProbe::repeatsOf(GlobalHotkeys::Key key)
{
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
        const auto *generic = reinterpret_cast<const xcb_ge_generic_event_t *>(event);
        if ((event->response_type & 0x7f) == XCB_GE_GENERIC
            && generic->event_type == XCB_INPUT_KEY_PRESS) {
            const auto *press = reinterpret_cast<const xcb_input_key_press_event_t *>(event);
            if (press->flags & XCB_INPUT_KEY_EVENT_FLAGS_KEY_REPEAT)
                ++m_repeats[int(press->detail)];
        }
        std::free(event);
    }
    return m_repeats.value(x11Keycode(key));
}
