// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/AppServices.h"
#include "app/MouseMonitor.h"
#include "app/RunningWindow.h"
#include "globalhotkeys/AlertRunner.h"
#include "ui/HistoryViewControllerDelegate.h"
#include "ui/ListMode.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class ClipStore;
class EditClipController;
class LoginItem;
class PreferencesController;
class HistoryPanel;
class HistoryViewController;
class HotkeyController;
class PasteboardMonitor;
class QAbstractButton;
class QMenu;
class QMessageBox;
class QSystemTrayIcon;
class QWidget;
class ReviewPrompt;
class Settings;

// The application controller: owns every long-lived object, wires them at
// construction and launch, runs the tray menu, and decides when the history
// panel shows, takes the keyboard, hides and gives the keyboard back.
class AppDelegate : public QObject, public HistoryViewControllerDelegate
{
    Q_OBJECT
public:
    explicit AppDelegate(const AppServices &services, QObject *parent = nullptr);
    ~AppDelegate() override;

    // A failure the user must hear of, told once through the notifier.
    void tellUser(const QString &key, const QString &title, const QString &message);
    void applicationDidFinishLaunching();
    void applicationWillTerminate();

    // Panel visibility.
    void showPanel(bool activate, ListMode mode);
    void focusPanel(ListMode mode);
    void toggleFromShortcut(ListMode mode);
    void toggleVisibilityFromMenu();
    void hidePanel();
    void dismissPanel();
    void rememberPreviousApp();
    void installMouseMonitor();
    void removeMouseMonitor();
    void handleOutsideClick();

    // Tray menu commands.
    void openPreferences();
    void clearHistory();
    void shareQuillstack();
    void quitApp();
    // Pausing leaves copies unrecorded until recording resumes.
    void setRecording(bool recording);
    bool isRecording() const;

    // Writes a clip to the clipboard as choosing it does, leaving the panel
    // alone. False, with the clipboard left as it was, when the clip is an
    // image whose file is missing.
    bool copyToClipboard(const Clip &clip);

    // What the share menu offers: a sentence about the program and its page.
    static QString shareText();
    static QUrl shareAddress();
    // A message to the mail program, with the sentence and the address.
    static QUrl shareMailUrl();

    void historyDidChoose(const Clip &clip) override;
    void historyDidRequestEdit(const Clip &clip) override;
    void historyDidRequestDelete(const Clip &clip) override;
    void historyDidRequestCopyPlain(const QString &text) override;
    void historyDidRequestDismiss() override;

    Settings &settings() const { return *m_settings; }
    ClipStore &store() const { return *m_store; }
    HistoryPanel &panel() const { return *m_panel; }
    HistoryViewController *historyController() const;
    // Created on first use, then kept.
    PasteboardMonitor &monitor();
    QSystemTrayIcon *statusItem() const { return m_statusItem; }
    QMenu *statusMenu() const { return m_statusMenu.get(); }
    QMenu *shareMenu() const { return m_shareMenu.get(); }
    PreferencesController *preferencesController() const { return m_preferencesController.get(); }
    EditClipController *editController() const;
    std::optional<RunningWindow> previousApp() const { return m_previousApp; }
    bool userHidAlwaysVisiblePanel() const { return m_userHidAlwaysVisiblePanel; }
    bool hasMouseMonitor() const { return m_mouseMonitor.has_value(); }

    // Tests answer the alerts through this without showing them.
    void setAlertRunner(AlertRunner runner) { m_alertRunner = std::move(runner); }

signals:
    // The user chose to quit; the entry point ends the event loop.
    void quitRequested();
    void recordingChanged(bool recording);

private slots:
    void settingsChanged();
    void screensChanged();
    void spaceChanged();
    void menuNeedsUpdate();
    void menuDidClose();

private:
    void setupStatusItem();
    void updateStatusIcon();
    void buildStatusMenu();
    // The work area of the screen under the pointer, in window coordinates.
    QRect visibleFrameUnderMouse() const;
    // Raises one of our ordinary windows and gives it the keyboard through
    // the window manager, which refuses a program's own request when another
    // program is in front.
    void bringForward(QWidget &window);
    void auxiliaryWindowClosed();
    void placePanel();
    void setListModeAndReload(ListMode mode);
    void bringPanelForward(bool activate, ListMode mode, bool place);
    void activatePreviousApp();
    void recordShortcutOpens();
    bool pointerIsOverOwnWindow(QPointF mouse) const;

    struct Notice
    {
        QString key;
        QString title;
        QString message;
    };

    AppServices m_services;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<ClipStore> m_store;
    std::unique_ptr<PasteboardMonitor> m_monitor;
    // Registers the global shortcuts from the start; they act once launch
    // has set its callbacks.
    HotkeyController *m_hotkey = nullptr;
    std::unique_ptr<HistoryPanel> m_panel;
    QPointer<HistoryViewController> m_historyController;
    // The preferences window, made on first use and kept; the clip editor
    // while its window is open. Clicks outside the panel leave it alone while
    // either is visible.
    std::unique_ptr<LoginItem> m_loginItem;
    std::unique_ptr<PreferencesController> m_preferencesController;
    QPointer<EditClipController> m_editController;
    std::unique_ptr<QMenu> m_shareMenu;
    ReviewPrompt *m_reviewPrompt = nullptr;
    QSystemTrayIcon *m_statusItem = nullptr;
    std::unique_ptr<QMenu> m_statusMenu;
    std::optional<RunningWindow> m_previousApp;
    std::optional<MouseMonitor::Token> m_mouseMonitor;
    bool m_userHidAlwaysVisiblePanel = false;
    // Shortcut openings not yet counted by the review prompt, and the timer
    // that counts them after the panel is on screen.
    int m_pendingShortcutOpens = 0;
    QTimer m_shortcutOpenTimer;
    AlertRunner m_alertRunner;
    // Failures met before launch, told once the tray icon exists.
    QList<Notice> m_pendingNotices;
};
