// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandClipboardConnection.h"

#include "pasteboard/ClipboardReading.h"

#include "platform/wayland/ClipboardPipe.h"
#include "platform/wayland/WaylandClipboardWriter.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Listeners are tables of function pointers that libwayland reads but never writes.
template<typename Listener> void addListener(wl_proxy *proxy, const Listener &listener, void *data)
{
    wl_proxy_add_listener(proxy,
        const_cast<void (**)(void)>(reinterpret_cast<void (*const *)(void)>(&listener)), data);
}

} // namespace

// Both protocols share these listener layouts (see DataControl); the proxies
// are passed through as plain wl_proxy pointers.
struct WaylandClipboardConnection::Listeners
{
    static WaylandClipboardConnection *self(void *data)
    {
        return static_cast<WaylandClipboardConnection *>(data);
    }
    static wl_proxy *proxy(void *object) { return static_cast<wl_proxy *>(object); }

    static void global(
        void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t version)
    {
        WaylandClipboardConnection *c = self(data);
        if (std::strcmp(interface, wl_seat_interface.name) == 0 && !c->m_seat) {
            c->m_seat
                = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
            return;
        }
        const DataControl candidate = DataControl::forGlobal(interface);
        if (candidate.rank() > c->m_control.rank()) {
            c->m_control = candidate;
            c->m_managerName = name;
            c->m_managerVersion = std::min(version, candidate.supportedVersion());
        }
    }
    static void globalRemove(void *, wl_registry *, uint32_t) { }

    static void dataOffer(
        void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer)
    {
        WaylandClipboardConnection *c = self(data);
        c->m_offers.insert(proxy(offer), {});
        addListener(proxy(offer), offerListener, c);
    }
    static void selection(
        void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer)
    {
        self(data)->noteSelection(proxy(offer));
    }
    static void finished(void *data, zwlr_data_control_device_v1 *) { self(data)->m_broken = true; }
    static void primarySelection(
        void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer)
    {
        // Only the clipboard is recorded, never the primary selection.
        if (offer)
            self(data)->destroyOffer(proxy(offer));
    }
    static void offerType(void *data, zwlr_data_control_offer_v1 *offer, const char *mimeType)
    {
        WaylandClipboardConnection *c = self(data);
        const auto found = c->m_offers.find(proxy(offer));
        if (found != c->m_offers.end())
            found->append(QString::fromUtf8(mimeType));
    }
    static void send(void *data, zwlr_data_control_source_v1 *, const char *mimeType, int32_t fd)
    {
        WaylandClipboardConnection *c = self(data);
        const QString type = QString::fromUtf8(mimeType);
        for (const auto &[served, bytes] : std::as_const(c->m_served)) {
            if (served == type) {
                c->m_writer.serve(fd, bytes);
                return;
            }
        }
        ::close(fd);
    }
    static void cancelled(void *data, zwlr_data_control_source_v1 *source)
    {
        WaylandClipboardConnection *c = self(data);
        if (proxy(source) == c->m_source) {
            c->m_ownSourceCancelled = true;
            c->destroySource();
        } else {
            c->m_control.destroySource(proxy(source));
        }
    }
    static void ownWriteSynced(void *data, wl_callback *callback, uint32_t)
    {
        WaylandClipboardConnection *c = self(data);
        c->m_ownWriteSyncs.removeOne(callback);
        wl_callback_destroy(callback);
        if (!c->m_ownWriteSyncs.isEmpty())
            return;
        if (c->m_ownWriteSynced)
            c->m_ownWriteSynced();
        // The compositor announced our selection before answering the sync;
        // unless another program replaced it meanwhile, the last one is ours.
        if (!c->m_ownSourceCancelled && c->m_pending) {
            if (c->m_pending->offer)
                c->destroyOffer(c->m_pending->offer);
            c->m_pending.reset();
        }
    }

    static constexpr wl_registry_listener registryListener { global, globalRemove };
    static constexpr zwlr_data_control_device_v1_listener deviceListener { dataOffer, selection,
        finished, primarySelection };
    static constexpr zwlr_data_control_offer_v1_listener offerListener { offerType };
    static constexpr zwlr_data_control_source_v1_listener sourceListener { send, cancelled };
    static constexpr wl_callback_listener syncListener { ownWriteSynced };
};

WaylandClipboardConnection::WaylandClipboardConnection(
    const std::atomic<quint64> &epoch, WaylandClipboardWriter &writer)
    : m_epoch(epoch)
    , m_writer(writer)
{
}

WaylandClipboardConnection::~WaylandClipboardConnection()
{
    if (m_display) {
        if (m_pending && m_pending->offer)
            destroyOffer(m_pending->offer);
        for (wl_proxy *offer : m_offers.keys())
            destroyOffer(offer);
        destroySource();
        for (wl_callback *sync : std::as_const(m_ownWriteSyncs))
            wl_callback_destroy(sync);
        if (m_device)
            m_control.destroyDevice(m_device);
        if (m_manager)
            m_control.destroyManager(m_manager);
        if (m_seat)
            wl_proxy_destroy(reinterpret_cast<wl_proxy *>(m_seat));
        if (m_registry)
            wl_registry_destroy(m_registry);
        wl_display_flush(m_display);
        wl_display_disconnect(m_display);
    }
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

bool WaylandClipboardConnection::open(QString *errorMessage)
{
    const auto failWith = [errorMessage](const QString &message) {
        if (errorMessage)
            *errorMessage = message;
        return false;
    };
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0)
        return failWith(QStringLiteral("cannot create the reader's wake-up descriptor"));
    m_display = wl_display_connect(nullptr);
    if (!m_display)
        return failWith(QStringLiteral("cannot connect to the Wayland compositor"));
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &Listeners::registryListener, this);
    if (wl_display_roundtrip(m_display) < 0)
        return failWith(QStringLiteral("the Wayland compositor closed the connection"));
    if (!m_control.isValid())
        return failWith(QStringLiteral("the Wayland compositor offers no data-control protocol"));
    if (!m_seat)
        return failWith(QStringLiteral("the Wayland compositor offers no seat"));

    m_manager = static_cast<wl_proxy *>(wl_registry_bind(
        m_registry, m_managerName, m_control.managerInterface(), m_managerVersion));
    m_protocolName = QStringLiteral("%1 version %2").arg(m_control.name()).arg(m_managerVersion);
    m_device = m_control.getDataDevice(m_manager, m_seat);
    addListener(m_device, Listeners::deviceListener, this);
    // The device announces the current selection at once.
    m_opening = true;
    const int sent = wl_display_roundtrip(m_display);
    m_opening = false;
    if (sent < 0 || m_broken)
        return failWith(QStringLiteral("the Wayland compositor refused the clipboard device"));
    return true;
}

void WaylandClipboardConnection::wake()
{
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

void WaylandClipboardConnection::requestStop()
{
    m_stopRequested = true;
    wake();
}

void WaylandClipboardConnection::waitForEvents()
{
    if (!hasSelection() && !finished())
        pollOnce(-1, std::nullopt);
}

std::optional<WaylandSelection> WaylandClipboardConnection::takeSelection()
{
    if (!hasSelection())
        return std::nullopt;
    return std::exchange(m_pending, std::nullopt);
}

void WaylandClipboardConnection::release(const WaylandSelection &selection)
{
    if (selection.offer)
        destroyOffer(selection.offer);
}

ClipboardRead WaylandClipboardConnection::read(const WaylandSelection &selection,
    const QString &mimeType, qint64 budget, const std::function<bool()> &abandon)
{
    int fds[2];
    if (!ClipboardPipe::open(fds))
        return { ClipboardReadStatus::refused, {} };
    m_control.receive(selection.offer, mimeType, fds[1]);
    ::close(fds[1]);
    return ClipboardPipe::read(fds[0], budget,
        { [this](int fd, Clock::time_point deadline) { return pollOnce(fd, deadline); },
            [this, &abandon] { return finished() || abandon(); },
            [this] {
                return hasSelection()
                    ? std::chrono::milliseconds(ClipboardPipe::supersededStall)
                    : std::chrono::milliseconds(ClipboardReading::requestDeadline);
            } });
}

void WaylandClipboardConnection::setSelection(
    const Representations &representations, std::function<void()> synced)
{
    m_ownWriteSynced = std::move(synced);
    // Whatever was waiting to be read is older than what we write now.
    if (m_pending && m_pending->offer)
        destroyOffer(m_pending->offer);
    m_pending.reset();

    wl_proxy *previous = std::exchange(m_source, nullptr);
    m_served = representations;
    if (!representations.isEmpty()) {
        m_source = m_control.createDataSource(m_manager);
        addListener(m_source, Listeners::sourceListener, this);
        for (const auto &[type, bytes] : representations)
            m_control.offer(m_source, type);
    }
    m_control.setSelection(m_device, m_source);
    if (previous)
        m_control.destroySource(previous);
    m_ownSourceCancelled = false;
    wl_callback *sync = wl_display_sync(m_display);
    m_ownWriteSyncs.append(sync);
    wl_callback_add_listener(sync, &Listeners::syncListener, this);
    wl_display_flush(m_display);
}

short WaylandClipboardConnection::pollOnce(int extraFd, std::optional<Clock::time_point> deadline)
{
    int dispatched = 0;
    while (wl_display_prepare_read(m_display) != 0) {
        const int n = wl_display_dispatch_pending(m_display);
        if (n < 0) {
            m_broken = true;
            return 0;
        }
        dispatched += n;
    }
    // What was just dispatched may be what the caller waits for.
    if (dispatched > 0) {
        wl_display_cancel_read(m_display);
        return 0;
    }
    if (wl_display_flush(m_display) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(m_display);
        m_broken = true;
        return 0;
    }
    int timeout = -1;
    if (deadline) {
        timeout = int(std::max<qint64>(
            0, std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count()));
    }
    pollfd fds[3] = { { wl_display_get_fd(m_display), POLLIN, 0 }, { m_wakeFd, POLLIN, 0 },
        { extraFd, POLLIN, 0 } };
    const int ready = ::poll(fds, extraFd >= 0 ? 3 : 2, timeout);
    if (ready > 0 && (fds[0].revents & POLLIN)) {
        if (wl_display_read_events(m_display) < 0)
            m_broken = true;
    } else {
        wl_display_cancel_read(m_display);
    }
    if (ready > 0 && (fds[0].revents & (POLLERR | POLLHUP)))
        m_broken = true;
    if (ready > 0 && (fds[1].revents & POLLIN)) {
        quint64 drained = 0;
        [[maybe_unused]] const ssize_t got = ::read(m_wakeFd, &drained, sizeof drained);
    }
    if (!m_broken && wl_display_dispatch_pending(m_display) < 0)
        m_broken = true;
    return ready > 0 && extraFd >= 0 ? fds[2].revents : 0;
}

void WaylandClipboardConnection::noteSelection(wl_proxy *offer)
{
    if (m_pending && m_pending->offer && m_pending->offer != offer)
        destroyOffer(m_pending->offer);
    m_pending = WaylandSelection { offer, offer ? m_offers.value(offer) : QStringList(),
        m_epoch.load(), m_opening, ++m_selectionsAnnounced };
}

void WaylandClipboardConnection::destroyOffer(wl_proxy *offer)
{
    if (m_offers.remove(offer) > 0)
        m_control.destroyOffer(offer);
}

void WaylandClipboardConnection::destroySource()
{
    if (m_source)
        m_control.destroySource(std::exchange(m_source, nullptr));
    m_served.clear();
}
