// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "globalhotkeys/Name.h"
#include "globalhotkeys/Shortcut.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

#include <functional>
#include <optional>

class Defaults;

namespace GlobalHotkeys {

class HotkeyRegistrar;
class KeyboardLayout;
class SystemHotkeys;

// The named global shortcuts: each name's shortcut lives in the defaults
// (JSON text, or false once the user cleared a name that has a default),
// shortcuts held by names are registered as system hot keys, and a hot key's
// press or release runs the actions of every name holding that shortcut.
// One instance, made by the entry point and handed to whoever needs it.
class NamedShortcuts : public QObject
{
    Q_OBJECT
public:
    using Action = std::function<void()>;

    NamedShortcuts(Defaults &defaults, HotkeyRegistrar &registrar, const KeyboardLayout &layout,
        QObject *parent = nullptr);
    ~NamedShortcuts() override;

    // Declares a name: on the first start (nothing stored under it) its
    // default is stored and registered as by setShortcut.
    Name createName(const Name &name);
    // Why no shortcut can work at all (the desktop's hot keys are out of
    // reach); empty when they can.
    QString unavailableReason() const;
    // The desktop's hot keys behind the names: the settings ask it who
    // decides which keys fire them.
    HotkeyRegistrar &registrar() { return m_registrar; }

    std::optional<Shortcut> getShortcut(const Name &name) const;
    // None clears the name: false is stored when it has a default, else the
    // entry is removed.
    void setShortcut(const std::optional<Shortcut> &shortcut, const Name &name);
    // Each name back to its default, or to no entry when it has none.
    void reset(const QList<Name> &names);
    // Removes every stored shortcut; cleared (false) entries stay.
    void resetAll();

    void onKeyDown(const Name &name, Action action);
    void onKeyUp(const Name &name, Action action);
    void removeHandler(const Name &name);
    void removeAllHandlers();

    // Register or unregister the names' shortcuts without touching the store.
    void enable(const QList<Name> &names);
    void disable(const QList<Name> &names);

    // The master switch: off withdraws every hot key.
    bool isEnabled() const { return m_isEnabled; }
    void setEnabled(bool enabled);
    // Whether the name's shortcut is live right now.
    bool isEnabled(const Name &name) const;
    // While paused (a recorder records), hot keys stay registered but run nothing.
    bool isPaused() const { return m_isPaused; }
    void setPaused(bool paused);
    // True while one of our menus is open: it holds the keyboard, so its key
    // events are matched instead. The application calls this from its menus'
    // aboutToShow and aboutToHide.
    bool isMenuOpen() const { return m_isMenuOpen; }
    void setMenuOpen(bool open);
    // A recorder starting or ending a recording: pauses the shortcuts and
    // announces it. The hot keys are withdrawn meanwhile, so that the keys the
    // user presses, our own shortcuts among them, reach the recorder.
    void setRecorderActive(bool active);

    // What a recorder needs besides the names: the layout its texts are
    // written in, and whether another program holds a shortcut.
    const KeyboardLayout &layout() const { return m_layout; }
    bool isHeldByAnotherProgram(const Shortcut &shortcut);

    QSet<Shortcut> registeredShortcuts() const { return m_registeredShortcuts; }

    // The entries the system hot keys call with the shortcut that fired.
    void handleOnKeyDown(const Shortcut &shortcut);
    void handleOnKeyUp(const Shortcut &shortcut);

signals:
    void shortcutByNameDidChange(const GlobalHotkeys::Name &name);
    void recorderActiveStatusDidChange(bool isActive);
    // The desktop refused a shortcut (another program holds it); the text is
    // its description in the current keyboard layout.
    void registrationFailed(const QString &description);

private:
    enum class Removal { keepClearedDefault, always };

    void store(const Shortcut &shortcut, const Name &name);
    void clear(const Name &name, Removal removal);
    void registerShortcut(const Shortcut &shortcut);
    void unregisterShortcut(const Shortcut &shortcut);
    void addHandler(QHash<Name, QList<Action>> &handlers, const Name &name, Action action);
    void dispatch(const QHash<Name, QList<Action>> &handlers, const Shortcut &shortcut);

    void updateEventHandler();

    Defaults &m_defaults;
    HotkeyRegistrar &m_registrar;
    const KeyboardLayout &m_layout;
    SystemHotkeys *m_systemHotkeys;
    bool m_isEnabled = true;
    bool m_isRecorderActive = false;
    bool m_isPaused = false;
    bool m_isMenuOpen = false;
    QHash<Name, QList<Action>> m_keyDownHandlers;
    QHash<Name, QList<Action>> m_keyUpHandlers;
    QSet<Shortcut> m_registeredShortcuts;
};

} // namespace GlobalHotkeys
