// SPDX-License-Identifier: GPL-3.0-or-later
#include "globalhotkeys/SystemHotkeys.h"

#include "globalhotkeys/HotkeyRegistrar.h"
#include "globalhotkeys/KeyboardLayout.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace GlobalHotkeys {

namespace {

// What we answer for an id beyond what the desktop can carry; cannot happen
// in practice, as ids are counted from 1.
constexpr int statusIdOutOfRange = -1;

} // namespace

SystemHotkeys::SystemHotkeys(
    HotkeyRegistrar &registrar, const KeyboardLayout &layout, QObject *parent)
    : QObject(parent)
    , m_registrar(registrar)
    , m_layout(layout)
{
    connect(&m_registrar, &HotkeyRegistrar::hotkeyPressed, this, &SystemHotkeys::onHotkeyPressed);
    connect(&m_registrar, &HotkeyRegistrar::hotkeyReleased, this, &SystemHotkeys::onHotkeyReleased);
}

// The registrations end with the registrar's connection; the registrar may
// already be gone here, so it is not called.
SystemHotkeys::~SystemHotkeys()
{
    setListensToKeyEvents(false);
}

void SystemHotkeys::register_(const Shortcut &shortcut, Callback onKeyDown, Callback onKeyUp)
{
    // Ids are never reused, also not those of refused registrations.
    ++m_hotKeyId;
    HotKey hotKey { shortcut, m_hotKeyId, false, std::move(onKeyDown), std::move(onKeyUp) };
    // The open menu holds the keyboard and every hot key is withdrawn; this
    // one joins them when the menu closes.
    if (m_handlerInstalled && m_isEnabled && m_isMenuOpen) {
        m_hotKeys.emplace(hotKey.carbonHotKeyId, std::move(hotKey));
        return;
    }
    const int status = registerWithSystem(hotKey);
    if (status != 0) {
        reportFailure(shortcut, status);
        return;
    }
    hotKey.registered = true;
    m_hotKeys.emplace(hotKey.carbonHotKeyId, std::move(hotKey));
    if (!m_handlerInstalled) {
        m_handlerInstalled = true;
        updateEventHandler(m_isEnabled, m_isMenuOpen);
    }
}

void SystemHotkeys::unregister(const Shortcut &shortcut)
{
    for (auto it = m_hotKeys.begin(); it != m_hotKeys.end();) {
        if (it->second.shortcut == shortcut) {
            if (it->second.registered)
                m_registrar.unregisterHotkey(quint32(it->first));
            it = m_hotKeys.erase(it);
        } else {
            ++it;
        }
    }
}

void SystemHotkeys::updateEventHandler(bool isEnabled, bool isMenuOpen)
{
    m_isEnabled = isEnabled;
    m_isMenuOpen = isMenuOpen;
    if (!m_handlerInstalled)
        return;
    if (!isEnabled) {
        withdrawAll();
        m_listensToHotkeys = false;
        setListensToKeyEvents(false);
    } else if (!isMenuOpen) {
        restoreAll();
        setListensToKeyEvents(false);
        m_listensToHotkeys = true;
    } else {
        // Our menu holds the keyboard, so a hot key would not fire anyway; the
        // menu's key events are matched instead.
        withdrawAll();
        m_listensToHotkeys = false;
        setListensToKeyEvents(true);
    }
}

bool SystemHotkeys::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (!m_listensToKeyEvents
        || (type != QEvent::KeyPress && type != QEvent::KeyRelease
            && type != QEvent::ShortcutOverride))
        return QObject::eventFilter(watched, event);
    auto *keyEvent = static_cast<QKeyEvent *>(event);
    const quint32 scanCode = keyEvent->nativeScanCode();

    // A key whose press we took: its repeats and its release are ours too,
    // whatever modifiers are still down.
    if (m_menuKeysDown.contains(scanCode)) {
        if (type == QEvent::KeyRelease && !keyEvent->isAutoRepeat()) {
            const qint64 id = m_menuKeysDown.take(scanCode);
            const auto it = m_hotKeys.find(id);
            if (it != m_hotKeys.end()) {
                const Shortcut shortcut = it->second.shortcut;
                const Callback onKeyUp = it->second.onKeyUp;
                onKeyUp(shortcut);
            }
        }
        event->accept();
        return true;
    }

    const std::optional<Shortcut> pressed
        = Shortcut::fromNativeKey(scanCode, keyEvent->modifiers());
    if (!pressed)
        return QObject::eventFilter(watched, event);
    const auto match = std::find_if(m_hotKeys.begin(), m_hotKeys.end(), [&](const auto &entry) {
        return entry.second.shortcut.carbonKeyCode() == pressed->carbonKeyCode()
            && entry.second.shortcut.carbonModifiers() == pressed->carbonModifiers();
    });
    if (match == m_hotKeys.end())
        return QObject::eventFilter(watched, event);

    // Qt asks with ShortcutOverride before it delivers a press; claiming the
    // key keeps a shortcut of our own application from taking it first.
    event->accept();
    if (type == QEvent::ShortcutOverride)
        return true;
    const Shortcut shortcut = match->second.shortcut;
    if (type == QEvent::KeyPress) {
        m_menuKeysDown.insert(scanCode, match->first);
        const Callback onKeyDown = match->second.onKeyDown;
        onKeyDown(shortcut);
    } else {
        const Callback onKeyUp = match->second.onKeyUp;
        onKeyUp(shortcut);
    }
    return true;
}

void SystemHotkeys::onHotkeyPressed(quint32 id)
{
    dispatchHotkey(id, true);
}

void SystemHotkeys::onHotkeyReleased(quint32 id)
{
    dispatchHotkey(id, false);
}

void SystemHotkeys::dispatchHotkey(quint32 id, bool pressed)
{
    if (!m_listensToHotkeys)
        return;
    const auto it = m_hotKeys.find(id);
    if (it == m_hotKeys.end())
        return;
    // Copies: the callback may register or unregister shortcuts.
    const Shortcut shortcut = it->second.shortcut;
    const Callback callback = pressed ? it->second.onKeyDown : it->second.onKeyUp;
    callback(shortcut);
}

int SystemHotkeys::registerWithSystem(const HotKey &hotKey)
{
    if (hotKey.carbonHotKeyId > std::numeric_limits<quint32>::max())
        return statusIdOutOfRange;
    return m_registrar.registerHotkey(quint32(hotKey.carbonHotKeyId), hotKey.shortcut);
}

void SystemHotkeys::reportFailure(const Shortcut &shortcut, int status)
{
    // The console line is for those who started the program from a
    // terminal; the application tells everyone else through the signal.
    emit registrationFailed(shortcut, status);
    const QByteArray line = "Error registering hotkey " + shortcut.description(m_layout).toUtf8()
        + ": " + QByteArray::number(status) + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

void SystemHotkeys::withdrawAll()
{
    for (auto &[id, hotKey] : m_hotKeys) {
        if (hotKey.registered) {
            m_registrar.unregisterHotkey(quint32(id));
            hotKey.registered = false;
        }
    }
}

void SystemHotkeys::restoreAll()
{
    for (auto it = m_hotKeys.begin(); it != m_hotKeys.end();) {
        HotKey &hotKey = it->second;
        if (hotKey.registered) {
            ++it;
            continue;
        }
        const int status = registerWithSystem(hotKey);
        if (status == 0) {
            hotKey.registered = true;
            ++it;
        } else {
            reportFailure(hotKey.shortcut, status);
            it = m_hotKeys.erase(it);
        }
    }
}

void SystemHotkeys::setListensToKeyEvents(bool listen)
{
    if (listen == m_listensToKeyEvents)
        return;
    m_listensToKeyEvents = listen;
    m_menuKeysDown.clear();
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    if (listen)
        app->installEventFilter(this);
    else
        app->removeEventFilter(this);
}

} // namespace GlobalHotkeys
