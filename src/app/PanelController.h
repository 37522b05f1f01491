// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/KeyboardReclaimer.h"
#include "app/MouseMonitor.h"
#include "app/RunningWindow.h"
#include "ui/HistoryViewController.h"
#include "ui/ListMode.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>

#include <functional>
#include <memory>
#include <optional>

class ClipStore;
class HistoryPanel;
class QWidget;
class Screens;
class Settings;
class Workspace;

// Decides when the history panel shows, takes the keyboard, hides and gives
// the keyboard back to the window that had it, and hides it on a click
// elsewhere. Our other windows (the editor, the preferences) are shown
// through it, so that it knows to leave the panel alone while they are open
// and to take the keyboard back when they close over it.
class PanelController : public QObject
{
    Q_OBJECT
public:
    // `trayIconArea` is where the tray icon is in window coordinates, invalid
    // when the tray does not say: a press there is not a click elsewhere.
    PanelController(Settings &settings, ClipStore &store, Workspace &workspace, Screens &screens,
        MouseMonitor &mouseMonitor, std::function<QRect()> trayIconArea, QObject *parent = nullptr);
    ~PanelController() override;

    HistoryPanel &panel() const { return *m_panel; }
    // Absent until start().
    HistoryViewController *history() const { return m_history; }

    // Fills the panel with the history, places it, follows settings, screens
    // and desktops from now on, and shows it when it is always visible.
    void start(HistoryViewControllerDelegate &delegate);

    // Shows the panel on the screen under the pointer, with the keyboard
    // when `activate`.
    void show(bool activate, ListMode mode);
    // Gives the panel the keyboard where it is.
    void focus(ListMode mode);
    // What the shortcut for `mode` does; true when the panel is left on screen.
    bool toggleFromShortcut(ListMode mode);
    // The tray menu's Show/Hide, which alone hides an always-visible panel.
    void toggleFromMenu();
    // After a choice or Escape: hides the panel unless it is always visible,
    // and gives the keyboard back.
    void dismiss();
    // The window with the keyboard becomes the one to give it back to,
    // unless it is one of ours.
    void rememberPreviousApp();
    // The window the keyboard goes back to, once one is known.
    std::optional<RunningWindow> previousApp() const { return m_previousApp; }

    // While a menu of ours is open a click elsewhere closes the menu only.
    void setOutsideClicksPaused(bool paused);
    // Raises one of our ordinary windows and gives it the keyboard through
    // the window manager, which refuses a program's own request when another
    // program is in front.
    void showAuxiliaryWindow(QWidget &window);
    // The work area of the screen under the pointer, in window coordinates;
    // when the panel is shown, its largest part beside the panel that holds
    // `least`.
    QRect workArea(QSize least = QSize()) const;

signals:
    // The panel is about to come forward, after a shortcut, the menu or a click.
    void comingForward();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Hides the panel and gives the keyboard back.
    void hide();
    void place();
    void bringForward(bool activate, ListMode mode, bool place);
    void makeKey();
    void activatePreviousApp();
    void installMouseMonitor();
    void removeMouseMonitor();
    void handleOutsideClick();
    bool pointerIsOverOwnWindow(QPointF mouse) const;
    bool auxiliaryWindowShown() const;
    void auxiliaryWindowClosed();
    void settingsChanged();

    Settings &m_settings;
    ClipStore &m_store;
    Workspace &m_workspace;
    Screens &m_screens;
    MouseMonitor &m_mouseMonitor;
    std::function<QRect()> m_trayIconArea;
    std::unique_ptr<HistoryPanel> m_panel;
    QPointer<HistoryViewController> m_history;
    std::optional<RunningWindow> m_previousApp;
    std::optional<MouseMonitor::Token> m_outsideClicks;
    bool m_userHidAlwaysVisiblePanel = false;
    QList<QPointer<QWidget>> m_auxiliaryWindows;
    // Whether the panel had the keyboard when our other windows took it,
    // and takes it back when they close.
    bool m_keyboardReturnsToPanel = false;
    KeyboardReclaimer m_reclaimer;
};
