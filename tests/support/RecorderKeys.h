// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "globalhotkeys/Key.h"
#include "globalhotkeys/KeyCodeTable.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

// Presses a key in the focused widget as Qt delivers it from the keyboard:
// a shortcut override first, then the press, with the key's physical
// position as its native scan code.
inline void pressKey(GlobalHotkeys::Key key, int qtKey, Qt::KeyboardModifiers modifiers = {})
{
    QWidget *target = QApplication::focusWidget();
    if (!target)
        return;
    const quint32 scanCode = quint32(GlobalHotkeys::evdevCodeForKeyCode(key.rawValue).value_or(0)
        + GlobalHotkeys::xkbKeycodeOffset);
    QKeyEvent override(QEvent::ShortcutOverride, qtKey, modifiers, scanCode, 0, 0);
    QApplication::sendEvent(target, &override);
    QKeyEvent press(QEvent::KeyPress, qtKey, modifiers, scanCode, 0, 0);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, qtKey, modifiers, scanCode, 0, 0);
    QApplication::sendEvent(target, &release);
}
