// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/GnomeShellHotkeyRegistrar.h"

#include "globalhotkeys/StandardNames.h"
#include "platform/wayland/GnomeShellBus.h"
#include "platform/wayland/PortalHotkeyRegistrar.h"

#include <QDBusMessage>
#include <QDBusServiceWatcher>

using GlobalHotkeys::Shortcut;

GnomeShellHotkeyRegistrar::GnomeShellHotkeyRegistrar(const QDBusConnection &bus,
    std::unique_ptr<GlobalHotkeys::HotkeyRegistrar> fallback, NameFor nameFor,
    TriggerFor triggerFor, QObject *parent)
    : HotkeyRegistrar(parent)
    , m_bus(bus)
    , m_fallback(std::move(fallback))
    , m_nameFor(std::move(nameFor))
    , m_triggerFor(std::move(triggerFor))
    , m_watcher(new QDBusServiceWatcher(
          GnomeShellBus::service, bus, QDBusServiceWatcher::WatchForOwnerChange, this))
    , m_companion(GnomeShellBus::isAvailable(bus))
{
    connect(m_fallback.get(), &HotkeyRegistrar::hotkeyPressed, this, [this](quint32 id) {
        if (!m_companion)
            emit hotkeyPressed(id);
    });
    connect(m_fallback.get(), &HotkeyRegistrar::hotkeyReleased, this, [this](quint32 id) {
        if (!m_companion)
            emit hotkeyReleased(id);
    });
    m_bus.connect(GnomeShellBus::service, GnomeShellBus::path, GnomeShellBus::interface,
        GnomeShellBus::Member::shortcutActivated, this, SLOT(onShortcutActivated(QString)));
    // A shell that restarts, or a companion enabled later, starts without our keys.
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
        [this](const QString &, const QString &, const QString &newOwner) {
            setCompanion(!newOwner.isEmpty());
        });
}

GnomeShellHotkeyRegistrar::NameFor GnomeShellHotkeyRegistrar::standardNames(
    const GlobalHotkeys::NamedShortcuts &names)
{
    return [actionFor = PortalHotkeyRegistrar::standardActions(names)](
               const Shortcut &shortcut) -> std::optional<QString> {
        using namespace GlobalHotkeys::StandardNames;
        const std::optional<PortalHotkeyRegistrar::Action> action = actionFor(shortcut);
        if (!action)
            return std::nullopt;
        return action->id == togglePanel().rawValue() ? GnomeShellBus::Shortcut::openHistory
                                                      : GnomeShellBus::Shortcut::openKept;
    };
}

QString GnomeShellHotkeyRegistrar::acceleratorFromTrigger(const QString &trigger)
{
    static const QHash<QString, QString> modifiers {
        { QStringLiteral("CTRL"), QStringLiteral("<Control>") },
        { QStringLiteral("ALT"), QStringLiteral("<Alt>") },
        { QStringLiteral("SHIFT"), QStringLiteral("<Shift>") },
        { QStringLiteral("LOGO"), QStringLiteral("<Super>") },
    };
    QStringList parts = trigger.split(u'+');
    QString key = parts.takeLast();
    // Letters by their lower-case keysym, as GNOME's own settings write them.
    if (key.size() == 1)
        key = key.toLower();
    QString accelerator;
    for (const QString &part : std::as_const(parts))
        accelerator += modifiers.value(part);
    return accelerator + key;
}

int GnomeShellHotkeyRegistrar::registerHotkey(quint32 id, const Shortcut &shortcut)
{
    m_registrations.insert(id, shortcut);
    if (!m_companion)
        return m_fallback->registerHotkey(id, shortcut);
    const std::optional<QString> name = m_nameFor(shortcut);
    if (name && bind().contains(*name)) {
        m_registrations.remove(id);
        return refusedStatus;
    }
    return 0;
}

void GnomeShellHotkeyRegistrar::unregisterHotkey(quint32 id)
{
    m_registrations.remove(id);
    if (m_companion)
        bind();
    else
        m_fallback->unregisterHotkey(id);
}

QString GnomeShellHotkeyRegistrar::unavailableReason() const
{
    return m_companion ? QString() : m_fallback->unavailableReason();
}

bool GnomeShellHotkeyRegistrar::isHeldByAnotherProgram(const Shortcut &shortcut)
{
    return !m_companion && m_fallback->isHeldByAnotherProgram(shortcut);
}

GnomeShellHotkeyRegistrar::Owner GnomeShellHotkeyRegistrar::owner() const
{
    return m_companion ? Owner::program : Owner::user;
}

QStringList GnomeShellHotkeyRegistrar::bind()
{
    QString openHistory;
    QString openKept;
    for (const Shortcut &shortcut : std::as_const(m_registrations)) {
        const std::optional<QString> name = m_nameFor(shortcut);
        const std::optional<QString> trigger = m_triggerFor(shortcut);
        if (!name || !trigger)
            continue;
        (*name == GnomeShellBus::Shortcut::openHistory ? openHistory : openKept)
            = acceleratorFromTrigger(*trigger);
    }
    const QDBusMessage reply = m_bus.call(
        GnomeShellBus::call(GnomeShellBus::Member::setShortcuts, { openHistory, openKept }),
        QDBus::Block, callTimeout);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().toStringList();
}

void GnomeShellHotkeyRegistrar::setCompanion(bool present)
{
    if (present == m_companion) {
        // A new shell: our keys are bound again there.
        if (present)
            bind();
        return;
    }
    m_companion = present;
    for (auto it = m_registrations.cbegin(); it != m_registrations.cend(); ++it) {
        if (present)
            m_fallback->unregisterHotkey(it.key());
        else
            m_fallback->registerHotkey(it.key(), it.value());
    }
    if (present)
        bind();
    emit ownerChanged();
}

void GnomeShellHotkeyRegistrar::onShortcutActivated(const QString &name)
{
    // The workspace hears of the same press, with the window that had the
    // keyboard: told after it, the panel opens over that window.
    QMetaObject::invokeMethod(
        this, [this, name] { pressed(name); }, Qt::QueuedConnection);
}

void GnomeShellHotkeyRegistrar::pressed(const QString &name)
{
    if (!m_companion)
        return;
    // Copies: a handler may register or unregister shortcuts.
    const QHash<quint32, Shortcut> registrations = m_registrations;
    for (auto it = registrations.cbegin(); it != registrations.cend(); ++it) {
        if (m_nameFor(it.value()) != name)
            continue;
        // The shell tells of the press alone; the panel opens on the pair.
        emit hotkeyPressed(it.key());
        emit hotkeyReleased(it.key());
    }
}
