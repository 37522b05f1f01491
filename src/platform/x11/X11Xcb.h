// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

// What every connection of ours to the X server needs alike.
namespace X11Xcb {

struct FreeDeleter
{
    void operator()(void *pointer) const { std::free(pointer); }
};
// xcb hands out replies and events allocated with malloc.
template<typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

struct Opened
{
    xcb_connection_t *connection = nullptr; // to be disconnected by the caller, also on failure
    const xcb_screen_t *screen = nullptr; // null when the connection failed or has no screen
};
// Connects to the display (null: $DISPLAY) and finds the screen it names.
Opened open(const char *displayName = nullptr);

} // namespace X11Xcb
