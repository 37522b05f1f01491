// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QUrl>

#include <memory>

class HotkeyController;
class Notifier;
class QMenu;
class QSystemTrayIcon;
class QWidget;

// The tray icon with its menu (show or hide the panel, preferences, clearing,
// pausing, sharing, quitting) and the share menu that offers the program's
// page by the clipboard or by email. The menus say what the user chose; the
// application controller acts on it.
class TrayMenu : public QObject
{
    Q_OBJECT
public:
    // The menu names the panel's Show or Hide by whether `panel` is on screen.
    TrayMenu(const QWidget &panel, HotkeyController &hotkeys, Notifier &notifier,
        QObject *parent = nullptr);
    ~TrayMenu() override;

    QSystemTrayIcon &icon() const { return *m_icon; }
    // The icon and the Pause item follow whether copies are recorded.
    void setRecording(bool recording);
    // Opens the share menu at the tray icon.
    void share();

    // The program's page, which sharing hands on.
    static QUrl shareAddress();

signals:
    void toggleVisibilityRequested();
    void preferencesRequested();
    void clearHistoryRequested();
    void recordingRequested(bool recording);
    // Share by the clipboard: these words go on it.
    void copyRequested(const QString &text);
    void quitRequested();
    // While a menu is open a click elsewhere only closes it.
    void menuOpened();
    void menuClosed();

private:
    void build();
    void sendByMail();

    const QWidget &m_panel;
    HotkeyController &m_hotkeys;
    Notifier &m_notifier;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QMenu> m_shareMenu;
    // Refers to the menu; it goes first.
    std::unique_ptr<QSystemTrayIcon> m_icon;
    bool m_recording = true;
};
