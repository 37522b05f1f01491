// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Workspace.h"

#include <QString>

#include <xcb/xcb.h>

#include <optional>

class X11EventConnection;

// The X11 desktop through EWMH: the window manager's _NET_ACTIVE_WINDOW
// names the window with the keyboard and takes activation requests; without
// a window manager the input focus does both. Desktop switches show up as
// changes of the root window's _NET_CURRENT_DESKTOP.
class X11Workspace : public Workspace
{
    Q_OBJECT
public:
    explicit X11Workspace(QObject *parent = nullptr);
    ~X11Workspace() override;

    // False when the X server could not be reached; the workspace then finds
    // no window and activates none.
    bool isOpen() const;
    QString errorString() const { return m_errorString; }

    std::optional<RunningWindow> frontmostWindow() override;
    void activate(const RunningWindow &window) override;
    void prepareToTakeKeyboard() override;

private:
    // Absent when the root window has no such property: no EWMH window manager.
    std::optional<xcb_window_t> activeWindowProperty();
    std::optional<quint32> cardinalProperty(xcb_window_t window, xcb_atom_t property);
    std::optional<qint64> processIdOf(xcb_window_t window);
    void onEvent(const xcb_generic_event_t *event);

    X11EventConnection *m_connection = nullptr;
    QString m_errorString;
    std::optional<quint32> m_currentDesktop;
};
