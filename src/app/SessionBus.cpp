#include "SessionBus.h"

#include <QDBusConnectionInterface>
#include <QFileInfo>

namespace SessionBus {

QDBusConnection connect()
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        // systemd and dbus-broker sessions put the bus here without always
        // exporting its address.
        const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
        const QString socket = runtimeDir + QStringLiteral("/bus");
        if (runtimeDir.isEmpty() || !QFileInfo(socket).exists())
            return QDBusConnection(QStringLiteral("quillstack-no-bus"));
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(socket));
    }
    return QDBusConnection::sessionBus();
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
