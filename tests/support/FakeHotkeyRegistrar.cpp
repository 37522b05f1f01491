// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeHotkeyRegistrar.h"

using GlobalHotkeys::Shortcut;

int FakeHotkeyRegistrar::registerHotkey(quint32 id, const Shortcut &shortcut)
{
    const int status = m_refused.value(shortcut, 0);
    if (status == 0)
        m_live.insert(id, shortcut);
    return status;
}

void FakeHotkeyRegistrar::unregisterHotkey(quint32 id)
{
    m_live.remove(id);
}

bool FakeHotkeyRegistrar::isHeldByAnotherProgram(const Shortcut &shortcut)
{
    return m_refused.contains(shortcut) && !m_live.values().contains(shortcut);
}

void FakeHotkeyRegistrar::refuse(const Shortcut &shortcut, int status)
{
    m_refused.insert(shortcut, status);
}

bool FakeHotkeyRegistrar::press(const Shortcut &shortcut)
{
    const quint32 id = m_live.key(shortcut, 0);
    if (id == 0)
        return false;
    emit hotkeyPressed(id);
    return true;
}

bool FakeHotkeyRegistrar::release(const Shortcut &shortcut)
{
    const quint32 id = m_live.key(shortcut, 0);
    if (id == 0)
        return false;
    emit hotkeyReleased(id);
    return true;
}
