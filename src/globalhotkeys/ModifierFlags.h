// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFlags>
#include <QString>
#include <Qt>

namespace GlobalHotkeys {

// The modifier keys of a shortcut as a modifier-flag set. The values are
// those of the stored shortcut format's key events, so that converting to
// and from the stored mask needs no second table.
enum class ModifierFlag : int {
    shift = 0x20000,
    control = 0x40000,
    option = 0x80000,
    command = 0x100000,
    function = 0x800000,
};
Q_DECLARE_FLAGS(ModifierFlags, ModifierFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(ModifierFlags)

// The bits of a stored ("Carbon") modifier mask.
namespace CarbonModifier {
inline constexpr qint64 command = 0x100;
inline constexpr qint64 shift = 0x200;
inline constexpr qint64 option = 0x800;
inline constexpr qint64 control = 0x1000;
inline constexpr qint64 function = 0x20000;
} // namespace CarbonModifier

// Only the five flags above take part; any other bit is dropped.
qint64 carbonModifierMask(ModifierFlags flags);
ModifierFlags modifierFlagsFromCarbon(qint64 mask);
// Keeps exactly the five known bits of a stored mask.
qint64 normalizedCarbonModifiers(qint64 mask);

// On Linux command is Ctrl, option is Alt, control is Super (Qt's Meta);
// function has no counterpart and is lost on the way to Qt.
Qt::KeyboardModifiers qtModifiers(ModifierFlags flags);
ModifierFlags modifierFlagsFromQt(Qt::KeyboardModifiers modifiers);

// The modifiers as Qt's native key-sequence text writes them, each followed
// by "+": "Ctrl+Alt+" for command and option.
QString modifierSymbols(ModifierFlags flags);

} // namespace GlobalHotkeys
