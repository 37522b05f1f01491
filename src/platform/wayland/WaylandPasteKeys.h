// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/PasteKeys.h"

struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;
class WaylandWorkspace;

// Presses the paste keys through a virtual keyboard of the wlroots
// compositors. The keyboard carries a keymap of our own with just the keys
// of the chord, which the focused program reads the keys with: the user's
// layout and the modifiers held on the real keyboard do not come into it.
// The window with the keyboard is the activated one of the workspace's list.
class WaylandPasteKeys : public PasteKeys
{
    Q_OBJECT
public:
    explicit WaylandPasteKeys(WaylandWorkspace &workspace, QObject *parent = nullptr);
    ~WaylandPasteKeys() override;

    QString unavailableReason() const override { return m_unavailable; }
    std::optional<Focus> keyboardFocus() override;
    bool press(PasteChord chord, QString *error) override;

private:
    struct Listeners;
    friend struct Listeners;

    bool uploadKeymap();

    WaylandWorkspace &m_workspace;
    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    wl_seat *m_seat = nullptr;
    zwp_virtual_keyboard_manager_v1 *m_manager = nullptr;
    zwp_virtual_keyboard_v1 *m_keyboard = nullptr;
    QString m_unavailable;
};
