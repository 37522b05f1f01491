// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/PasteChord.h"
#include "app/RunningWindow.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

// Presses the paste keys for another program, as if the user had: what a
// desktop offers for that, and the window the keys would reach.
class PasteKeys : public QObject
{
    Q_OBJECT
public:
    // The window that has the keyboard, with the names it goes by (X11 class
    // and instance, or a Wayland app id).
    struct Focus
    {
        RunningWindow window;
        QStringList names;
        // One of this program's own windows.
        bool ours = false;
    };

    using QObject::QObject;

    // Why keys cannot be pressed on this desktop, in the user's words; empty
    // when they can.
    virtual QString unavailableReason() const = 0;
    // The window whose keys the next press reaches, absent while no window
    // has the keyboard. Ids are those of the workspace's RunningWindow.
    virtual std::optional<Focus> keyboardFocus() = 0;
    // Presses and releases the chord; the keys go to the window with the
    // keyboard. False, with the reason, when they could not be pressed.
    virtual bool press(PasteChord chord, QString *error) = 0;
};
