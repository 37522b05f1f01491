// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppDelegate.h"

#include "app/DesktopCoordinates.h"
#include "app/HistoryPanel.h"
#include "app/HotkeyController.h"
#include "app/Notifier.h"
#include "app/PanelPlacement.h"
#include "app/ReviewPrompt.h"
#include "app/Screens.h"
#include "app/StatusIcon.h"
#include "app/Workspace.h"
#include "globalhotkeys/NamedShortcuts.h"
#include "model/ClipStore.h"
#include "model/Settings.h"
#include "pasteboard/Pasteboard.h"
#include "pasteboard/PasteboardMonitor.h"
#include "ui/EditClipController.h"
#include "ui/HistoryViewController.h"
#include "ui/LoginItem.h"
#include "ui/PreferencesController.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QDebug>
#include <QDesktopServices>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTextEdit>
#include <QTimer>
#include <QUrlQuery>

AppDelegate::AppDelegate(const AppServices &services, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_settings(std::make_unique<Settings>(services.defaults))
    , m_store(std::make_unique<ClipStore>(*m_settings, services.appSupportDir))
    , m_panel(std::make_unique<HistoryPanel>())
    , m_reviewPrompt(new ReviewPrompt(services.defaults, this))
    , m_alertRunner(runAlertModally)
{
    m_loginItem = std::make_unique<LoginItem>();
    // Counting a shortcut opening writes the settings file through to disk,
    // which takes longer than a frame: it runs a quarter second later, when
    // the panel is long on screen.
    m_shortcutOpenTimer.setSingleShot(true);
    m_shortcutOpenTimer.setInterval(250);
    connect(&m_shortcutOpenTimer, &QTimer::timeout, this, &AppDelegate::recordShortcutOpens);

    connect(m_store.get(), &ClipStore::saveFailed, this, [this](const QString &error) {
        tellUser(QStringLiteral("save"), qtTrId("notice.saveFailed.title"),
            qtTrId("notice.saveFailed.message").arg(error, m_store->rootPath()));
    });
    connect(m_store.get(), &ClipStore::saveRecovered, this, [this] {
        m_pendingNotices.removeIf([](const Notice &notice) { return notice.key == u"save"; });
        m_services.notifier.resolve(QStringLiteral("save"), qtTrId("notice.saveRecovered.title"),
            qtTrId("notice.saveRecovered.message"));
    });
    connect(m_store.get(), &ClipStore::archiveSetAside, this, [this](const QString &path) {
        tellUser(QStringLiteral("archive"), qtTrId("notice.archiveSetAside.title"),
            qtTrId("notice.archiveSetAside.message").arg(path));
    });
    connect(m_store.get(), &ClipStore::journalSetAside, this, [this](const QString &path) {
        tellUser(QStringLiteral("journal"), qtTrId("notice.journalSetAside.title"),
            qtTrId("notice.journalSetAside.message").arg(path));
    });
    connect(m_store.get(), &ClipStore::foreignItemFound, this,
        [this](const QString &path, ClipStore::Foreign kind) {
            QString what;
            switch (kind) {
            case ClipStore::Foreign::link:
                what = qtTrId("notice.foreign.link");
                break;
            case ClipStore::Foreign::folder:
                what = path == m_store->journalPath() ? qtTrId("notice.foreign.journalFolder")
                                                      : qtTrId("notice.foreign.archiveFolder");
                break;
            case ClipStore::Foreign::file:
                what = qtTrId("notice.foreign.file");
                break;
            case ClipStore::Foreign::special:
                what = qtTrId("notice.foreign.special");
                break;
            }
            const QString outcome = path == m_store->mediaPath() ? qtTrId("notice.foreign.images")
                                                                 : qtTrId("notice.foreign.history");
            tellUser(QStringLiteral("foreign ") + path, qtTrId("notice.foreign.title").arg(path),
                what.arg(path) + QLatin1Char(' ') + outcome);
        });
    // Before the hot-key controller registers the shortcuts.
    connect(&services.namedShortcuts, &GlobalHotkeys::NamedShortcuts::registrationFailed, this,
        [this](const QString &shortcut) {
            tellUser(QStringLiteral("shortcut ") + shortcut,
                qtTrId("notice.shortcutTaken.title").arg(shortcut),
                qtTrId("notice.shortcutTaken.message").arg(shortcut));
        });
    m_hotkey = new HotkeyController(services.namedShortcuts, this);
}

void AppDelegate::tellUser(const QString &key, const QString &title, const QString &message)
{
    // Until launch there is no tray icon to speak through.
    if (!m_statusItem) {
        m_pendingNotices.append({ key, title, message });
        return;
    }
    m_services.notifier.report(key, title, message);
}

AppDelegate::~AppDelegate()
{
    removeMouseMonitor();
    // An open editor refers to the store.
    delete m_editController;
    // The tray icon refers to the menu; it goes first.
    delete m_statusItem;
}

HistoryViewController *AppDelegate::historyController() const
{
    return m_historyController;
}

EditClipController *AppDelegate::editController() const
{
    return m_editController;
}

PasteboardMonitor &AppDelegate::monitor()
{
    if (!m_monitor)
        m_monitor
            = std::make_unique<PasteboardMonitor>(m_services.pasteboard, *m_store, *m_settings);
    return *m_monitor;
}

void AppDelegate::applicationDidFinishLaunching()
{
    m_historyController = new HistoryViewController(*m_store, *m_settings);
    m_historyController->setDelegate(this);
    m_panel->setContentViewController(m_historyController);
    // The list's context menu holds the keyboard while it is open, as the
    // tray menu does.
    m_hotkey->keepShortcutsWorkingIn(*m_historyController->contextMenu());
    placePanel();
    setupStatusItem();
    m_services.notifier.setTrayIcon(m_statusItem);
    if (const QString reason = m_services.pasteboard.unavailableReason(); !reason.isEmpty())
        tellUser(QStringLiteral("clipboard"), qtTrId("notice.clipboardUnavailable.title"),
            qtTrId("notice.clipboardUnavailable.message").arg(reason));
    if (const QString reason = m_services.namedShortcuts.unavailableReason(); !reason.isEmpty())
        tellUser(QStringLiteral("shortcuts"), qtTrId("notice.shortcutsUnavailable.title"),
            qtTrId("notice.shortcutsUnavailable.message").arg(reason));
    for (const Notice &notice : std::exchange(m_pendingNotices, {}))
        m_services.notifier.report(notice.key, notice.title, notice.message);
    const QPointer<AppDelegate> self(this);
    m_hotkey->setOnToggle([self] {
        if (self)
            self->toggleFromShortcut(ListMode::all);
    });
    m_hotkey->setOnTogglePinned([self] {
        if (self)
            self->toggleFromShortcut(ListMode::pinned);
    });
    monitor().start();
    connect(m_settings.get(), &Settings::settingsDidChange, this, &AppDelegate::settingsChanged);
    connect(&m_services.screens, &Screens::screenParametersDidChange, this,
        &AppDelegate::screensChanged);
    connect(
        &m_services.workspace, &Workspace::activeSpaceDidChange, this, &AppDelegate::spaceChanged);
    if (m_settings->alwaysVisible())
        showPanel(false, ListMode::all);
}

void AppDelegate::applicationWillTerminate()
{
    if (m_monitor) {
        m_monitor->stop();
        // A copy still being prepared is kept, not lost with the program.
        m_monitor->finishPending();
    }
    removeMouseMonitor();
    recordShortcutOpens();
}

void AppDelegate::setupStatusItem()
{
    m_statusItem = new QSystemTrayIcon(this);
    updateStatusIcon();
    m_statusMenu = std::make_unique<QMenu>();
    m_statusMenu->setAccessibleName(qtTrId("status.accessibility"));
    connect(m_statusMenu.get(), &QMenu::aboutToShow, this, &AppDelegate::menuNeedsUpdate);
    connect(m_statusMenu.get(), &QMenu::aboutToHide, this, &AppDelegate::menuDidClose);
    m_hotkey->keepShortcutsWorkingIn(*m_statusMenu);
    // Built now too, so that a shortcut being recorded is checked against it.
    buildStatusMenu();
    m_statusItem->setContextMenu(m_statusMenu.get());
    // A plain click opens the menu too, as the right button does.
    connect(m_statusItem, &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger && !m_statusMenu->isVisible())
                m_statusMenu->popup(QCursor::pos());
        });
    m_statusItem->show();
    // Qt shows the icon by itself once a tray appears; until then the
    // shortcuts and the command line are the way in, and the user is told so.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        tellUser(QStringLiteral("tray"), qtTrId("notice.noTray.title"), qtTrId("status.noTray"));
}

void AppDelegate::updateStatusIcon()
{
    if (!m_statusItem)
        return;
    const bool recording = isRecording();
    m_statusItem->setIcon(recording ? StatusIcon::icon() : StatusIcon::pausedIcon());
    m_statusItem->setToolTip(recording ? qtTrId("status.accessibility") : qtTrId("status.paused"));
}

void AppDelegate::menuNeedsUpdate()
{
    removeMouseMonitor();
    buildStatusMenu();
}

void AppDelegate::buildStatusMenu()
{
    QMenu &menu = *m_statusMenu;
    menu.clear();
    menu.addAction(m_panel->isVisible() ? qtTrId("menu.hide") : qtTrId("menu.show"), this,
        &AppDelegate::toggleVisibilityFromMenu);
    menu.addSeparator();
    menu.addAction(qtTrId("menu.settings"), this, &AppDelegate::openPreferences);
    menu.addAction(qtTrId("menu.clearHistory"), this, &AppDelegate::clearHistory);
    QAction *pause = menu.addAction(
        qtTrId("menu.pauseRecording"), this, [this](bool paused) { setRecording(!paused); });
    pause->setCheckable(true);
    pause->setChecked(!isRecording());
    menu.addSeparator();
    menu.addAction(qtTrId("menu.share"), this, &AppDelegate::shareQuillstack);
    menu.addSeparator();
    QAction *quit = menu.addAction(qtTrId("menu.quit"), this, &AppDelegate::quitApp);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

void AppDelegate::menuDidClose()
{
    if (m_panel->isVisible())
        installMouseMonitor();
}

void AppDelegate::placePanel()
{
    const Screens &screens = m_services.screens;
    const ScreenRect frame
        = panelFrame(m_settings->panelAnchor(), screenUnderMouse(screens), screens.mainScreen());
    m_panel->setFrame(frame, screens.primaryGeometry());
}

void AppDelegate::rememberPreviousApp()
{
    const std::optional<RunningWindow> front = m_services.workspace.frontmostWindow();
    if (!front)
        return;
    // Our own windows are never the one to go back to.
    if (front->processId == QCoreApplication::applicationPid())
        return;
    m_previousApp = front;
}

void AppDelegate::activatePreviousApp()
{
    if (m_previousApp)
        m_services.workspace.activate(*m_previousApp);
}

void AppDelegate::setListModeAndReload(ListMode mode)
{
    if (!m_historyController)
        return;
    if (m_historyController->listMode() != mode)
        m_historyController->setListMode(mode);
    m_historyController->reloadVisibleClips();
}

void AppDelegate::bringPanelForward(bool activate, ListMode mode, bool place)
{
    rememberPreviousApp();
    setListModeAndReload(mode);
    if (place)
        placePanel();
    m_panel->orderFrontRegardless();
    if (activate) {
        m_panel->makeKeyWindow();
        if (m_historyController)
            m_historyController->searchField()->setFocus(Qt::ActiveWindowFocusReason);
    }
    installMouseMonitor();
}

void AppDelegate::showPanel(bool activate, ListMode mode)
{
    bringPanelForward(activate, mode, true);
}

void AppDelegate::focusPanel(ListMode mode)
{
    // The panel stays where it is, even when the pointer moved to another screen.
    bringPanelForward(true, mode, false);
}

void AppDelegate::toggleFromShortcut(ListMode mode)
{
    const bool visible = m_panel->isVisible();
    if (m_settings->alwaysVisible()) {
        if (visible) {
            focusPanel(mode);
        } else {
            m_userHidAlwaysVisiblePanel = false;
            showPanel(true, mode);
        }
    } else if (visible) {
        const ListMode shown
            = m_historyController ? m_historyController->listMode() : ListMode::all;
        if (shown == mode) {
            hidePanel();
            return;
        }
        focusPanel(mode);
    } else {
        showPanel(true, mode);
    }
    ++m_pendingShortcutOpens;
    m_shortcutOpenTimer.start();
}

void AppDelegate::recordShortcutOpens()
{
    m_shortcutOpenTimer.stop();
    for (; m_pendingShortcutOpens > 0; --m_pendingShortcutOpens)
        m_reviewPrompt->recordHotkeyPanelOpen(m_historyController);
}

void AppDelegate::toggleVisibilityFromMenu()
{
    if (!m_panel->isVisible()) {
        m_userHidAlwaysVisiblePanel = false;
        showPanel(true, ListMode::all);
        return;
    }
    m_userHidAlwaysVisiblePanel = m_settings->alwaysVisible();
    m_panel->orderOut();
    removeMouseMonitor();
}

void AppDelegate::hidePanel()
{
    m_panel->orderOut();
    removeMouseMonitor();
    activatePreviousApp();
}

void AppDelegate::dismissPanel()
{
    if (!m_settings->alwaysVisible()) {
        m_panel->orderOut();
        removeMouseMonitor();
    } else {
        m_panel->resignKeyWindow();
    }
    activatePreviousApp();
}

void AppDelegate::installMouseMonitor()
{
    removeMouseMonitor();
    m_mouseMonitor = m_services.mouseMonitor.addGlobalMonitor([self = QPointer<AppDelegate>(this)] {
        if (self)
            self->handleOutsideClick();
    });
}

void AppDelegate::removeMouseMonitor()
{
    if (!m_mouseMonitor)
        return;
    m_services.mouseMonitor.removeMonitor(*m_mouseMonitor);
    m_mouseMonitor.reset();
}

bool AppDelegate::pointerIsOverOwnWindow(QPointF mouse) const
{
    const QRect primary = m_services.screens.primaryGeometry();
    if (m_panel->frame(primary).contains(mouse))
        return true;
    if (m_statusItem) {
        const QRect button = m_statusItem->geometry();
        if (button.isValid()
            && DesktopCoordinates::fromWindowGeometry(button, primary).contains(mouse))
            return true;
    }
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

void AppDelegate::handleOutsideClick()
{
    if (!m_panel->isVisible() || m_settings->alwaysVisible())
        return;
    if ((m_preferencesController && m_preferencesController->isVisible())
        || (m_editController && m_editController->isVisible()) || QApplication::activeModalWidget()
        || QApplication::activePopupWidget())
        return;
    if (pointerIsOverOwnWindow(m_services.screens.mouseLocation()))
        return;
    hidePanel();
}

void AppDelegate::settingsChanged()
{
    m_store->applyLimits();
    placePanel();
    if (m_settings->alwaysVisible() && !m_userHidAlwaysVisiblePanel)
        showPanel(false, ListMode::all);
}

void AppDelegate::screensChanged()
{
    if (m_panel->isVisible())
        placePanel();
}

void AppDelegate::spaceChanged()
{
    if (!m_panel->isVisible())
        return;
    placePanel();
    m_panel->orderFrontRegardless();
}

namespace {

// The largest part of `area` on one side of `obstacle`: a window placed there
// is not covered by it. The whole area when no side leaves room enough.
QRect largestAreaBeside(const QRect &area, const QRect &obstacle, const QSize &least)
{
    const QRect overlap = area.intersected(obstacle);
    if (overlap.isEmpty())
        return area;
    const QRect sides[] = {
        QRect(area.topLeft(), QPoint(overlap.left() - 1, area.bottom())),
        QRect(QPoint(overlap.right() + 1, area.top()), area.bottomRight()),
        QRect(area.topLeft(), QPoint(area.right(), overlap.top() - 1)),
        QRect(QPoint(area.left(), overlap.bottom() + 1), area.bottomRight()),
    };
    QRect best;
    for (const QRect &side : sides) {
        if (side.width() >= least.width() && side.height() >= least.height()
            && qint64(side.width()) * side.height() > qint64(best.width()) * best.height())
            best = side;
    }
    return best.isValid() ? best : area;
}

} // namespace

QRect AppDelegate::visibleFrameUnderMouse() const
{
    const Screens &screens = m_services.screens;
    std::optional<Screen> screen = screenUnderMouse(screens);
    if (!screen)
        screen = screens.mainScreen();
    if (!screen)
        return QRect(0, 0, 800, 600);
    return DesktopCoordinates::toWindowGeometry(screen->visibleFrame, screens.primaryGeometry());
}

void AppDelegate::bringForward(QWidget &window)
{
    window.show();
    window.raise();
    window.activateWindow();
    m_services.workspace.activate(
        RunningWindow { quint64(window.winId()), QCoreApplication::applicationPid() });
}

void AppDelegate::auxiliaryWindowClosed()
{
    // Clicks elsewhere hide the panel again once its helper windows are gone.
    if (m_panel->isVisible() && !m_mouseMonitor)
        installMouseMonitor();
}

void AppDelegate::openPreferences()
{
    removeMouseMonitor();
    if (!m_preferencesController) {
        m_preferencesController = std::make_unique<PreferencesController>(
            *m_settings, *m_store, m_services.namedShortcuts, *m_loginItem);
        m_preferencesController->setAlertRunner(m_alertRunner);
        m_preferencesController->setOnClose([this] { auxiliaryWindowClosed(); });
    }
    PreferencesController &preferences = *m_preferencesController;
    preferences.refreshLaunchAtLogin();
    if (!preferences.isVisible())
        preferences.restoreFrame(visibleFrameUnderMouse());
    bringForward(preferences);
    m_reviewPrompt->recordSettingsOpen(&preferences);
}

void AppDelegate::clearHistory()
{
    QMessageBox box(
        QMessageBox::Warning, QStringLiteral("Quillstack"), qtTrId("alert.clear.title"));
    box.setInformativeText(qtTrId("alert.clear.message"));
    QPushButton *confirm = box.addButton(qtTrId("alert.clear.confirm"), QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(qtTrId("alert.cancel"), QMessageBox::RejectRole);
    // Return, pressed without reading, must not wipe the history.
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    if (m_alertRunner(box) == confirm)
        m_store->clearHistory();
}

QString AppDelegate::shareText()
{
    return qtTrId("share.message");
}

QUrl AppDelegate::shareAddress()
{
    return QUrl(QStringLiteral("https://github.com/quillstack/quillstack"));
}

QUrl AppDelegate::shareMailUrl()
{
    QUrl url(QStringLiteral("mailto:"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"),
        QString::fromUtf8(QUrl::toPercentEncoding(qtTrId("share.subject"))));
    query.addQueryItem(QStringLiteral("body"),
        QString::fromUtf8(QUrl::toPercentEncoding(
            shareText() + QStringLiteral("\n\n") + shareAddress().toString())));
    url.setQuery(query);
    return url;
}

void AppDelegate::shareQuillstack()
{
    if (!m_statusItem)
        return;
    if (!m_shareMenu) {
        m_shareMenu = std::make_unique<QMenu>();
        m_shareMenu->addAction(qtTrId("share.copy"), this, [this] {
            monitor().writePlainText(shareText() + QLatin1Char('\n') + shareAddress().toString());
        });
        m_shareMenu->addAction(qtTrId("share.mail"), this, [this] {
            // False when the desktop has no program for mailto: links at all.
            if (QDesktopServices::openUrl(shareMailUrl()))
                m_services.notifier.resolve(QStringLiteral("mail"));
            else
                tellUser(QStringLiteral("mail"), qtTrId("notice.mailUnavailable.title"),
                    qtTrId("notice.mailUnavailable.message").arg(shareAddress().toString()));
        });
        m_hotkey->keepShortcutsWorkingIn(*m_shareMenu);
    }
    // After the tray menu has closed and let go of the keyboard.
    QTimer::singleShot(0, this, [self = QPointer<AppDelegate>(this)] {
        if (!self || !self->m_statusItem)
            return;
        // At the tray icon when the tray says where it is, else at the pointer.
        const QRect icon = self->m_statusItem->geometry();
        self->m_shareMenu->popup(icon.isValid() ? icon.bottomLeft() : QCursor::pos());
    });
}

void AppDelegate::quitApp()
{
    emit quitRequested();
}

bool AppDelegate::isRecording() const
{
    return !m_monitor || !m_monitor->isPaused();
}

void AppDelegate::setRecording(bool recording)
{
    if (recording == isRecording())
        return;
    monitor().setPaused(!recording);
    updateStatusIcon();
    emit recordingChanged(recording);
}

void AppDelegate::historyDidChoose(const Clip &clip)
{
    // A click into the panel while another program was active makes that
    // program the one to go back to.
    rememberPreviousApp();
    if (!copyToClipboard(clip)) {
        // Told each time it is chosen: each is a choice that did nothing.
        const QString key = QStringLiteral("image");
        m_services.notifier.resolve(key);
        tellUser(key, qtTrId("notice.imageMissing.title"),
            qtTrId("notice.imageMissing.message").arg(m_store->imagePath(clip)));
    }
    dismissPanel();
}

bool AppDelegate::copyToClipboard(const Clip &clip)
{
    const std::optional<QByteArray> image = m_store->imageData(clip);
    if (clip.kind == ClipKind::image && !image)
        return false;
    monitor().write(clip, image);
    return true;
}

void AppDelegate::historyDidRequestEdit(const Clip &clip)
{
    // One editor at a time: a new request replaces the open one.
    if (m_editController)
        m_editController->close();
    // The panel stays where it is while the editor is open.
    removeMouseMonitor();
    // Beside the panel, which stays on top of every other window.
    QRect visibleFrame = visibleFrameUnderMouse();
    if (m_panel->isVisible())
        visibleFrame = largestAreaBeside(visibleFrame, m_panel->geometry(), QSize(520, 380));
    auto *editor = new EditClipController(clip, *m_store, visibleFrame);
    editor->setAttribute(Qt::WA_DeleteOnClose);
    editor->setOnClose([this] { auxiliaryWindowClosed(); });
    m_editController = editor;
    if (clip.kind == ClipKind::image) {
        EditClipController::fitToVisibleScreen(*editor, visibleFrame);
    } else {
        QRect frame(QPoint(), editor->size());
        frame.moveCenter(visibleFrame.center());
        editor->move(frame.topLeft());
    }
    bringForward(*editor);
    if (QWidget *text = editor->textView())
        text->setFocus(Qt::ActiveWindowFocusReason);
}

void AppDelegate::historyDidRequestDelete(const Clip &clip)
{
    m_store->deleteClip(clip.id);
}

void AppDelegate::historyDidRequestCopyPlain(const QString &text)
{
    monitor().writePlainText(text);
}

void AppDelegate::historyDidRequestDismiss()
{
    dismissPanel();
}
