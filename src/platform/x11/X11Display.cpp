// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11Display.h"

#include <xcb/xcb.h>

bool x11DisplayReachable()
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable;
}
