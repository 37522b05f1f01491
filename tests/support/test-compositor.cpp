// SPDX-License-Identifier: GPL-3.0-or-later
// A small Wayland compositor for tests: a seat and, as asked, the
// clipboard-manager protocols, both over one selection, so a copy made
// through one is read through the other. Without options it offers a seat
// and nothing else, as a compositor without data-control (GNOME's) looks to
// a clipboard program.
//
//   qs-test-compositor [--ext] [--wlr]  offer ext_data_control_manager_v1,
//                                       zwlr_data_control_manager_v1 or both
// Prints the socket's name once it serves; ends on SIGTERM or SIGINT,
// freeing everything it holds.

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
    uint32_t usedSourceError;
    uint32_t invalidOfferError;
};

struct Source;
struct Device;
struct Offer;

// The seat's one selection and everyone who watches it.
struct Seat
{
    Source *selection = nullptr;
    std::vector<Device *> devices;
    std::vector<Offer *> offers;
};

struct Manager
{
    const Protocol &protocol;
    Seat &seat;
};

struct Device
{
    wl_resource *resource;
    const Protocol &protocol;
    Seat &seat;
};

struct Source
{
    wl_resource *resource;
    const Protocol &protocol;
    Seat &seat;
    std::vector<std::string> types;
    bool used = false;
};

struct Offer
{
    wl_resource *resource;
    Seat &seat;
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
    forget(offer->seat.offers, offer);
    delete offer;
}

// Tells one device what the selection is: a fresh offer with the source's
// types, then the selection event naming it (or null).
void announce(Device &device)
{
    Source *source = device.seat.selection;
    if (!source) {
        device.protocol.selection(device.resource, nullptr);
        return;
    }
    wl_client *client = wl_resource_get_client(device.resource);
    wl_resource *resource = wl_resource_create(
        client, device.protocol.offer, wl_resource_get_version(device.resource), 0);
    if (!resource) {
        wl_client_post_no_memory(client);
        return;
    }
    auto *offer = new Offer { resource, device.seat, source };
    device.seat.offers.push_back(offer);
    wl_resource_set_implementation(resource, device.protocol.offerRequests, offer, destroyOffer);
    device.protocol.dataOffer(device.resource, resource);
    for (const std::string &type : source->types)
        device.protocol.offerType(resource, type.c_str());
    device.protocol.selection(device.resource, resource);
}

void announceToAll(Seat &seat)
{
    for (Device *device : seat.devices)
        announce(*device);
}

// Offers of a source that is no longer the selection go dry.
void detachOffers(Seat &seat, const Source *source)
{
    for (Offer *offer : seat.offers) {
        if (offer->source == source)
            offer->source = nullptr;
    }
}

void setSeatSelection(Seat &seat, Source *source)
{
    if (Source *previous = std::exchange(seat.selection, source)) {
        detachOffers(seat, previous);
        previous->protocol.cancelled(previous->resource);
    }
    announceToAll(seat);
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
    Source *source = from<Source>(resource);
    if (source->used) {
        wl_resource_post_error(
            resource, source->protocol.invalidOfferError, "offer after the source was used");
        return;
    }
    source->types.emplace_back(mimeType);
}

void destroySource(wl_resource *resource)
{
    Source *source = from<Source>(resource);
    detachOffers(source->seat, source);
    // The selection goes with its source, as the clipboard does when the
    // program that copied quits.
    if (source->seat.selection == source) {
        source->seat.selection = nullptr;
        announceToAll(source->seat);
    }
    delete source;
}

// Takes the source for use; false, with the client told, when it was used before.
bool use(wl_resource *device, wl_resource *resource)
{
    if (!resource)
        return true;
    Source *source = from<Source>(resource);
    if (source->used) {
        wl_resource_post_error(device, source->protocol.usedSourceError, "source used before");
        return false;
    }
    source->used = true;
    return true;
}

void setSelection(wl_client *, wl_resource *resource, wl_resource *sourceResource)
{
    if (use(resource, sourceResource))
        setSeatSelection(
            from<Device>(resource)->seat, sourceResource ? from<Source>(sourceResource) : nullptr);
}

// There is no primary selection here: a source set as one is dropped at once.
void setPrimarySelection(wl_client *, wl_resource *resource, wl_resource *sourceResource)
{
    if (use(resource, sourceResource) && sourceResource)
        from<Source>(sourceResource)->protocol.cancelled(sourceResource);
}

void destroyDevice(wl_resource *resource)
{
    Device *device = from<Device>(resource);
    forget(device->seat.devices, device);
    delete device;
}

void createDataSource(wl_client *client, wl_resource *resource, uint32_t id)
{
    Manager *manager = from<Manager>(resource);
    wl_resource *created = wl_resource_create(
        client, manager->protocol.source, wl_resource_get_version(resource), id);
    if (!created) {
        wl_client_post_no_memory(client);
        return;
    }
    wl_resource_set_implementation(created, manager->protocol.sourceRequests,
        new Source { created, manager->protocol, manager->seat, {} }, destroySource);
}

void getDataDevice(wl_client *client, wl_resource *resource, uint32_t id, wl_resource *)
{
    Manager *manager = from<Manager>(resource);
    wl_resource *created = wl_resource_create(
        client, manager->protocol.device, wl_resource_get_version(resource), id);
    if (!created) {
        wl_client_post_no_memory(client);
        return;
    }
    auto *device = new Device { created, manager->protocol, manager->seat };
    wl_resource_set_implementation(
        created, manager->protocol.deviceRequests, device, destroyDevice);
    manager->seat.devices.push_back(device);
    announce(*device);
}

void bindManager(wl_client *client, void *data, uint32_t version, uint32_t id)
{
    auto *manager = static_cast<Manager *>(data);
    wl_resource *resource = wl_resource_create(client, manager->protocol.manager, int(version), id);
    if (!resource) {
        wl_client_post_no_memory(client);
        return;
    }
    wl_resource_set_implementation(resource, manager->protocol.managerRequests, manager, nullptr);
}

// A seat without keyboard or pointer; clients that pick a seat by name
// (wl-copy) find it as seat0.
void bindSeat(wl_client *client, void *, uint32_t version, uint32_t id)
{
    wl_resource *seat = wl_resource_create(client, &wl_seat_interface, int(version), id);
    if (!seat) {
        wl_client_post_no_memory(client);
        return;
    }
    wl_seat_send_capabilities(seat, 0);
    if (version >= WL_SEAT_NAME_SINCE_VERSION)
        wl_seat_send_name(seat, "seat0");
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
const Protocol extProtocol { &ext_data_control_manager_v1_interface,
    &ext_data_control_device_v1_interface, &ext_data_control_source_v1_interface,
    &ext_data_control_offer_v1_interface, 1, &ExtRequests::manager, &ExtRequests::device,
    &ExtRequests::source, &ExtRequests::offer, ext_data_control_device_v1_send_data_offer,
    ext_data_control_device_v1_send_selection, ext_data_control_offer_v1_send_offer,
    ext_data_control_source_v1_send_send, ext_data_control_source_v1_send_cancelled,
    EXT_DATA_CONTROL_DEVICE_V1_ERROR_USED_SOURCE, EXT_DATA_CONTROL_SOURCE_V1_ERROR_INVALID_OFFER };

using WlrRequests = Requests<struct zwlr_data_control_manager_v1_interface,
    struct zwlr_data_control_device_v1_interface, struct zwlr_data_control_source_v1_interface,
    struct zwlr_data_control_offer_v1_interface>;
const Protocol wlrProtocol { &zwlr_data_control_manager_v1_interface,
    &zwlr_data_control_device_v1_interface, &zwlr_data_control_source_v1_interface,
    &zwlr_data_control_offer_v1_interface, 2, &WlrRequests::manager, &WlrRequests::device,
    &WlrRequests::source, &WlrRequests::offer, zwlr_data_control_device_v1_send_data_offer,
    zwlr_data_control_device_v1_send_selection, zwlr_data_control_offer_v1_send_offer,
    zwlr_data_control_source_v1_send_send, zwlr_data_control_source_v1_send_cancelled,
    ZWLR_DATA_CONTROL_DEVICE_V1_ERROR_USED_SOURCE,
    ZWLR_DATA_CONTROL_SOURCE_V1_ERROR_INVALID_OFFER };

int stop(int, void *display)
{
    wl_display_terminate(static_cast<wl_display *>(display));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<const Protocol *> protocols;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--ext") == 0) {
            protocols.push_back(&extProtocol);
        } else if (std::strcmp(argv[i], "--wlr") == 0) {
            protocols.push_back(&wlrProtocol);
        } else {
            std::fprintf(stderr, "qs-test-compositor: unknown argument %s\n", argv[i]);
            return 2;
        }
    }

    wl_display *display = wl_display_create();
    const char *socket = display ? wl_display_add_socket_auto(display) : nullptr;
    if (!socket) {
        std::fprintf(stderr, "qs-test-compositor: cannot create a Wayland socket\n");
        return 1;
    }
    Seat seat;
    std::vector<Manager> managers;
    managers.reserve(protocols.size());
    wl_global_create(display, &wl_seat_interface, 2, nullptr, bindSeat);
    for (const Protocol *protocol : protocols) {
        managers.push_back({ *protocol, seat });
        wl_global_create(
            display, protocol->manager, protocol->version, &managers.back(), bindManager);
    }
    wl_event_loop *loop = wl_display_get_event_loop(display);
    wl_event_source *terminated = wl_event_loop_add_signal(loop, SIGTERM, stop, display);
    wl_event_source *interrupted = wl_event_loop_add_signal(loop, SIGINT, stop, display);

    std::printf("%s\n", socket);
    std::fflush(stdout);
    wl_display_run(display);

    wl_event_source_remove(terminated);
    wl_event_source_remove(interrupted);
    wl_display_destroy_clients(display);
    wl_display_destroy(display);
    return 0;
}
