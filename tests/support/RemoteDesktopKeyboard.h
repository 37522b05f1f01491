// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QList>
#include <QString>

// A user's keyboard in a headless GNOME Shell, whose seat has none: mutter's
// remote-desktop session on the session bus presses the keys. The session
// lives as long as this connection, which must stay open meanwhile.
class RemoteDesktopKeyboard
{
public:
    explicit RemoteDesktopKeyboard(const QDBusConnection &bus);
    ~RemoteDesktopKeyboard();

    // Creates and starts the session; false with mutter's answer when it will not.
    bool start(QString *error);
    // Presses the keysyms in order and releases them in reverse order.
    bool press(const QList<uint> &keysyms, QString *error);

private:
    bool callSession(const QString &method, const QVariantList &arguments, QString *error);

    QDBusConnection m_bus;
    QString m_session;
};
