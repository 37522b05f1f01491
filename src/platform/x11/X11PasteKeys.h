// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/PasteKeys.h"

#include <xcb/xcb.h>

class X11EventConnection;
class X11KeyboardLayout;
class X11Workspace;

// Presses the paste keys through the XTEST extension, with the key codes of
// the layout in use. The keys reach the window with the input focus, which
// must be the window manager's active window (or inside it).
class X11PasteKeys : public PasteKeys
{
    Q_OBJECT
public:
    X11PasteKeys(
        X11Workspace &workspace, const X11KeyboardLayout &layout, QObject *parent = nullptr);
    ~X11PasteKeys() override;

    QString unavailableReason() const override;
    std::optional<Focus> keyboardFocus() override;
    bool press(PasteChord chord, QString *error) override;

private:
    bool focusIsWithin(xcb_window_t window);
    QStringList classNames(xcb_window_t window);
    // The modifier keys that are down now.
    QList<xcb_keycode_t> heldModifiers();

    X11Workspace &m_workspace;
    const X11KeyboardLayout &m_layout;
    X11EventConnection *m_connection = nullptr;
    QString m_unavailable;
};
