// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/GnomeShellWorkspace.h"

#include "platform/wayland/GnomeShellBus.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusServiceWatcher>

GnomeShellWorkspace::GnomeShellWorkspace(const QDBusConnection &bus, QObject *parent)
    : Workspace(parent)
    , m_bus(bus)
    , m_watcher(new QDBusServiceWatcher(
          GnomeShellBus::service, bus, QDBusServiceWatcher::WatchForOwnerChange, this))
{
    // Naming the companion's service drops signals anyone else sends us.
    m_bus.connect(GnomeShellBus::service, GnomeShellBus::path, GnomeShellBus::interface,
        GnomeShellBus::Member::focusedWindowChanged, this,
        SLOT(onFocusedWindowChanged(qulonglong, uint)));
    m_bus.connect(GnomeShellBus::service, GnomeShellBus::path, GnomeShellBus::interface,
        GnomeShellBus::Member::shortcutActivated, this,
        SLOT(onShortcutActivated(QString, qulonglong, uint)));
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
        [this](const QString &, const QString &, const QString &newOwner) {
            if (!newOwner.isEmpty())
                askForFocusedWindow();
        });
    askForFocusedWindow();
}

GnomeShellWorkspace::~GnomeShellWorkspace()
{
    m_bus.disconnect(GnomeShellBus::service, GnomeShellBus::path, GnomeShellBus::interface,
        GnomeShellBus::Member::focusedWindowChanged, this,
        SLOT(onFocusedWindowChanged(qulonglong, uint)));
    m_bus.disconnect(GnomeShellBus::service, GnomeShellBus::path, GnomeShellBus::interface,
        GnomeShellBus::Member::shortcutActivated, this,
        SLOT(onShortcutActivated(QString, qulonglong, uint)));
}

void GnomeShellWorkspace::askForFocusedWindow()
{
    const quint64 changesBefore = m_focusChanges;
    GnomeShellBus::askFocusedWindow(
        m_bus, this, [this, changesBefore](const GnomeShellBus::FocusedWindow &focused) {
            // A change announced meanwhile is newer than this answer.
            if (m_focusChanges == changesBefore)
                onFocusedWindowChanged(focused.id, focused.pid);
        });
}

void GnomeShellWorkspace::onFocusedWindowChanged(qulonglong id, uint pid)
{
    ++m_focusChanges;
    m_focusedId = id;
    m_focusedPid = pid;
}

void GnomeShellWorkspace::onShortcutActivated(const QString &, qulonglong id, uint pid)
{
    onFocusedWindowChanged(id, pid);
}

std::optional<RunningWindow> GnomeShellWorkspace::frontmostWindow()
{
    if (m_focusedId == 0 || m_focusedPid == uint(QCoreApplication::applicationPid()))
        return std::nullopt;
    return RunningWindow { m_focusedId,
        m_focusedPid > 0 ? std::optional<qint64>(m_focusedPid) : std::nullopt };
}

void GnomeShellWorkspace::activate(const RunningWindow &window)
{
    m_bus.call(GnomeShellBus::call(GnomeShellBus::Member::activateWindow,
                   { QVariant::fromValue(qulonglong(window.windowId)) }),
        QDBus::NoBlock);
}
