// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TrayMenu.h"

#include "app/HotkeyController.h"
#include "app/Notifier.h"
#include "app/StatusIcon.h"

#include <QCursor>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrlQuery>
#include <QWidget>

namespace {

const Notifier::Topic mailNotice = Notifier::Topic::mailUnavailable;

QString shareText()
{
    return qtTrId("share.message");
}

// A message to the mail program, with the sentence and the address.
QUrl shareMailUrl()
{
    QUrl url(QStringLiteral("mailto:"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"),
        QString::fromUtf8(QUrl::toPercentEncoding(qtTrId("share.subject"))));
    query.addQueryItem(QStringLiteral("body"),
        QString::fromUtf8(QUrl::toPercentEncoding(
            shareText() + QStringLiteral("\n\n") + TrayMenu::shareAddress().toString())));
    url.setQuery(query);
    return url;
}

} // namespace

TrayMenu::TrayMenu(
    const QWidget &panel, HotkeyController &hotkeys, Notifier &notifier, QObject *parent)
    : QObject(parent)
    , m_panel(panel)
    , m_hotkeys(hotkeys)
    , m_notifier(notifier)
    , m_menu(std::make_unique<QMenu>())
    , m_icon(std::make_unique<QSystemTrayIcon>())
{
    m_menu->setObjectName(QStringLiteral("trayMenu"));
    m_menu->setAccessibleName(qtTrId("status.accessibility"));
    connect(m_menu.get(), &QMenu::aboutToShow, this, [this] {
        emit menuOpened();
        build();
    });
    connect(m_menu.get(), &QMenu::aboutToHide, this, &TrayMenu::menuClosed);
    m_hotkeys.keepShortcutsWorkingIn(*m_menu);
    // Built now too, so that a shortcut being recorded is checked against it.
    build();
    setRecording(true);
    m_icon->setContextMenu(m_menu.get());
    // A plain click opens the menu too, as the right button does.
    connect(m_icon.get(), &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger && !m_menu->isVisible())
                m_menu->popup(QCursor::pos());
        });
    m_icon->show();
}

TrayMenu::~TrayMenu() = default;

void TrayMenu::setRecording(bool recording)
{
    m_recording = recording;
    m_icon->setIcon(recording ? StatusIcon::icon() : StatusIcon::pausedIcon());
    m_icon->setToolTip(recording ? qtTrId("status.accessibility") : qtTrId("status.paused"));
}

void TrayMenu::build()
{
    QMenu &menu = *m_menu;
    menu.clear();
    menu.addAction(m_panel.isVisible() ? qtTrId("menu.hide") : qtTrId("menu.show"), this,
        &TrayMenu::toggleVisibilityRequested);
    menu.addSeparator();
    menu.addAction(qtTrId("menu.settings"), this, &TrayMenu::preferencesRequested);
    menu.addAction(qtTrId("menu.clearHistory"), this, &TrayMenu::clearHistoryRequested);
    QAction *pause = menu.addAction(qtTrId("menu.pauseRecording"), this,
        [this](bool paused) { emit recordingRequested(!paused); });
    pause->setCheckable(true);
    pause->setChecked(!m_recording);
    menu.addSeparator();
    menu.addAction(qtTrId("menu.share"), this, &TrayMenu::share);
    menu.addSeparator();
    QAction *quit = menu.addAction(qtTrId("menu.quit"), this, &TrayMenu::quitRequested);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

QUrl TrayMenu::shareAddress()
{
    return QUrl(QStringLiteral("https://github.com/quillstack/quillstack"));
}

void TrayMenu::share()
{
    if (!m_shareMenu) {
        m_shareMenu = std::make_unique<QMenu>();
        m_shareMenu->setObjectName(QStringLiteral("shareMenu"));
        m_shareMenu->addAction(qtTrId("share.copy"), this, [this] {
            emit copyRequested(shareText() + QLatin1Char('\n') + shareAddress().toString());
        });
        m_shareMenu->addAction(qtTrId("share.mail"), this, &TrayMenu::sendByMail);
        m_hotkeys.keepShortcutsWorkingIn(*m_shareMenu);
    }
    // After the tray menu has closed and let go of the keyboard.
    QTimer::singleShot(0, this, [this] {
        // At the tray icon when the tray says where it is, else at the pointer.
        const QRect icon = m_icon->geometry();
        m_shareMenu->popup(icon.isValid() ? icon.bottomLeft() : QCursor::pos());
    });
}

void TrayMenu::sendByMail()
{
    // xdg-email finds the desktop's mail program and fails when there is
    // none. What it prints is for us to judge, not for our console.
    auto *launcher = new QProcess(this);
    launcher->setStandardOutputFile(QProcess::nullDevice());
    launcher->setStandardErrorFile(QProcess::nullDevice());
    const auto done = [this, launcher](bool sent) {
        launcher->deleteLater();
        if (sent)
            m_notifier.resolve(mailNotice);
        else
            m_notifier.report(mailNotice, qtTrId("notice.mailUnavailable.title"),
                qtTrId("notice.mailUnavailable.message").arg(shareAddress().toString()));
    };
    connect(launcher, &QProcess::finished, this, [done](int code, QProcess::ExitStatus status) {
        done(status == QProcess::NormalExit && code == 0);
    });
    connect(launcher, &QProcess::errorOccurred, this, [done](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            done(false);
    });
    launcher->start(QStringLiteral("xdg-email"), { QString::fromUtf8(shareMailUrl().toEncoded()) });
}
