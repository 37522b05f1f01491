// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/GnomeShellBus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace GnomeShellBus {

QDBusMessage call(const QString &member, const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, member);
    message.setArguments(arguments);
    return message;
}

void askFocusedWindow(const QDBusConnection &bus, QObject *context,
    std::function<void(const FocusedWindow &)> answered)
{
    auto *answer
        = new QDBusPendingCallWatcher(bus.asyncCall(call(Member::getFocusedWindow, {})), context);
    QObject::connect(answer, &QDBusPendingCallWatcher::finished, context,
        [answered = std::move(answered)](QDBusPendingCallWatcher *pending) {
            pending->deleteLater();
            const QDBusPendingReply<qulonglong, QString, QString, uint> reply = *pending;
            if (!reply.isError())
                answered(FocusedWindow { reply.argumentAt<0>(), reply.argumentAt<1>(),
                    reply.argumentAt<2>(), reply.argumentAt<3>() });
        });
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
