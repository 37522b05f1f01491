// SPDX-License-Identifier: GPL-3.0-or-later
#include "globalhotkeys/NamedShortcuts.h"

#include "globalhotkeys/HotkeyRegistrar.h"
#include "globalhotkeys/SystemHotkeys.h"
#include "model/Defaults.h"
#include "model/SettingsKeys.h"

#include <QSettings>

namespace GlobalHotkeys {

NamedShortcuts::NamedShortcuts(
    Defaults &defaults, HotkeyRegistrar &registrar, const KeyboardLayout &layout, QObject *parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_registrar(registrar)
    , m_layout(layout)
    , m_systemHotkeys(new SystemHotkeys(registrar, layout, this))
{
    connect(m_systemHotkeys, &SystemHotkeys::registrationFailed, this,
        [this, &layout](
            const Shortcut &shortcut) { emit registrationFailed(shortcut.description(layout)); });
}

NamedShortcuts::~NamedShortcuts() = default;

QString NamedShortcuts::unavailableReason() const
{
    return m_registrar.unavailableReason();
}

Name NamedShortcuts::createName(const Name &name)
{
    // Any entry, even false, means the user has been here: the default is a
    // first-start value only.
    if (name.defaultShortcut() && !m_defaults.object(name.storageKey()).isValid())
        store(*name.defaultShortcut(), name);
    return name;
}

std::optional<Shortcut> NamedShortcuts::getShortcut(const Name &name) const
{
    // A stored false, or anything that is not a shortcut's JSON text, reads
    // as no shortcut and is left as it is.
    const QString text = m_defaults.string(name.storageKey());
    if (text.isEmpty())
        return std::nullopt;
    return Shortcut::fromJson(text.toUtf8());
}

void NamedShortcuts::setShortcut(const std::optional<Shortcut> &shortcut, const Name &name)
{
    if (shortcut)
        store(*shortcut, name);
    else
        clear(name, Removal::keepClearedDefault);
}

void NamedShortcuts::reset(const QList<Name> &names)
{
    for (const Name &name : names) {
        if (name.defaultShortcut())
            store(*name.defaultShortcut(), name);
        else
            clear(name, Removal::always);
    }
}

void NamedShortcuts::resetAll()
{
    // The defaults class lists no keys, so the file it writes through to is
    // read directly; every write reaches that file before returning.
    const QSettings file(m_defaults.fileName(), QSettings::IniFormat);
    const QString prefix = QLatin1String(SettingsKeys::globalHotkeysPrefix);
    QList<Name> names;
    const QStringList keys = file.allKeys();
    for (const QString &key : keys) {
        if (key.startsWith(prefix))
            names.append(Name(key.mid(prefix.size())));
    }
    reset(names);
}

void NamedShortcuts::onKeyDown(const Name &name, Action action)
{
    addHandler(m_keyDownHandlers, name, std::move(action));
}

void NamedShortcuts::onKeyUp(const Name &name, Action action)
{
    addHandler(m_keyUpHandlers, name, std::move(action));
}

void NamedShortcuts::removeHandler(const Name &name)
{
    m_keyDownHandlers.remove(name);
    m_keyUpHandlers.remove(name);
    if (const std::optional<Shortcut> shortcut = getShortcut(name))
        unregisterShortcut(*shortcut);
}

void NamedShortcuts::removeAllHandlers()
{
    const QSet<Shortcut> registered = m_registeredShortcuts;
    for (const Shortcut &shortcut : registered)
        unregisterShortcut(shortcut);
    m_keyDownHandlers.clear();
    m_keyUpHandlers.clear();
}

void NamedShortcuts::enable(const QList<Name> &names)
{
    for (const Name &name : names) {
        if (const std::optional<Shortcut> shortcut = getShortcut(name))
            registerShortcut(*shortcut);
    }
}

void NamedShortcuts::disable(const QList<Name> &names)
{
    for (const Name &name : names) {
        if (const std::optional<Shortcut> shortcut = getShortcut(name))
            unregisterShortcut(*shortcut);
    }
}

void NamedShortcuts::setEnabled(bool enabled)
{
    if (enabled == m_isEnabled)
        return;
    m_isEnabled = enabled;
    updateEventHandler();
}

bool NamedShortcuts::isEnabled(const Name &name) const
{
    const std::optional<Shortcut> shortcut = getShortcut(name);
    return m_isEnabled && shortcut && m_registeredShortcuts.contains(*shortcut);
}

void NamedShortcuts::setPaused(bool paused)
{
    m_isPaused = paused;
}

void NamedShortcuts::setMenuOpen(bool open)
{
    if (open == m_isMenuOpen)
        return;
    m_isMenuOpen = open;
    updateEventHandler();
}

void NamedShortcuts::setRecorderActive(bool active)
{
    setPaused(active);
    if (active != m_isRecorderActive) {
        m_isRecorderActive = active;
        updateEventHandler();
    }
    emit recorderActiveStatusDidChange(active);
}

bool NamedShortcuts::isHeldByAnotherProgram(const Shortcut &shortcut)
{
    return m_registrar.isHeldByAnotherProgram(shortcut);
}

void NamedShortcuts::updateEventHandler()
{
    m_systemHotkeys->updateEventHandler(m_isEnabled && !m_isRecorderActive, m_isMenuOpen);
}

void NamedShortcuts::handleOnKeyDown(const Shortcut &shortcut)
{
    dispatch(m_keyDownHandlers, shortcut);
}

void NamedShortcuts::handleOnKeyUp(const Shortcut &shortcut)
{
    dispatch(m_keyUpHandlers, shortcut);
}

void NamedShortcuts::store(const Shortcut &shortcut, const Name &name)
{
    const QString text = QString::fromUtf8(shortcut.toJson());
    if (const std::optional<Shortcut> old = getShortcut(name))
        unregisterShortcut(*old);
    // A name holds its registration as soon as it holds a shortcut, with or
    // without actions; stored first, so that a registrar that binds by name
    // (the GNOME Shell companion's) finds the shortcut under it.
    m_defaults.setObject(name.storageKey(), text);
    registerShortcut(shortcut);
    emit shortcutByNameDidChange(name);
}

void NamedShortcuts::clear(const Name &name, Removal removal)
{
    const std::optional<Shortcut> old = getShortcut(name);
    if (!old)
        return;
    // false keeps the default from coming back on the next start.
    if (removal == Removal::keepClearedDefault && name.defaultShortcut())
        m_defaults.setObject(name.storageKey(), false);
    else
        m_defaults.remove(name.storageKey());
    unregisterShortcut(*old);
    emit shortcutByNameDidChange(name);
}

void NamedShortcuts::registerShortcut(const Shortcut &shortcut)
{
    if (m_registeredShortcuts.contains(shortcut))
        return;
    m_systemHotkeys->register_(
        shortcut, [this](const Shortcut &fired) { handleOnKeyDown(fired); },
        [this](const Shortcut &fired) { handleOnKeyUp(fired); });
    // Kept even when the desktop refused it: the refusal was reported, and
    // the set says what we asked for.
    m_registeredShortcuts.insert(shortcut);
}

void NamedShortcuts::unregisterShortcut(const Shortcut &shortcut)
{
    m_systemHotkeys->unregister(shortcut);
    m_registeredShortcuts.remove(shortcut);
}

void NamedShortcuts::addHandler(
    QHash<Name, QList<Action>> &handlers, const Name &name, Action action)
{
    handlers[name].append(std::move(action));
    if (const std::optional<Shortcut> shortcut = getShortcut(name))
        registerShortcut(*shortcut);
}

void NamedShortcuts::dispatch(const QHash<Name, QList<Action>> &handlers, const Shortcut &shortcut)
{
    if (m_isPaused)
        return;
    // Collected first: an action may add or remove handlers.
    QList<Action> matching;
    for (auto it = handlers.constBegin(); it != handlers.constEnd(); ++it) {
        if (getShortcut(it.key()) == shortcut)
            matching.append(it.value());
    }
    for (const Action &action : matching)
        action();
}

} // namespace GlobalHotkeys
