// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "globalhotkeys/Shortcut.h"

#include <QList>

class QAction;
class QMenu;

namespace GlobalHotkeys {

class KeyboardLayout;

// The desktop's own keyboard shortcuts that a new shortcut must not take.
// Linux desktops offer no common way to read them: the list is empty, and a
// key another program holds shows up as a refused registration instead.
QList<Shortcut> systemShortcuts();

// The first of these menu items, or of their submenus' items (depth first),
// whose shortcut is this one; null when none is. Keypad keys never match.
QAction *menuItemWithMatchingShortcut(
    const QList<QAction *> &items, const Shortcut &shortcut, const KeyboardLayout &layout);
QAction *menuItemWithMatchingShortcut(
    const QMenu &menu, const Shortcut &shortcut, const KeyboardLayout &layout);

} // namespace GlobalHotkeys
