// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Workspace.h"

#include <QHash>
#include <QString>

class QSocketNotifier;
struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;

// The Wayland desktop through the compositor's list of toplevel windows
// (wlroots foreign-toplevel management): the window that is activated now,
// and activating it again from our seat. This sees Wayland and X11 windows
// alike; our own windows are left out. Without that list no window is remembered and focus is left
// to the compositor. Runs on the main thread: the compositor's events are small and read as they
// come.
class WaylandWorkspace : public Workspace
{
    Q_OBJECT
public:
    explicit WaylandWorkspace(QObject *parent = nullptr);
    ~WaylandWorkspace() override;

    // False when there is no compositor or it lists no toplevels.
    bool isOpen() const { return m_manager != nullptr; }
    QString errorString() const { return m_errorString; }

    std::optional<RunningWindow> frontmostWindow() override;

    // The window activated now, ours too, with its app id.
    struct Activated
    {
        RunningWindow window;
        QString appId;
        bool ours = false;
    };
    std::optional<Activated> activatedWindow();
    void activate(const RunningWindow &window) override;
    bool keyboardNeedsManagedWindows() const override { return true; }

private:
    struct Listeners;
    friend struct Listeners;
    struct Toplevel
    {
        quint64 id = 0;
        QString appId;
        bool activated = false;
        // The state announced since the last done event.
        bool pendingActivated = false;
    };

    // Reads and handles whatever the compositor has sent, without waiting.
    void dispatch();
    // Lets go of the window list and of the manager that sent it.
    void forgetWindows();

    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    wl_seat *m_seat = nullptr;
    zwlr_foreign_toplevel_manager_v1 *m_manager = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    QHash<zwlr_foreign_toplevel_handle_v1 *, Toplevel> m_toplevels;
    quint64 m_nextId = 1;
    QString m_ownAppId;
    QString m_errorString;
};
