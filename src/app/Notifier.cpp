// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Notifier.h"

#include <QMessageBox>
#include <QSystemTrayIcon>

Notifier::~Notifier() = default;

void Notifier::setTrayIcon(QSystemTrayIcon *icon)
{
    m_trayIcon = icon;
}

void Notifier::report(const QString &key, const QString &title, const QString &message)
{
    if (m_outstanding.contains(key))
        return;
    m_outstanding.insert(key);
    qWarning().noquote() << title + QStringLiteral(": ") + message;
    show(title, message, true);
}

bool Notifier::resolve(const QString &key, const QString &title, const QString &message)
{
    if (!m_outstanding.remove(key))
        return false;
    if (!message.isEmpty()) {
        qInfo().noquote() << title + QStringLiteral(": ") + message;
        show(title, message, false);
    }
    return true;
}

void Notifier::show(const QString &title, const QString &message, bool problem)
{
    if (m_trayIcon && m_trayIcon->isVisible() && QSystemTrayIcon::isSystemTrayAvailable()
        && QSystemTrayIcon::supportsMessages()) {
        m_trayIcon->showMessage(title, message,
            problem ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information, 15000);
        return;
    }
    // No tray to speak through: a small window that does not take the
    // keyboard from what the user is doing, and goes away when closed.
    auto *box = new QMessageBox(problem ? QMessageBox::Warning : QMessageBox::Information,
        QStringLiteral("Quillstack"), title, QMessageBox::Ok);
    box->setInformativeText(message);
    // Wide enough that a command such as "quillstack --toggle" stays on one line.
    box->setStyleSheet(QStringLiteral("QLabel#qt_msgbox_informativelabel { min-width: 26em; }"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    box->setWindowModality(Qt::NonModal);
    box->show();
}
