// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Workspace.h"

#include <QDBusConnection>

class QDBusServiceWatcher;

// The Wayland desktop under GNOME Shell, which lists its windows to no
// ordinary client: the GNOME Shell companion tells which window has the
// keyboard as that changes and gives it back. Our own windows are left out.
class GnomeShellWorkspace : public Workspace
{
    Q_OBJECT
public:
    explicit GnomeShellWorkspace(
        const QDBusConnection &bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);
    ~GnomeShellWorkspace() override;

    // The window the companion last told of, never asked for: the panel
    // opens without waiting on the shell.
    std::optional<RunningWindow> frontmostWindow() override;
    // Asked without waiting: a choice is not held up by the shell.
    void activate(const RunningWindow &window) override;
    bool keyboardNeedsManagedWindows() const override { return true; }

private slots:
    void onFocusedWindowChanged(qulonglong id, uint pid);
    // The window that had the keyboard as a shortcut of ours was pressed.
    void onShortcutActivated(const QString &name, qulonglong id, uint pid);

private:
    // Asks which window has the keyboard, when the companion appears.
    void askForFocusedWindow();

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher;
    quint64 m_focusedId = 0;
    uint m_focusedPid = 0;
    // Counts what the companion told, so that an older answer loses to it.
    quint64 m_focusChanges = 0;
};
