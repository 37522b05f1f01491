// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

namespace GlobalHotkeys {

class Shortcut;

// The desktop's system-wide hot keys: a shortcut registered here reaches us
// whichever application has the keyboard. Registrations carry an id of the
// caller's choosing; presses and releases come back with that id.
class HotkeyRegistrar : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // 0 when the shortcut is now ours; otherwise the system's status, which
    // is shown to the user (on X11 the error code: 10 when another program
    // holds the key).
    virtual int registerHotkey(quint32 id, const Shortcut &shortcut) = 0;
    virtual void unregisterHotkey(quint32 id) = 0;
    // Why no hot key can be registered at all (no connection to the
    // desktop); empty when they can.
    virtual QString unavailableReason() const { return QString(); }
    // Whether another program holds the shortcut now, so that registering it
    // would fail; asked before the user is allowed to choose it. A shortcut
    // registered here is ours, not held by another.
    virtual bool isHeldByAnotherProgram(const Shortcut &shortcut) = 0;

    // Who decides which keys fire the shortcuts: this program (it grabs the
    // keys itself), the desktop (the shortcuts are handed to it, it may ask
    // the user or pick other keys), or the user alone (nothing reaches us
    // unless they bind our command line in the desktop's settings).
    enum class Owner { program, desktop, user };
    virtual Owner owner() const { return Owner::program; }
    // Whether the desktop can show its own page for changing our shortcuts,
    // and showing it.
    virtual bool canConfigure() const { return false; }
    virtual void configure() { }

signals:
    // One press per hold of the key, however long it auto-repeats, and one
    // release when the key itself goes up, whatever became of the modifiers.
    void hotkeyPressed(quint32 id);
    void hotkeyReleased(quint32 id);
    // owner() or canConfigure() answers differently now.
    void ownerChanged();
};

} // namespace GlobalHotkeys
