// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandWorkspace.h"

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <wayland-client.h>

#include <poll.h>

#include <cstring>
#include <utility>

struct WaylandWorkspace::Listeners
{
    static WaylandWorkspace *self(void *data) { return static_cast<WaylandWorkspace *>(data); }

    static void global(
        void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t version)
    {
        WaylandWorkspace *w = self(data);
        if (std::strcmp(interface, wl_seat_interface.name) == 0 && !w->m_seat) {
            w->m_seat
                = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        } else if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0
            && !w->m_manager) {
            w->m_manager
                = static_cast<zwlr_foreign_toplevel_manager_v1 *>(wl_registry_bind(registry, name,
                    &zwlr_foreign_toplevel_manager_v1_interface, std::min(version, 3u)));
            zwlr_foreign_toplevel_manager_v1_add_listener(w->m_manager, &managerListener, w);
        }
    }
    static void globalRemove(void *, wl_registry *, uint32_t) { }

    static void toplevel(
        void *data, zwlr_foreign_toplevel_manager_v1 *, zwlr_foreign_toplevel_handle_v1 *handle)
    {
        WaylandWorkspace *w = self(data);
        w->m_toplevels.insert(handle, Toplevel { w->m_nextId++, {}, false, false });
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &handleListener, w);
    }
    static void finished(void *data, zwlr_foreign_toplevel_manager_v1 *manager)
    {
        zwlr_foreign_toplevel_manager_v1_destroy(manager);
        self(data)->m_manager = nullptr;
    }

    static void title(void *, zwlr_foreign_toplevel_handle_v1 *, const char *) { }
    static void appId(void *data, zwlr_foreign_toplevel_handle_v1 *handle, const char *appId)
    {
        const auto found = self(data)->m_toplevels.find(handle);
        if (found != self(data)->m_toplevels.end())
            found->appId = QString::fromUtf8(appId);
    }
    static void outputEnter(void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) { }
    static void outputLeave(void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) { }
    static void state(void *data, zwlr_foreign_toplevel_handle_v1 *handle, wl_array *states)
    {
        const auto found = self(data)->m_toplevels.find(handle);
        if (found == self(data)->m_toplevels.end())
            return;
        found->pendingActivated = false;
        const auto *values = static_cast<const uint32_t *>(states->data);
        for (size_t i = 0; i < states->size / sizeof(uint32_t); ++i) {
            if (values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)
                found->pendingActivated = true;
        }
    }
    static void done(void *data, zwlr_foreign_toplevel_handle_v1 *handle)
    {
        const auto found = self(data)->m_toplevels.find(handle);
        if (found != self(data)->m_toplevels.end())
            found->activated = found->pendingActivated;
    }
    static void closed(void *data, zwlr_foreign_toplevel_handle_v1 *handle)
    {
        self(data)->m_toplevels.remove(handle);
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
    }
    static void parent(void *, zwlr_foreign_toplevel_handle_v1 *, zwlr_foreign_toplevel_handle_v1 *)
    {
    }

    static constexpr wl_registry_listener registryListener { global, globalRemove };
    static constexpr zwlr_foreign_toplevel_manager_v1_listener managerListener { toplevel,
        finished };
    static constexpr zwlr_foreign_toplevel_handle_v1_listener handleListener { title, appId,
        outputEnter, outputLeave, state, done, closed, parent };
};

WaylandWorkspace::WaylandWorkspace(QObject *parent)
    : Workspace(parent)
{
    // Our windows live on XWayland, where the compositor names them by the
    // class part of WM_CLASS, which Qt takes from the application name.
    m_ownAppId = QCoreApplication::applicationName();
    m_display = wl_display_connect(nullptr);
    if (!m_display) {
        m_errorString = QStringLiteral("cannot connect to the Wayland compositor");
        return;
    }
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &Listeners::registryListener, this);
    // The globals, then the toplevels the manager announces at once.
    wl_display_roundtrip(m_display);
    wl_display_roundtrip(m_display);
    if (!m_manager || !m_seat) {
        m_errorString = QStringLiteral("the Wayland compositor does not list its windows");
        return;
    }
    m_notifier = new QSocketNotifier(wl_display_get_fd(m_display), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &WaylandWorkspace::dispatch);
}

WaylandWorkspace::~WaylandWorkspace()
{
    if (!m_display)
        return;
    forgetWindows();
    if (m_seat)
        wl_proxy_destroy(reinterpret_cast<wl_proxy *>(m_seat));
    wl_registry_destroy(m_registry);
    wl_display_disconnect(m_display);
}

std::optional<RunningWindow> WaylandWorkspace::frontmostWindow()
{
    if (!m_manager)
        return std::nullopt;
    dispatch();
    for (const Toplevel &toplevel : std::as_const(m_toplevels)) {
        if (toplevel.activated && toplevel.appId != m_ownAppId)
            return RunningWindow { toplevel.id, std::nullopt };
    }
    return std::nullopt;
}

std::optional<WaylandWorkspace::Activated> WaylandWorkspace::activatedWindow()
{
    if (!m_manager)
        return std::nullopt;
    dispatch();
    for (const Toplevel &toplevel : std::as_const(m_toplevels)) {
        if (toplevel.activated)
            return Activated { RunningWindow { toplevel.id, std::nullopt }, toplevel.appId,
                toplevel.appId == m_ownAppId };
    }
    return std::nullopt;
}

void WaylandWorkspace::activate(const RunningWindow &window)
{
    if (!m_manager)
        return;
    for (auto it = m_toplevels.cbegin(); it != m_toplevels.cend(); ++it) {
        if (it->id == window.windowId) {
            zwlr_foreign_toplevel_handle_v1_activate(it.key(), m_seat);
            wl_display_flush(m_display);
            return;
        }
    }
}

void WaylandWorkspace::dispatch()
{
    while (wl_display_prepare_read(m_display) != 0)
        wl_display_dispatch_pending(m_display);
    wl_display_flush(m_display);
    pollfd fd { wl_display_get_fd(m_display), POLLIN, 0 };
    if (::poll(&fd, 1, 0) > 0 && (fd.revents & POLLIN))
        wl_display_read_events(m_display);
    else
        wl_display_cancel_read(m_display);
    if (wl_display_dispatch_pending(m_display) < 0) {
        // The compositor is gone (as at the end of a session, possibly while
        // we quit): no window to remember from now on, and a closed socket
        // would wake us for ever.
        m_notifier->setEnabled(false);
        forgetWindows();
    }
}

void WaylandWorkspace::forgetWindows()
{
    // The proxies are ours to free even when the connection is broken.
    for (auto it = m_toplevels.cbegin(); it != m_toplevels.cend(); ++it)
        zwlr_foreign_toplevel_handle_v1_destroy(it.key());
    m_toplevels.clear();
    if (m_manager)
        zwlr_foreign_toplevel_manager_v1_destroy(std::exchange(m_manager, nullptr));
}
