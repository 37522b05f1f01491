// SPDX-License-Identifier: GPL-3.0-or-later
// A Wayland socket that offers a seat and nothing else, as a compositor
// without data-control (GNOME's) looks to a clipboard program. Prints the
// socket's name, then serves until it is killed.

#include <wayland-server.h>

#include <cstdio>

namespace {

void bindSeat(wl_client *client, void *, uint32_t version, uint32_t id)
{
    wl_resource *seat = wl_resource_create(client, &wl_seat_interface, int(version), id);
    if (!seat)
        wl_client_post_no_memory(client);
}

} // namespace

int main()
{
    wl_display *display = wl_display_create();
    const char *socket = display ? wl_display_add_socket_auto(display) : nullptr;
    if (!socket) {
        std::fprintf(stderr, "qs-bare-compositor: cannot create a Wayland socket\n");
        return 1;
    }
    wl_global_create(display, &wl_seat_interface, 1, nullptr, bindSeat);
    std::printf("%s\n", socket);
    std::fflush(stdout);
    wl_display_run(display);
    wl_display_destroy(display);
    return 0;
}
