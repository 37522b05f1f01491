// SPDX-License-Identifier: GPL-3.0-or-later
// Takes the Wayland clipboard through data-control (the standard protocol
// where offered, else the wlroots one), offering exactly the types given on
// the command line, serves them and exits when another client takes the
// clipboard. Lets tests offer several types at once, which wl-copy cannot.
//
//   qs-wayland-owner --type NAME@FILE ...  offer NAME with the bytes of FILE
//                    [--stop]              SIGSTOP itself once it owns the clipboard
//                    [--trickle]           send 64 KiB every 20 ms; print "sending" first
// Prints "ready" once it owns the clipboard.

#include "platform/wayland/DataControl.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Offer
{
    std::string type;
    std::string data;
};

struct Owner
{
    std::vector<Offer> offers;
    bool trickle = false;
    bool stop = false;
    bool announced = false;
    bool cancelled = false;
    wl_seat *seat = nullptr;
    DataControl control;
    uint32_t managerName = 0;
    uint32_t managerVersion = 0;
};

// Both protocols share these listener layouts; see DataControl.
template<typename Listener> void addListener(wl_proxy *proxy, const Listener &listener, void *data)
{
    wl_proxy_add_listener(proxy,
        const_cast<void (**)(void)>(reinterpret_cast<void (*const *)(void)>(&listener)), data);
}

void global(
    void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t version)
{
    auto *owner = static_cast<Owner *>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !owner->seat)
        owner->seat
            = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    const DataControl candidate = DataControl::forGlobal(interface);
    if (candidate.rank() > owner->control.rank()) {
        owner->control = candidate;
        owner->managerName = name;
        owner->managerVersion = std::min(version, candidate.supportedVersion());
    }
}
const wl_registry_listener registryListener { global, [](void *, wl_registry *, uint32_t) {} };

// "ready" comes first, also when a request arrives while we wait to own the
// clipboard; a stopping owner stops before it has served anything.
void announce(Owner &owner)
{
    if (owner.announced)
        return;
    owner.announced = true;
    std::puts("ready");
    std::fflush(stdout);
    if (owner.stop)
        ::raise(SIGSTOP);
}

void writeAll(int fd, const std::string &data, bool trickle)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const std::size_t piece
            = trickle ? std::min<std::size_t>(data.size() - done, 64 * 1024) : data.size() - done;
        const ssize_t n = ::write(fd, data.data() + done, piece);
        if (n <= 0)
            return;
        done += std::size_t(n);
        if (trickle)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void send(void *data, zwlr_data_control_source_v1 *, const char *type, int32_t fd)
{
    auto *owner = static_cast<Owner *>(data);
    for (const Offer &offer : owner->offers) {
        if (offer.type == type) {
            announce(*owner);
            if (owner->trickle) {
                std::puts("sending");
                std::fflush(stdout);
            }
            writeAll(fd, offer.data, owner->trickle);
            break;
        }
    }
    ::close(fd);
}
void cancelled(void *data, zwlr_data_control_source_v1 *)
{
    static_cast<Owner *>(data)->cancelled = true;
}
const zwlr_data_control_source_v1_listener sourceListener { send, cancelled };

} // namespace

int main(int argc, char **argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    Owner owner;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--stop") {
            owner.stop = true;
        } else if (arg == "--trickle") {
            owner.trickle = true;
        } else if (arg == "--type" && i + 1 < argc) {
            const std::string argument = argv[++i];
            const std::size_t at = argument.rfind('@');
            std::ifstream file(argument.substr(at + 1), std::ios::binary);
            if (at == std::string::npos || !file) {
                std::fprintf(stderr, "qs-wayland-owner: bad --type %s\n", argument.c_str());
                return 2;
            }
            owner.offers.push_back(
                { argument.substr(0, at), std::string(std::istreambuf_iterator<char>(file), {}) });
        } else {
            std::fprintf(stderr, "qs-wayland-owner: unknown argument %s\n", arg.c_str());
            return 2;
        }
    }

    wl_display *display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "qs-wayland-owner: no Wayland compositor\n");
        return 1;
    }
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &owner);
    wl_display_roundtrip(display);
    if (!owner.seat || !owner.control.isValid()) {
        std::fprintf(stderr, "qs-wayland-owner: the compositor has no data-control\n");
        return 1;
    }
    auto *manager = static_cast<wl_proxy *>(wl_registry_bind(
        registry, owner.managerName, owner.control.managerInterface(), owner.managerVersion));
    wl_proxy *device = owner.control.getDataDevice(manager, owner.seat);
    wl_proxy *source = owner.control.createDataSource(manager);
    addListener(source, sourceListener, &owner);
    for (const Offer &offer : owner.offers)
        owner.control.offer(source, QString::fromStdString(offer.type));
    owner.control.setSelection(device, source);
    wl_display_roundtrip(display);
    announce(owner);
    while (!owner.cancelled && wl_display_dispatch(display) != -1) { }
    // The offers the device announced meanwhile were never wanted; the
    // compositor frees all we held when we go, so there is nothing to tidy.
    std::_Exit(0);
}
