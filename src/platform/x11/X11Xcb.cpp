// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11Xcb.h"

namespace X11Xcb {

Opened open(const char *displayName)
{
    Opened opened;
    int screenNumber = 0;
    opened.connection = xcb_connect(displayName, &screenNumber);
    if (xcb_connection_has_error(opened.connection))
        return opened;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(opened.connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem > 0)
        opened.screen = screens.data;
    return opened;
}

} // namespace X11Xcb
