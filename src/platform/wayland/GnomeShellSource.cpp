// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/GnomeShellSource.h"

#include "platform/wayland/GnomeShellBus.h"

#include <QDBusConnectionInterface>
#include <QDBusError>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QString staleError = GnomeShellBus::sourceInterface + QStringLiteral(".Error.Stale");
const QString notOfferedError
    = GnomeShellBus::sourceInterface + QStringLiteral(".Error.NotOffered");

} // namespace

GnomeShellSource::GnomeShellSource(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
    m_registered = m_bus.registerObject(
        GnomeShellBus::sourcePath, this, QDBusConnection::ExportScriptableSlots);
}

GnomeShellSource::~GnomeShellSource()
{
    if (m_registered)
        m_bus.unregisterObject(GnomeShellBus::sourcePath);
}

quint32 GnomeShellSource::offer(const Representations &representations)
{
    m_offered = representations;
    return ++m_token;
}

QDBusUnixFileDescriptor GnomeShellSource::Send(uint token, const QString &mimeType)
{
    // What we copied is the companion's to hand on, nobody else's.
    const QDBusConnectionInterface *busInterface = m_bus.interface();
    if (!busInterface
        || busInterface->serviceOwner(GnomeShellBus::service).value() != message().service()) {
        sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Only the shell may ask"));
        return {};
    }
    if (token != m_token) {
        sendErrorReply(staleError, QStringLiteral("The offer is no longer the clipboard's"));
        return {};
    }
    for (const auto &[type, bytes] : std::as_const(m_offered)) {
        if (type != mimeType)
            continue;
        // The companion's end blocks as any pipe's; the writer's does not.
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            sendErrorReply(QDBusError::Failed, QStringLiteral("No pipe"));
            return {};
        }
        m_writer.serve(fds[1], bytes);
        QDBusUnixFileDescriptor readEnd;
        readEnd.giveFileDescriptor(fds[0]);
        return readEnd;
    }
    sendErrorReply(notOfferedError, QStringLiteral("The offer has no such type"));
    return {};
}
