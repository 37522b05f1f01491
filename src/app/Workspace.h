// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/RunningWindow.h"

#include <QObject>

#include <optional>

// The desktop around the program: which window has the keyboard, giving it
// back, and the virtual desktop in view.
class Workspace : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The window that has the keyboard, absent when none has.
    virtual std::optional<RunningWindow> frontmostWindow() = 0;
    // Gives the keyboard to the window and raises it; the window may be gone.
    virtual void activate(const RunningWindow &window) = 0;
    // Called before one of our own windows asks for the keyboard, for a
    // window system that orders focus requests by their time.
    virtual void prepareToTakeKeyboard() { }
    // Whether our floating windows must be left to the window manager to get
    // the keyboard at all: a Wayland compositor gives none to X11 windows
    // that bypass it.
    virtual bool keyboardNeedsManagedWindows() const { return false; }

signals:
    // The user switched to another virtual desktop.
    void activeSpaceDidChange();
};
