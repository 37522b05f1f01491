// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

// GNOME Shell opens its overview once started, and the overview holds the
// keyboard: a test waits for it to show, then leaves it with Escape, as a
// user would, before it opens windows of its own.
inline bool gnomeOverviewShown(QDBusConnection bus = QDBusConnection::sessionBus())
{
    const QDBusMessage reply
        = bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.gnome.Shell"),
                       QStringLiteral("/org/gnome/Shell"),
                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"))
            << QStringLiteral("org.gnome.Shell") << QStringLiteral("OverviewActive"));
    return reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
}
