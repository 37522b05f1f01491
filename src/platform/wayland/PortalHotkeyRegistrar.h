// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "globalhotkeys/HotkeyRegistrar.h"
#include "globalhotkeys/Shortcut.h"
#include "platform/wayland/PortalShortcut.h"

#include <QDBusConnection>
#include <QHash>
#include <QMap>

#include <functional>
#include <memory>
#include <optional>

class Notifier;
namespace GlobalHotkeys {
class NamedShortcuts;
}
class QDBusMessage;
class QDBusPendingCallWatcher;

// System-wide shortcuts on Wayland through the desktop portal's
// GlobalShortcuts interface: the shortcuts are handed to the desktop as
// actions with the user's keys as the preferred triggers, and the desktop
// decides (it may ask the user, or keep the keys they chose there before).
// Every call is asynchronous. Where no portal offers the interface, or the
// portal refuses, the fallback registrar takes over and the user binds our
// command line in the desktop's settings; a refusal is told to the user.
class PortalHotkeyRegistrar : public GlobalHotkeys::HotkeyRegistrar
{
    Q_OBJECT
public:
    // The action a shortcut stands for: an id that stays while the user
    // changes the keys, so that the desktop keeps its binding, and the text
    // it is listed under there.
    struct Action
    {
        QString id;
        QString description;
    };
    using ActionFor = std::function<std::optional<Action>(const GlobalHotkeys::Shortcut &)>;
    using TriggerFor = std::function<std::optional<QString>(const GlobalHotkeys::Shortcut &)>;

    PortalHotkeyRegistrar(const QDBusConnection &bus,
        std::unique_ptr<GlobalHotkeys::HotkeyRegistrar> fallback, ActionFor actionFor,
        TriggerFor triggerFor, Notifier &notifier, QObject *parent = nullptr);
    ~PortalHotkeyRegistrar() override;

    // Our two actions, the panel with all clips and with the kept ones, by
    // the shortcut each name holds now.
    static ActionFor standardActions(const GlobalHotkeys::NamedShortcuts &names);

    // 0 once the portal is asked; its answer comes later.
    int registerHotkey(quint32 id, const GlobalHotkeys::Shortcut &shortcut) override;
    // The desktop keeps its binding; presses of it are ignored until the
    // shortcut is registered again.
    void unregisterHotkey(quint32 id) override;
    QString unavailableReason() const override;
    // The desktop settles clashes itself: with the portal nothing counts as held.
    bool isHeldByAnotherProgram(const GlobalHotkeys::Shortcut &shortcut) override;
    Owner owner() const override;
    // The portal shows its own page from version 2 of the interface on.
    bool canConfigure() const override;
    void configure() override;

private slots:
    void onResponse(const QDBusMessage &message);
    void onActivated(const QDBusMessage &message);
    void onDeactivated(const QDBusMessage &message);

private:
    enum class State { probing, creatingSession, ready, fallback };
    enum class Pending { session, bind };

    void onVersion(QDBusPendingCallWatcher *watcher);
    void createSession();
    void closeSession();
    // Asks the portal; its answer comes as a Response signal on the request
    // object, which is listened to before the call so it cannot be missed.
    void request(
        Pending what, const QString &method, const QList<QVariant> &arguments, QVariantMap options);
    QString requestPath(const QString &token) const;
    void listenForResponse(const QString &path);
    void scheduleBind();
    void bind();
    // What the registered shortcuts ask the desktop for, by action id.
    QMap<QString, QVariantMap> wantedBinding() const;
    void dispatch(const QDBusMessage &message, bool pressed);
    void fallBack(std::optional<uint> refusal);

    QDBusConnection m_bus;
    std::unique_ptr<GlobalHotkeys::HotkeyRegistrar> m_fallback;
    ActionFor m_actionFor;
    TriggerFor m_triggerFor;
    Notifier &m_notifier;
    State m_state = State::probing;
    uint m_version = 0;
    QString m_session;
    QHash<QString, Pending> m_pending;
    int m_tokens = 0;
    bool m_bindScheduled = false;
    bool m_binding = false;
    bool m_bindAgain = false;
    bool m_sessionBound = false;
    bool m_listening = false;
    QHash<quint32, GlobalHotkeys::Shortcut> m_registrations;
    // What the desktop was last given, by action id.
    QMap<QString, QVariantMap> m_bound;
};
