// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class QWidget;

// Gives one of our windows the keyboard back after another of ours closed
// over it. The window manager moves the keyboard off a closed window a moment
// after it closes and undoes a request made before then: this waits until
// our program has let go of the keyboard, then asks, again on each tick until
// the window has it, a bounded number of times.
class KeyboardReclaimer : public QObject
{
    Q_OBJECT
public:
    // `activate` asks for the keyboard for `window`.
    KeyboardReclaimer(
        const QWidget &window, std::function<void()> activate, QObject *parent = nullptr);

    void start();
    void stop() { m_timer.stop(); }

private:
    void tick();

    const QWidget &m_window;
    std::function<void()> m_activate;
    QTimer m_timer;
    int m_ticksLeft = 0;
    // Whether our program has lost the keyboard since the start.
    bool m_keyboardLeft = false;
};
