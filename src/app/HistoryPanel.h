// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/ScreenRect.h"

#include <QPointer>
#include <QWidget>

class HistoryViewController;

// The floating window that holds the history list over whatever program the
// user works in. It is shown without taking the keyboard, never appears in a
// task bar and, unless managed, is placed by the program, not by the window
// manager; it takes the keyboard only when asked (activate).
class HistoryPanel : public QWidget
{
    Q_OBJECT
public:
    // A managed panel is left to the window manager, which may place it
    // itself, where bypassing it would keep the keyboard from the panel.
    enum class Window { bypassesManager, managed };
    explicit HistoryPanel(Window window = Window::bypassesManager, QWidget *parent = nullptr);

    void setContentViewController(HistoryViewController *controller);

    // In desktop points; `primary` is the primary screen in window-system
    // coordinates (Screens::primaryGeometry).
    void setFrame(const ScreenRect &frame, const QRect &primary);
    ScreenRect frame(const QRect &primary) const;

    // Shows and raises the panel whichever program is active.
    void showAndRaise();
    void hidePanel();
    // Gives the panel the keyboard.
    void activate();
    // Keys stop reaching the search field; the window itself keeps the
    // keyboard until another window takes it.
    void clearKeyboardFocus();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPointer<HistoryViewController> m_content;
};
