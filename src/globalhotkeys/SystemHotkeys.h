// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "globalhotkeys/Shortcut.h"

#include <QHash>
#include <QObject>

#include <functional>
#include <map>

namespace GlobalHotkeys {

class HotkeyRegistrar;
class KeyboardLayout;

// Turns shortcuts into system-wide hot keys and calls back on their press
// and release. Three modes: normal (hot keys registered), disabled (all
// withdrawn) and menu open (all withdrawn, since our menu holds the keyboard;
// the key events the menu receives are matched against the shortcuts).
class SystemHotkeys : public QObject
{
    Q_OBJECT
public:
    using Callback = std::function<void(const Shortcut &)>;

    SystemHotkeys(
        HotkeyRegistrar &registrar, const KeyboardLayout &layout, QObject *parent = nullptr);
    ~SystemHotkeys() override;

    // A refused shortcut is reported (on the console and by
    // registrationFailed) and not kept. While a menu is open nothing is
    // registered with the system: the shortcut waits for the menu to close.
    void register_(const Shortcut &shortcut, Callback onKeyDown, Callback onKeyUp);
    // Every registration of that shortcut.
    void unregister(const Shortcut &shortcut);
    // Chooses the mode from the two switches of the named shortcuts.
    void updateEventHandler(bool isEnabled, bool isMenuOpen);

signals:
    void registrationFailed(const GlobalHotkeys::Shortcut &shortcut, int status);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct HotKey
    {
        Shortcut shortcut;
        qint64 carbonHotKeyId = 0;
        bool registered = false; // false while withdrawn
        Callback onKeyDown;
        Callback onKeyUp;
    };

    void onHotkeyPressed(quint32 id);
    void onHotkeyReleased(quint32 id);
    void dispatchHotkey(quint32 id, bool pressed);
    int registerWithSystem(const HotKey &hotKey);
    void reportFailure(const Shortcut &shortcut, int status);
    void withdrawAll();
    void restoreAll();
    void setListensToKeyEvents(bool listen);

    HotkeyRegistrar &m_registrar;
    const KeyboardLayout &m_layout;
    // Ordered by id, so "the first matching hot key" is always the same one.
    std::map<qint64, HotKey> m_hotKeys;
    qint64 m_hotKeyId = 0;
    bool m_handlerInstalled = false;
    bool m_isEnabled = true;
    bool m_isMenuOpen = false;
    bool m_listensToHotkeys = false;
    bool m_listensToKeyEvents = false;
    // Keys whose press matched while a menu was open, by scan code, so that
    // the release reaches the same hot key even after its modifiers went up.
    QHash<quint32, qint64> m_menuKeysDown;
};

} // namespace GlobalHotkeys
