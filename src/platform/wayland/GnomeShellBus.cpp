// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/GnomeShellBus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace GnomeShellBus {

QDBusMessage call(const QString &member, const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, member);
    message.setArguments(arguments);
    return message;
}

bool isGnomeWayland()
{
    // "ubuntu:GNOME", "GNOME-Classic:GNOME", ...
    const QStringList desktops
        = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts);
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && desktops.contains(QStringLiteral("GNOME"), Qt::CaseInsensitive);
}

bool isAvailable(const QDBusConnection &bus)
{
    const QDBusConnectionInterface *busInterface = bus.interface();
    return bus.isConnected() && busInterface && busInterface->isServiceRegistered(service).value();
}

} // namespace GnomeShellBus
