// SPDX-License-Identifier: GPL-3.0-or-later
// A small Wayland compositor for tests: a seat and, with --data-control,
// both clipboard-manager protocols (ext_data_control_manager_v1, which no
// compositor we can install offers, and zwlr_data_control_manager_v1) over
// one selection, so a copy made through one is read through the other.
// Without it, it offers a seat and nothing else, as a compositor without
// data-control (GNOME's) looks to a clipboard program.
//
// Prints the socket's name once it serves; ends on SIGTERM, freeing
// everything it holds.

#include "ext-data-control-v1-server-protocol.h"
#include "wlr-data-control-unstable-v1-server-protocol.h"

#include <wayland-server.h>

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// The two protocols have the same requests and events in the same order;
// a Protocol names one's interfaces and event senders, and everything
// else is written once.
struct Protocol
{
    const wl_interface *manager;
    const wl_interface *device;
    const wl_interface *source;
    const wl_interface *offer;
    int version;
    const void *managerRequests;
    const void *deviceRequests;
    const void *sourceRequests;
    const void *offerRequests;
    void (*dataOffer)(wl_resource *device, wl_resource *offer);
    void (*selection)(wl_resource *device, wl_resource *offer);
    void (*offerType)(wl_resource *offer, const char *mimeType);
    void (*send)(wl_resource *source, const char *mimeType, int32_t fd);
    void (*cancelled)(wl_resource *source);
};

struct Source;
struct Device;
struct Offer;

// The one seat's selection and everyone who watches it.
struct Seat
{
    Source *selection = nullptr;
    std::vector<Device *> devices;
    std::vector<Offer *> offers;
} seat;

struct Device
{
    wl_resource *resource;
    const Protocol &protocol;
};

struct Source
{
    wl_resource *resource;
    const Protocol &protocol;
    std::vector<std::string> types;
};

struct Offer
{
    wl_resource *resource;
    // Null once the source was replaced or destroyed: the offer goes dry.
    Source *source;
};

template<typename T> T *from(wl_resource *resource)
{
    return static_cast<T *>(wl_resource_get_user_data(resource));
}

template<typename T> void forget(std::vector<T *> &list, T *item)
{
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

void destroyResource(wl_client *, wl_resource *resource)
{
    wl_resource_destroy(resource);
}

void destroyOffer(wl_resource *resource)
{
    Offer *offer = from<Offer>(resource);
    forget(seat.offers, offer);
    delete offer;
}

// Tells one device what the selection is: a fresh offer with the source's
// types, then the selection event naming it (or null).
void announce(Device &device)
{
    Source *source = seat.selection;
    if (!source) {
        device.protocol.selection(device.resource, nullptr);
        return;
    }
    wl_client *client = wl_resource_get_client(device.resource);
    wl_resource *resource = wl_resource_create(
        client, device.protocol.offer, wl_resource_get_version(device.resource), 0);
    if (!resource)
        return wl_client_post_no_memory(client);
    auto *offer = new Offer { resource, source };
    seat.offers.push_back(offer);
    wl_resource_set_implementation(resource, device.protocol.offerRequests, offer, destroyOffer);
    device.protocol.dataOffer(device.resource, resource);
    for (const std::string &type : source->types)
        device.protocol.offerType(resource, type.c_str());
    device.protocol.selection(device.resource, resource);
}

void announceToAll()
{
    for (Device *device : seat.devices)
        announce(*device);
}

// Offers of a source that is no longer the selection go dry.
void detachOffers(const Source *source)
{
    for (Offer *offer : seat.offers) {
        if (offer->source == source)
            offer->source = nullptr;
    }
}

void setSeatSelection(Source *source)
{
    if (Source *previous = std::exchange(seat.selection, source)) {
        detachOffers(previous);
        previous->protocol.cancelled(previous->resource);
    }
    announceToAll();
}

void receive(wl_client *, wl_resource *resource, const char *mimeType, int32_t fd)
{
    // The event carries a duplicate of fd; ours is closed either way.
    if (Source *source = from<Offer>(resource)->source)
        source->protocol.send(source->resource, mimeType, fd);
    ::close(fd);
}

void offerType(wl_client *, wl_resource *resource, const char *mimeType)
{
    from<Source>(resource)->types.emplace_back(mimeType);
}

void destroySource(wl_resource *resource)
{
    Source *source = from<Source>(resource);
    detachOffers(source);
    // The selection goes with its source, as the clipboard does when the
    // program that copied quits.
    if (seat.selection == source) {
        seat.selection = nullptr;
        announceToAll();
    }
    delete source;
}

// Clients are trusted to use a source once, as the protocols ask.
void setSelection(wl_client *, wl_resource *, wl_resource *sourceResource)
{
    setSeatSelection(sourceResource ? from<Source>(sourceResource) : nullptr);
}

// There is no primary selection here: a source set as one is dropped at once.
void setPrimarySelection(wl_client *, wl_resource *, wl_resource *sourceResource)
{
    if (sourceResource)
        from<Source>(sourceResource)->protocol.cancelled(sourceResource);
}

void destroyDevice(wl_resource *resource)
{
    Device *device = from<Device>(resource);
    forget(seat.devices, device);
    delete device;
}

void createDataSource(wl_client *client, wl_resource *resource, uint32_t id)
{
    const Protocol &protocol = *from<const Protocol>(resource);
    wl_resource *created
        = wl_resource_create(client, protocol.source, wl_resource_get_version(resource), id);
    if (!created)
        return wl_client_post_no_memory(client);
    wl_resource_set_implementation(
        created, protocol.sourceRequests, new Source { created, protocol, {} }, destroySource);
}

void getDataDevice(wl_client *client, wl_resource *resource, uint32_t id, wl_resource *)
{
    const Protocol &protocol = *from<const Protocol>(resource);
    wl_resource *created
        = wl_resource_create(client, protocol.device, wl_resource_get_version(resource), id);
    if (!created)
        return wl_client_post_no_memory(client);
    auto *device = new Device { created, protocol };
    wl_resource_set_implementation(created, protocol.deviceRequests, device, destroyDevice);
    seat.devices.push_back(device);
    announce(*device);
}

void bindManager(wl_client *client, void *data, uint32_t version, uint32_t id)
{
    auto *protocol = static_cast<Protocol *>(data);
    wl_resource *resource = wl_resource_create(client, protocol->manager, int(version), id);
    if (!resource)
        return wl_client_post_no_memory(client);
    wl_resource_set_implementation(resource, protocol->managerRequests, protocol, nullptr);
}

// A seat without keyboard or pointer; clients that pick a seat by name
// (wl-copy) find it as seat0.
void bindSeat(wl_client *client, void *, uint32_t version, uint32_t id)
{
    wl_resource *resource = wl_resource_create(client, &wl_seat_interface, int(version), id);
    if (!resource)
        return wl_client_post_no_memory(client);
    wl_seat_send_capabilities(resource, 0);
    if (version >= WL_SEAT_NAME_SINCE_VERSION)
        wl_seat_send_name(resource, "seat0");
}

// One table of requests per protocol, all served by the functions above.
template<typename ManagerRequests, typename DeviceRequests, typename SourceRequests,
    typename OfferRequests>
struct Requests
{
    static constexpr ManagerRequests manager { createDataSource, getDataDevice, destroyResource };
    static constexpr DeviceRequests device { setSelection, destroyResource, setPrimarySelection };
    static constexpr SourceRequests source { offerType, destroyResource };
    static constexpr OfferRequests offer { receive, destroyResource };
};

using ExtRequests = Requests<struct ext_data_control_manager_v1_interface,
    struct ext_data_control_device_v1_interface, struct ext_data_control_source_v1_interface,
    struct ext_data_control_offer_v1_interface>;
Protocol extProtocol { &ext_data_control_manager_v1_interface,
    &ext_data_control_device_v1_interface, &ext_data_control_source_v1_interface,
    &ext_data_control_offer_v1_interface, 1, &ExtRequests::manager, &ExtRequests::device,
    &ExtRequests::source, &ExtRequests::offer, ext_data_control_device_v1_send_data_offer,
    ext_data_control_device_v1_send_selection, ext_data_control_offer_v1_send_offer,
    ext_data_control_source_v1_send_send, ext_data_control_source_v1_send_cancelled };

using WlrRequests = Requests<struct zwlr_data_control_manager_v1_interface,
    struct zwlr_data_control_device_v1_interface, struct zwlr_data_control_source_v1_interface,
    struct zwlr_data_control_offer_v1_interface>;
Protocol wlrProtocol { &zwlr_data_control_manager_v1_interface,
    &zwlr_data_control_device_v1_interface, &zwlr_data_control_source_v1_interface,
    &zwlr_data_control_offer_v1_interface, 2, &WlrRequests::manager, &WlrRequests::device,
    &WlrRequests::source, &WlrRequests::offer, zwlr_data_control_device_v1_send_data_offer,
    zwlr_data_control_device_v1_send_selection, zwlr_data_control_offer_v1_send_offer,
    zwlr_data_control_source_v1_send_send, zwlr_data_control_source_v1_send_cancelled };

int stop(int, void *display)
{
    wl_display_terminate(static_cast<wl_display *>(display));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<Protocol *> protocols;
    if (argc > 1 && std::strcmp(argv[1], "--data-control") == 0)
        protocols = { &extProtocol, &wlrProtocol };

    wl_display *display = wl_display_create();
    const char *socket = display ? wl_display_add_socket_auto(display) : nullptr;
    if (!socket) {
        std::fprintf(stderr, "qs-test-compositor: cannot create a Wayland socket\n");
        return 1;
    }
    wl_global_create(display, &wl_seat_interface, 2, nullptr, bindSeat);
    for (Protocol *protocol : protocols)
        wl_global_create(display, protocol->manager, protocol->version, protocol, bindManager);
    wl_event_loop *loop = wl_display_get_event_loop(display);
    wl_event_source *terminated = wl_event_loop_add_signal(loop, SIGTERM, stop, display);

    std::printf("%s\n", socket);
    std::fflush(stdout);
    wl_display_run(display);

    wl_event_source_remove(terminated);
    wl_display_destroy_clients(display);
    wl_display_destroy(display);
    return 0;
}
