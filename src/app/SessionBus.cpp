// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SessionBus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>

namespace SessionBus {

namespace {

const QString clientConnectionName = QStringLiteral("quillstack-command-line");

bool knowBusAddress()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    // systemd and dbus-broker sessions put the bus here without always
    // exporting its address.
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString socket = runtimeDir + QStringLiteral("/bus");
    if (runtimeDir.isEmpty() || !QFileInfo(socket).exists())
        return false;
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(socket));
    return true;
}

QDBusConnection disconnected()
{
    return QDBusConnection(QStringLiteral("quillstack-no-bus"));
}

} // namespace

QDBusConnection connect()
{
    return knowBusAddress() ? QDBusConnection::sessionBus() : disconnected();
}

ClientConnection::ClientConnection()
    : m_bus(knowBusAddress()
            ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, clientConnectionName)
            : disconnected())
{
}

ClientConnection::~ClientConnection()
{
    // Qt's bus thread announces a failed call after waking the caller; if
    // the program ended meanwhile, that announcement meets Qt's types already
    // torn down and prints warnings. One more round trip to the bus is
    // answered only after it, as the thread handles replies in order.
    if (m_bus.isConnected())
        m_bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                       QStringLiteral("/org/freedesktop/DBus"),
                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")),
            QDBus::Block, 1000);
    m_bus = disconnected();
    QDBusConnection::disconnectFromBus(clientConnectionName);
}

Claim claimServiceName(const QDBusConnection &bus)
{
    if (!bus.isConnected() || !bus.interface())
        return Claim::noBus;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply
        = bus.interface()->registerService(serviceName, QDBusConnectionInterface::DontQueueService,
            QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid())
        return Claim::noBus;
    return reply.value() == QDBusConnectionInterface::ServiceRegistered ? Claim::claimed
                                                                        : Claim::heldByAnother;
}

} // namespace SessionBus
