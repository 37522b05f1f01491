// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/AppServices.h"
#include "app/Notifier.h"
#include "ui/HistoryViewControllerDelegate.h"
#include "ui/ListMode.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class ClipStore;
class EditClipController;
class LoginItem;
class PanelController;
class PasteAfterChoosing;
class PreferencesController;
class HotkeyController;
class PasteboardMonitor;
class ReviewPrompt;
class SharingPreferences;
class Settings;
class SyncEngine;
class TrayMenu;

// The application controller: owns every long-lived object, wires them at
// construction and launch, and carries out what the panel, the tray menu and
// the shortcuts ask for.
class AppDelegate : public QObject, private HistoryViewControllerDelegate
{
    Q_OBJECT
public:
    explicit AppDelegate(const AppServices &services, QObject *parent = nullptr);
    ~AppDelegate() override;

    // A failure the user must hear of, told once through the notifier.
    void tellUser(const Notifier::Key &key, const QString &title, const QString &message);
    void applicationDidFinishLaunching();
    void applicationWillTerminate();

    Settings &settings() const { return *m_settings; }
    ClipStore &store() const { return *m_store; }
    PanelController &panel() const { return *m_panel; }
    PasteAfterChoosing &paste() const { return *m_paste; }
    // Created on first use, then kept.
    PasteboardMonitor &monitor();

    // What the shortcut for `mode` does; an opening counts for the review prompt.
    void toggleFromShortcut(ListMode mode);
    void openPreferences();
    void quitApp();
    // Pausing leaves copies unrecorded until recording resumes.
    void setRecording(bool recording);
    bool isRecording() const;
    // Writes a clip to the clipboard as choosing it does, leaving the panel
    // alone. False, with the clipboard left as it was, when the clip is an
    // image whose file is missing.
    bool copyToClipboard(const Clip &clip);

signals:
    // The user chose to quit; the entry point ends the event loop.
    void quitRequested();
    void recordingChanged(bool recording);

private:
    void recordShortcutOpens();
    void clearHistory();
    // Follows the sharing settings: shares the history while they say so
    // and the passphrase was entered on this machine.
    void startSharing();

    void historyDidChoose(const Clip &clip) override;
    void historyDidChooseAsPlainText(const Clip &clip) override;
    // Hands the keyboard back after a choice, and pastes when the clip went
    // onto the clipboard.
    void finishChoice(bool paste);
    void historyDidRequestEdit(const Clip &clip) override;
    void historyDidRequestDelete(const Clip &clip) override;
    void historyDidRequestCopyPlain(const QString &text) override;
    void historyDidRequestDismiss() override;

    struct Notice
    {
        Notifier::Key key;
        QString title;
        QString message;
    };

    AppServices m_services;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<ClipStore> m_store;
    std::unique_ptr<PasteboardMonitor> m_monitor;
    // While the history is shared with the user's other machines.
    std::unique_ptr<SyncEngine> m_sync;
    // Registers the global shortcuts from the start; they act once launch
    // has set its callbacks.
    HotkeyController *m_hotkey = nullptr;
    std::unique_ptr<PanelController> m_panel;
    std::unique_ptr<PasteAfterChoosing> m_paste;
    // The preferences window, made on first use and kept; the clip editor
    // while its window is open.
    std::unique_ptr<LoginItem> m_loginItem;
    std::unique_ptr<PreferencesController> m_preferencesController;
    SharingPreferences *m_sharingPreferences = nullptr;
    QPointer<EditClipController> m_editController;
    ReviewPrompt *m_reviewPrompt = nullptr;
    // Made at launch.
    std::unique_ptr<TrayMenu> m_tray;
    // Shortcut openings not yet counted by the review prompt, and the timer
    // that counts them after the panel is on screen.
    int m_pendingShortcutOpens = 0;
    QTimer m_shortcutOpenTimer;
    // Failures met before launch, told once the tray icon exists.
    QList<Notice> m_pendingNotices;
};
