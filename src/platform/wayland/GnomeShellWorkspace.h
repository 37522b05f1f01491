// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Workspace.h"

#include <QDBusConnection>

// The Wayland desktop under GNOME Shell, which lists its windows to no
// ordinary client: the GNOME Shell companion tells which window has the
// keyboard and gives it back. Our own windows are left out.
class GnomeShellWorkspace : public Workspace
{
    Q_OBJECT
public:
    explicit GnomeShellWorkspace(
        const QDBusConnection &bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);

    std::optional<RunningWindow> frontmostWindow() override;
    // Asked without waiting: a choice is not held up by the shell.
    void activate(const RunningWindow &window) override;
    bool keyboardNeedsManagedWindows() const override { return true; }

    // How long the panel waits to learn which window it is opened over.
    static constexpr int focusedWindowTimeout = 1000;

private:
    QDBusConnection m_bus;
};
