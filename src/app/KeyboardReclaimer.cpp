// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/KeyboardReclaimer.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace {

constexpr int interval = 50;
constexpr int ticks = 40;

} // namespace

KeyboardReclaimer::KeyboardReclaimer(
    const QWidget &window, std::function<void()> activate, QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_activate(std::move(activate))
{
    m_timer.setInterval(interval);
    connect(&m_timer, &QTimer::timeout, this, &KeyboardReclaimer::tick);
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this] {
        if (m_timer.isActive())
            tick();
    });
}

void KeyboardReclaimer::start()
{
    m_ticksLeft = ticks;
    m_keyboardLeft = false;
    m_timer.start();
    tick();
}

void KeyboardReclaimer::tick()
{
    const QWindow *focus = QGuiApplication::focusWindow();
    // Asked while the closed window still holds the keyboard, the window
    // manager would undo it when it moves the keyboard on; when it never
    // does, the window asks all the same halfway through.
    m_keyboardLeft = m_keyboardLeft || !focus;
    const bool settled = m_keyboardLeft || m_ticksLeft <= ticks / 2;
    const bool hasKeyboard = focus && focus == m_window.windowHandle();
    if (!m_window.isVisible() || m_ticksLeft <= 0 || (hasKeyboard && settled)) {
        m_timer.stop();
        return;
    }
    --m_ticksLeft;
    if (settled && !hasKeyboard)
        m_activate();
}
