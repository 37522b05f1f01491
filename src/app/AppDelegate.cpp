// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppDelegate.h"

#include "app/HistoryPanel.h"
#include "app/HotkeyController.h"
#include "app/Notifier.h"
#include "app/PanelController.h"
#include "app/PasteAfterChoosing.h"
#include "app/ReviewPrompt.h"
#include "app/TrayMenu.h"
#include "globalhotkeys/AlertRunner.h"
#include "globalhotkeys/NamedShortcuts.h"
#include "model/ClipStore.h"
#include "model/Settings.h"
#include "pasteboard/Pasteboard.h"
#include "pasteboard/PasteboardMonitor.h"
#include "sync/SharingSettings.h"
#include "sync/SyncEngine.h"
#include "ui/EditClipController.h"
#include "ui/HistoryViewController.h"
#include "ui/LoginItem.h"
#include "ui/PreferencesController.h"
#include "ui/SharingPreferences.h"

#include <QMessageBox>
#include <QPushButton>
#include <QSysInfo>
#include <QSystemTrayIcon>
#include <QTextEdit>

AppDelegate::AppDelegate(const AppServices &services, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_settings(std::make_unique<Settings>(services.defaults))
    , m_store(std::make_unique<ClipStore>(*m_settings, services.appSupportDir))
    , m_panel(std::make_unique<PanelController>(*m_settings, *m_store, services.workspace,
          services.screens, services.mouseMonitor,
          [this] { return m_tray ? m_tray->icon().geometry() : QRect(); }))
    , m_paste(
          std::make_unique<PasteAfterChoosing>(*m_settings, services.pasteKeys, services.notifier))
    , m_reviewPrompt(new ReviewPrompt(services.defaults, this))
{
    m_loginItem = std::make_unique<LoginItem>();
    // Counting a shortcut opening writes the settings file through to disk,
    // which takes longer than a frame: it runs a quarter second later, when
    // the panel is long on screen.
    m_shortcutOpenTimer.setSingleShot(true);
    m_shortcutOpenTimer.setInterval(250);
    connect(&m_shortcutOpenTimer, &QTimer::timeout, this, &AppDelegate::recordShortcutOpens);

    // A paste still waiting for the keyboard's hand-back is given up when the
    // panel comes again.
    connect(
        m_panel.get(), &PanelController::comingForward, m_paste.get(), &PasteAfterChoosing::cancel);
    connect(m_store.get(), &ClipStore::saveFailed, this, [this](const QString &error) {
        tellUser(Notifier::Topic::save, qtTrId("notice.saveFailed.title"),
            qtTrId("notice.saveFailed.message").arg(error, m_store->rootPath()));
    });
    connect(m_store.get(), &ClipStore::saveRecovered, this, [this] {
        m_pendingNotices.removeIf(
            [](const Notice &notice) { return notice.key.topic == Notifier::Topic::save; });
        m_services.notifier.resolve(Notifier::Topic::save, qtTrId("notice.saveRecovered.title"),
            qtTrId("notice.saveRecovered.message"));
    });
    connect(m_store.get(), &ClipStore::archiveSetAside, this, [this](const QString &path) {
        tellUser(Notifier::Topic::archiveSetAside, qtTrId("notice.archiveSetAside.title"),
            qtTrId("notice.archiveSetAside.message").arg(path));
    });
    connect(m_store.get(), &ClipStore::journalSetAside, this, [this](const QString &path) {
        tellUser(Notifier::Topic::journalSetAside, qtTrId("notice.journalSetAside.title"),
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
            tellUser({ Notifier::Topic::foreignItem, path },
                qtTrId("notice.foreign.title").arg(path),
                what.arg(path) + QLatin1Char(' ') + outcome);
        });
    // Before the hot-key controller registers the shortcuts.
    connect(&services.namedShortcuts, &GlobalHotkeys::NamedShortcuts::registrationFailed, this,
        [this](const QString &shortcut) {
            tellUser({ Notifier::Topic::shortcutTaken, shortcut },
                qtTrId("notice.shortcutTaken.title").arg(shortcut),
                qtTrId("notice.shortcutTaken.message").arg(shortcut));
        });
    m_hotkey = new HotkeyController(services.namedShortcuts, this);
}

void AppDelegate::tellUser(const Notifier::Key &key, const QString &title, const QString &message)
{
    // Until launch there is no tray icon to speak through.
    if (!m_tray) {
        m_pendingNotices.append({ key, title, message });
        return;
    }
    m_services.notifier.report(key, title, message);
}

AppDelegate::~AppDelegate()
{
    // An open editor refers to the store.
    delete m_editController;
}

PasteboardMonitor &AppDelegate::monitor()
{
    if (!m_monitor)
        m_monitor
            = std::make_unique<PasteboardMonitor>(m_services.pasteboard, *m_store, *m_settings);
    return *m_monitor;
}

void AppDelegate::startSharing()
{
    m_sync.reset();
    SharingSettings sharing(m_services.defaults);
    if (!sharing.enabled() || sharing.folder().isEmpty())
        return;
    const auto key = SharingKey::readStored(SharingSettings::keyPath(m_services.appSupportDir));
    if (!key) {
        tellUser(Notifier::Topic::sharing, qtTrId("notice.sharing.title"),
            qtTrId("notice.sharing.noPassphrase"));
        return;
    }
    m_sync = std::make_unique<SyncEngine>(*m_store,
        SyncEngine::Options { sharing.folder(), sharing.machineId(), *key, sharing.scope(),
            QSysInfo::machineHostName() });
    connect(m_sync.get(), &SyncEngine::machinesChanged, this, [this] {
        if (m_sharingPreferences)
            m_sharingPreferences->refresh();
    });
    connect(m_sync.get(), &SyncEngine::problem, this, [this](const QString &message) {
        tellUser(Notifier::Topic::sharing, qtTrId("notice.sharing.title"), message);
    });
    m_sync->start();
}

void AppDelegate::applicationDidFinishLaunching()
{
    m_tray = std::make_unique<TrayMenu>(m_panel->panel(), *m_hotkey, m_services.notifier);
    connect(m_tray.get(), &TrayMenu::toggleVisibilityRequested, m_panel.get(),
        &PanelController::toggleFromMenu);
    connect(m_tray.get(), &TrayMenu::preferencesRequested, this, &AppDelegate::openPreferences);
    connect(m_tray.get(), &TrayMenu::clearHistoryRequested, this, &AppDelegate::clearHistory);
    connect(m_tray.get(), &TrayMenu::recordingRequested, this, &AppDelegate::setRecording);
    connect(m_tray.get(), &TrayMenu::copyRequested, this,
        [this](const QString &text) { monitor().writePlainText(text); });
    connect(m_tray.get(), &TrayMenu::quitRequested, this, &AppDelegate::quitApp);
    connect(m_tray.get(), &TrayMenu::menuOpened, m_panel.get(),
        [this] { m_panel->setOutsideClicksPaused(true); });
    connect(m_tray.get(), &TrayMenu::menuClosed, m_panel.get(),
        [this] { m_panel->setOutsideClicksPaused(false); });
    m_services.notifier.setTrayIcon(&m_tray->icon());
    // Qt shows the icon by itself once a tray appears; until then the
    // shortcuts and the command line are the way in, and the user is told so.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        tellUser(Notifier::Topic::noTray, qtTrId("notice.noTray.title"), qtTrId("status.noTray"));
    if (const QString reason = m_services.pasteboard.unavailableReason(); !reason.isEmpty())
        tellUser(Notifier::Topic::clipboardUnavailable, qtTrId("notice.clipboardUnavailable.title"),
            qtTrId("notice.clipboardUnavailable.message").arg(reason));
    if (const QString reason = m_services.namedShortcuts.unavailableReason(); !reason.isEmpty())
        tellUser(Notifier::Topic::shortcutsUnavailable, qtTrId("notice.shortcutsUnavailable.title"),
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
    // Limits apply before the panel, which follows the settings too, reloads.
    connect(m_settings.get(), &Settings::settingsDidChange, m_store.get(), &ClipStore::applyLimits);
    m_panel->start(*this);
    startSharing();
    // The list's context menu holds the keyboard while it is open, as the
    // tray menu does.
    m_hotkey->keepShortcutsWorkingIn(*m_panel->history()->contextMenu());
}

void AppDelegate::applicationWillTerminate()
{
    if (m_monitor) {
        m_monitor->stop();
        // A copy still being prepared is kept, not lost with the program.
        m_monitor->finishPending();
    }
    m_panel->setOutsideClicksPaused(true);
    recordShortcutOpens();
}

void AppDelegate::toggleFromShortcut(ListMode mode)
{
    if (!m_panel->toggleFromShortcut(mode))
        return;
    ++m_pendingShortcutOpens;
    m_shortcutOpenTimer.start();
}

void AppDelegate::recordShortcutOpens()
{
    m_shortcutOpenTimer.stop();
    for (; m_pendingShortcutOpens > 0; --m_pendingShortcutOpens)
        m_reviewPrompt->recordHotkeyPanelOpen(m_panel->history());
}

void AppDelegate::openPreferences()
{
    if (!m_preferencesController) {
        m_preferencesController = std::make_unique<PreferencesController>(
            *m_settings, *m_store, m_services.namedShortcuts, *m_loginItem);
        m_sharingPreferences = new SharingPreferences(m_services.defaults, m_services.appSupportDir,
            [this] { return m_sync ? m_sync->machines() : QList<MachineStatus>(); });
        m_preferencesController->addSection(qtTrId("prefs.section.sharing"), m_sharingPreferences);
        connect(m_sharingPreferences, &SharingPreferences::sharingChanged, this,
            &AppDelegate::startSharing);
    }
    m_sharingPreferences->refresh();
    PreferencesController &preferences = *m_preferencesController;
    preferences.refreshLaunchAtLogin();
    preferences.setPasteUnavailableReason(m_paste->unavailableReason());
    if (!preferences.isVisible())
        preferences.restoreFrame(m_panel->workArea());
    m_panel->showAuxiliaryWindow(preferences);
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
    if (runAlertModally(box) == confirm)
        m_store->clearHistory();
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
    if (m_tray)
        m_tray->setRecording(recording);
    emit recordingChanged(recording);
}

void AppDelegate::historyDidChoose(const Clip &clip)
{
    // A click into the panel while another program was active makes that
    // program the one to go back to.
    m_panel->rememberPreviousApp();
    const bool copied = copyToClipboard(clip);
    if (!copied) {
        // Told each time it is chosen: each is a choice that did nothing.
        const Notifier::Topic key = Notifier::Topic::imageMissing;
        m_services.notifier.resolve(key);
        tellUser(key, qtTrId("notice.imageMissing.title"),
            qtTrId("notice.imageMissing.message").arg(m_store->imagePath(clip)));
    }
    finishChoice(copied);
}

void AppDelegate::historyDidChooseAsPlainText(const Clip &clip)
{
    // An image has no text to use in its place.
    if (!clip.text) {
        historyDidChoose(clip);
        return;
    }
    m_panel->rememberPreviousApp();
    monitor().writePlainText(*clip.text);
    finishChoice(true);
}

void AppDelegate::finishChoice(bool paste)
{
    m_panel->dismiss();
    if (paste)
        m_paste->pasteInto(m_panel->previousApp());
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
    const QRect visibleFrame = m_panel->workArea(QSize(520, 380));
    auto *editor = new EditClipController(clip, *m_store, visibleFrame);
    editor->setAttribute(Qt::WA_DeleteOnClose);
    m_editController = editor;
    if (clip.kind == ClipKind::image) {
        EditClipController::fitToVisibleScreen(*editor, visibleFrame);
    } else {
        QRect frame(QPoint(), editor->size());
        frame.moveCenter(visibleFrame.center());
        editor->move(frame.topLeft());
    }
    m_panel->showAuxiliaryWindow(*editor);
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
    m_panel->dismiss();
}
