// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QKeyCombination>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace GlobalHotkeys {

// Keys that have no printable character: they are named rather than
// translated through the keyboard layout. The order is the table order.
enum class SpecialKey {
    return_,
    delete_,
    deleteForward,
    end,
    escape,
    help,
    home,
    space,
    tab,
    pageUp,
    pageDown,
    upArrow,
    rightArrow,
    downArrow,
    leftArrow,
    f1,
    f2,
    f3,
    f4,
    f5,
    f6,
    f7,
    f8,
    f9,
    f10,
    f11,
    f12,
    f13,
    f14,
    f15,
    f16,
    f17,
    f18,
    f19,
    f20,
    keypad0,
    keypad1,
    keypad2,
    keypad3,
    keypad4,
    keypad5,
    keypad6,
    keypad7,
    keypad8,
    keypad9,
    keypadClear,
    keypadDecimal,
    keypadDivide,
    keypadEnter,
    keypadEquals,
    keypadMinus,
    keypadMultiply,
    keypadPlus,
};
inline constexpr int specialKeyCount = 53;

// The special key at a virtual key code; letters, digits, punctuation,
// modifier and media keys are not special.
std::optional<SpecialKey> specialKeyForKeyCode(qint64 keyCode);
// The virtual key code of a special key.
qint64 keyCodeForSpecialKey(SpecialKey key);

// The key's name in shortcut text, as Qt's native key-sequence text writes
// it ("Return", "PgUp", "F13", "Num+7"); space is the localised "space_key".
QString specialKeyDisplayName(SpecialKey key);
// The Qt key that a menu item's shortcut uses for this key; keypad keys have
// none, as they never stand for a menu item's key.
std::optional<Qt::Key> specialKeyMenuKey(SpecialKey key);

} // namespace GlobalHotkeys
