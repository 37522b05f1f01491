// SPDX-License-Identifier: GPL-3.0-or-later
#include "globalhotkeys/ShortcutConflicts.h"

#include "globalhotkeys/KeyboardLayout.h"
#include "globalhotkeys/SpecialKey.h"

#include <QAction>
#include <QKeyCombination>
#include <QKeySequence>
#include <QMenu>

namespace GlobalHotkeys {

namespace {

// The shortcut as a menu item's Qt key combination would hold it; none when
// no menu item can carry it.
std::optional<QKeyCombination> menuKeyCombination(
    const Shortcut &shortcut, const KeyboardLayout &layout)
{
    const ModifierFlags flags = shortcut.modifiers();
    if (flags.testFlag(ModifierFlag::function))
        return std::nullopt;
    Qt::Key key;
    if (const std::optional<SpecialKey> special = specialKeyForKeyCode(shortcut.carbonKeyCode())) {
        const std::optional<Qt::Key> menuKey = specialKeyMenuKey(*special);
        if (!menuKey)
            return std::nullopt;
        key = *menuKey;
    } else {
        const std::optional<QString> character = keyToCharacter(layout, shortcut.carbonKeyCode());
        if (!character)
            return std::nullopt;
        // Qt names a character key by its upper-case code point; Shift is a
        // modifier of its own in a QKeySequence, never implied by the case.
        const QString upper = character->toUpper();
        const char32_t codePoint = upper.toUcs4().value(0);
        if (upper.toUcs4().size() != 1)
            return std::nullopt;
        key = Qt::Key(codePoint);
    }
    return QKeyCombination(qtModifiers(flags), key);
}

QAction *findIn(const QList<QAction *> &items, const QKeyCombination &combination)
{
    for (QAction *item : items) {
        const QList<QKeySequence> sequences = item->shortcuts();
        for (const QKeySequence &sequence : sequences) {
            if (sequence.count() == 1 && sequence[0] == combination)
                return item;
        }
        if (QMenu *submenu = item->menu()) {
            if (QAction *found = findIn(submenu->actions(), combination))
                return found;
        }
    }
    return nullptr;
}

} // namespace

QList<Shortcut> systemShortcuts()
{
    return {};
}

QAction *menuItemWithMatchingShortcut(
    const QList<QAction *> &items, const Shortcut &shortcut, const KeyboardLayout &layout)
{
    const std::optional<QKeyCombination> combination = menuKeyCombination(shortcut, layout);
    if (!combination)
        return nullptr;
    return findIn(items, *combination);
}

QAction *menuItemWithMatchingShortcut(
    const QMenu &menu, const Shortcut &shortcut, const KeyboardLayout &layout)
{
    return menuItemWithMatchingShortcut(menu.actions(), shortcut, layout);
}

} // namespace GlobalHotkeys
