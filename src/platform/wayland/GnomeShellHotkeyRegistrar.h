// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "globalhotkeys/HotkeyRegistrar.h"
#include "globalhotkeys/Shortcut.h"

#include <QDBusConnection>
#include <QHash>

#include <functional>
#include <memory>
#include <optional>

namespace GlobalHotkeys {
class NamedShortcuts;
}
class QDBusServiceWatcher;

// System-wide shortcuts on GNOME's Wayland session through the GNOME Shell
// companion: the shell binds the keys the user chose in our settings, under
// the companion's names for our two shortcuts, and tells us when one is
// pressed. A chord the shell refuses because another binding holds it fails
// to register as a key another X11 client grabbed does. While the companion
// is off the bus the fallback registrar takes over, and the user binds our
// command line in the desktop's settings; the companion's return takes over again.
class GnomeShellHotkeyRegistrar : public GlobalHotkeys::HotkeyRegistrar
{
    Q_OBJECT
public:
    // The companion's name for the shortcut ("open-history", "open-kept"),
    // none for one that is neither of ours.
    using NameFor = std::function<std::optional<QString>(const GlobalHotkeys::Shortcut &)>;
    // The keys in the desktop portal's trigger syntax (portalTrigger).
    using TriggerFor = std::function<std::optional<QString>(const GlobalHotkeys::Shortcut &)>;

    GnomeShellHotkeyRegistrar(const QDBusConnection &bus,
        std::unique_ptr<GlobalHotkeys::HotkeyRegistrar> fallback, NameFor nameFor,
        TriggerFor triggerFor, QObject *parent = nullptr);

    // Our two shortcuts by what each name holds now.
    static NameFor standardNames(const GlobalHotkeys::NamedShortcuts &names);
    // A portal trigger as a GTK accelerator: "CTRL+SHIFT+V" is "<Control><Shift>v".
    static QString acceleratorFromTrigger(const QString &trigger);

    int registerHotkey(quint32 id, const GlobalHotkeys::Shortcut &shortcut) override;
    void unregisterHotkey(quint32 id) override;
    QString unavailableReason() const override;
    // The shell tells of a clash when the shortcut is registered.
    bool isHeldByAnotherProgram(const GlobalHotkeys::Shortcut &shortcut) override;
    Owner owner() const override;

    // The status a refused chord registers with: X11's BadAccess.
    static constexpr int refusedStatus = 10;
    static constexpr int callTimeout = 1000;

private slots:
    void onShortcutActivated(const QString &name);

private:
    // Hands the shell the keys of every registration; the names it refused.
    QStringList bind();
    void setCompanion(bool present);
    void pressed(const QString &name);

    QDBusConnection m_bus;
    std::unique_ptr<GlobalHotkeys::HotkeyRegistrar> m_fallback;
    NameFor m_nameFor;
    TriggerFor m_triggerFor;
    QDBusServiceWatcher *m_watcher;
    bool m_companion = false;
    QHash<quint32, GlobalHotkeys::Shortcut> m_registrations;
};
