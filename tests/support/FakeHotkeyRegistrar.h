// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "globalhotkeys/HotkeyRegistrar.h"
#include "globalhotkeys/Shortcut.h"

#include <QHash>
#include <QMap>

// The desktop's hot keys in memory: tests read what is registered under
// which id, make the desktop refuse shortcuts, and press and release keys.
class FakeHotkeyRegistrar : public GlobalHotkeys::HotkeyRegistrar
{
public:
    using HotkeyRegistrar::HotkeyRegistrar;

    int registerHotkey(quint32 id, const GlobalHotkeys::Shortcut &shortcut) override;
    void unregisterHotkey(quint32 id) override;
    // A refused shortcut counts as held by another program.
    bool isHeldByAnotherProgram(const GlobalHotkeys::Shortcut &shortcut) override;

    // From now on registering this shortcut answers with this status.
    void refuse(const GlobalHotkeys::Shortcut &shortcut, int status);
    void accept(const GlobalHotkeys::Shortcut &shortcut) { m_refused.remove(shortcut); }

    // What is registered now, by id.
    const QMap<quint32, GlobalHotkeys::Shortcut> &live() const { return m_live; }

    // The user presses or releases the shortcut: the desktop reports it for
    // the registration that holds it. False when none does.
    bool press(const GlobalHotkeys::Shortcut &shortcut);
    bool release(const GlobalHotkeys::Shortcut &shortcut);

private:
    QMap<quint32, GlobalHotkeys::Shortcut> m_live;
    QHash<GlobalHotkeys::Shortcut, int> m_refused;
};
