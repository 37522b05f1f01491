// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PanelController.h"

#include "app/DesktopCoordinates.h"
#include "app/HistoryPanel.h"
#include "app/PanelPlacement.h"
#include "app/Screens.h"
#include "app/Workspace.h"
#include "model/Settings.h"
#include "ui/HistoryViewController.h"

#include <QApplication>
#include <QEvent>
#include <QLineEdit>

#include <algorithm>

PanelController::PanelController(Settings &settings, ClipStore &store, Workspace &workspace,
    Screens &screens, MouseMonitor &mouseMonitor, std::function<QRect()> trayIconArea,
    QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_store(store)
    , m_workspace(workspace)
    , m_screens(screens)
    , m_mouseMonitor(mouseMonitor)
    , m_trayIconArea(std::move(trayIconArea))
    , m_panel(std::make_unique<HistoryPanel>(workspace.keyboardNeedsManagedWindows()
              ? HistoryPanel::Window::managed
              : HistoryPanel::Window::bypassesManager))
    , m_reclaimer(*m_panel, [this] { makeKey(); })
{
}

PanelController::~PanelController()
{
    removeMouseMonitor();
}

void PanelController::start(HistoryViewControllerDelegate &delegate)
{
    m_history = new HistoryViewController(m_store, m_settings);
    m_history->setDelegate(&delegate);
    m_panel->setContentViewController(m_history);
    place();
    connect(&m_settings, &Settings::settingsDidChange, this, &PanelController::settingsChanged);
    connect(&m_screens, &Screens::screenParametersDidChange, this, [this] {
        if (m_panel->isVisible())
            place();
    });
    connect(&m_workspace, &Workspace::activeSpaceDidChange, this, [this] {
        if (!m_panel->isVisible())
            return;
        place();
        m_panel->showAndRaise();
    });
    if (m_settings.alwaysVisible())
        show(false, ListMode::all);
}

void PanelController::settingsChanged()
{
    place();
    if (m_settings.alwaysVisible() && !m_userHidAlwaysVisiblePanel)
        show(false, ListMode::all);
}

void PanelController::place()
{
    const ScreenRect frame
        = panelFrame(m_settings.panelAnchor(), screenUnderMouse(m_screens), m_screens.mainScreen());
    m_panel->setFrame(frame, m_screens.primaryGeometry());
}

void PanelController::rememberPreviousApp()
{
    const std::optional<RunningWindow> front = m_workspace.frontmostWindow();
    if (!front)
        return;
    // Our own windows are never the one to go back to.
    if (front->processId == QCoreApplication::applicationPid())
        return;
    m_previousApp = front;
}

void PanelController::activatePreviousApp()
{
    if (m_previousApp)
        m_workspace.activate(*m_previousApp);
}

void PanelController::bringForward(bool activate, ListMode mode, bool place)
{
    emit comingForward();
    rememberPreviousApp();
    if (m_history) {
        if (m_history->listMode() != mode)
            m_history->setListMode(mode);
        m_history->reloadVisibleClips();
    }
    if (place)
        this->place();
    m_panel->showAndRaise();
    if (activate)
        makeKey();
    installMouseMonitor();
}

void PanelController::makeKey()
{
    m_workspace.prepareToTakeKeyboard();
    m_panel->activate();
    if (m_history)
        m_history->searchField()->setFocus(Qt::ActiveWindowFocusReason);
}

void PanelController::show(bool activate, ListMode mode)
{
    bringForward(activate, mode, true);
}

void PanelController::focus(ListMode mode)
{
    // The panel stays where it is, even when the pointer moved to another screen.
    bringForward(true, mode, false);
}

bool PanelController::toggleFromShortcut(ListMode mode)
{
    const bool visible = m_panel->isVisible();
    if (m_settings.alwaysVisible()) {
        if (visible) {
            focus(mode);
        } else {
            m_userHidAlwaysVisiblePanel = false;
            show(true, mode);
        }
    } else if (visible) {
        const ListMode shown = m_history ? m_history->listMode() : ListMode::all;
        if (shown == mode) {
            hide();
            return false;
        }
        focus(mode);
    } else {
        show(true, mode);
    }
    return true;
}

void PanelController::toggleFromMenu()
{
    if (!m_panel->isVisible()) {
        m_userHidAlwaysVisiblePanel = false;
        show(true, ListMode::all);
        return;
    }
    m_userHidAlwaysVisiblePanel = m_settings.alwaysVisible();
    m_panel->hidePanel();
    removeMouseMonitor();
}

void PanelController::hide()
{
    m_panel->hidePanel();
    removeMouseMonitor();
    activatePreviousApp();
}

void PanelController::dismiss()
{
    if (!m_settings.alwaysVisible()) {
        m_panel->hidePanel();
        removeMouseMonitor();
    } else {
        m_panel->clearKeyboardFocus();
    }
    activatePreviousApp();
}

void PanelController::setOutsideClicksPaused(bool paused)
{
    if (paused)
        removeMouseMonitor();
    else if (m_panel->isVisible())
        installMouseMonitor();
}

void PanelController::installMouseMonitor()
{
    removeMouseMonitor();
    m_outsideClicks = m_mouseMonitor.addGlobalMonitor([self = QPointer<PanelController>(this)] {
        if (self)
            self->handleOutsideClick();
    });
}

void PanelController::removeMouseMonitor()
{
    if (!m_outsideClicks)
        return;
    m_mouseMonitor.removeMonitor(*m_outsideClicks);
    m_outsideClicks.reset();
}

bool PanelController::pointerIsOverOwnWindow(QPointF mouse) const
{
    const QRect primary = m_screens.primaryGeometry();
    if (m_panel->frame(primary).contains(mouse))
        return true;
    if (const QRect icon = m_trayIconArea ? m_trayIconArea() : QRect();
        icon.isValid() && DesktopCoordinates::fromWindowGeometry(icon, primary).contains(mouse))
        return true;
    // Unlike a click elsewhere, a press on one of our own windows (the list's
    // context menu, a message box, the preferences) is not a reason to leave.
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (const QWidget *window : windows) {
        if (!window->isVisible())
            continue;
        if (DesktopCoordinates::fromWindowGeometry(window->frameGeometry(), primary)
                .contains(mouse))
            return true;
    }
    return false;
}

void PanelController::handleOutsideClick()
{
    if (!m_panel->isVisible() || m_settings.alwaysVisible())
        return;
    if (auxiliaryWindowShown() || QApplication::activeModalWidget()
        || QApplication::activePopupWidget())
        return;
    if (pointerIsOverOwnWindow(m_screens.mouseLocation()))
        return;
    hide();
}

QRect PanelController::workArea(QSize least) const
{
    const QRect area = workAreaUnderMouse(m_screens);
    // Beside the panel, which stays on top of every other window.
    if (least.isEmpty() || !m_panel->isVisible())
        return area;
    return largestAreaBeside(area, m_panel->geometry(), least);
}

void PanelController::showAuxiliaryWindow(QWidget &window)
{
    // The panel stays where it is while the window is open.
    removeMouseMonitor();
    m_reclaimer.stop();
    const QWidget *active = QApplication::activeWindow();
    if (active == m_panel.get())
        m_keyboardReturnsToPanel = true;
    else if (!active || !m_auxiliaryWindows.contains(active))
        m_keyboardReturnsToPanel = false;
    if (!m_auxiliaryWindows.contains(&window)) {
        m_auxiliaryWindows.removeAll(nullptr);
        m_auxiliaryWindows.append(&window);
        window.installEventFilter(this);
    }
    window.show();
    window.raise();
    window.activateWindow();
    m_workspace.activate(
        RunningWindow { quint64(window.winId()), QCoreApplication::applicationPid() });
}

bool PanelController::auxiliaryWindowShown() const
{
    return std::any_of(m_auxiliaryWindows.cbegin(), m_auxiliaryWindows.cend(),
        [](const QPointer<QWidget> &window) { return window && window->isVisible(); });
}

bool PanelController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Hide && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->isWindow())
        auxiliaryWindowClosed();
    return QObject::eventFilter(watched, event);
}

void PanelController::auxiliaryWindowClosed()
{
    if (!m_panel->isVisible() || auxiliaryWindowShown())
        return;
    // Clicks elsewhere hide the panel again once our other windows are gone.
    if (!m_outsideClicks)
        installMouseMonitor();
    if (m_keyboardReturnsToPanel)
        m_reclaimer.start();
}
