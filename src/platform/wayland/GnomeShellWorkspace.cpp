// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/GnomeShellWorkspace.h"

#include "platform/wayland/GnomeShellBus.h"

#include <QCoreApplication>
#include <QDBusMessage>

GnomeShellWorkspace::GnomeShellWorkspace(const QDBusConnection &bus, QObject *parent)
    : Workspace(parent)
    , m_bus(bus)
{
}

std::optional<RunningWindow> GnomeShellWorkspace::frontmostWindow()
{
    const QDBusMessage reply
        = m_bus.call(GnomeShellBus::call(GnomeShellBus::Member::getFocusedWindow, {}), QDBus::Block,
            focusedWindowTimeout);
    const QVariantList answer = reply.arguments();
    if (reply.type() != QDBusMessage::ReplyMessage || answer.size() < 4)
        return std::nullopt;
    const quint64 id = answer.at(0).toULongLong();
    const qint64 pid = answer.at(3).toUInt();
    if (id == 0 || pid == QCoreApplication::applicationPid())
        return std::nullopt;
    return RunningWindow { id, pid > 0 ? std::optional<qint64>(pid) : std::nullopt };
}

void GnomeShellWorkspace::activate(const RunningWindow &window)
{
    m_bus.call(GnomeShellBus::call(GnomeShellBus::Member::activateWindow,
                   { QVariant::fromValue(qulonglong(window.windowId)) }),
        QDBus::NoBlock);
}
