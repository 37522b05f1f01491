// SPDX-License-Identifier: GPL-3.0-or-later
#include "globalhotkeys/ModifierFlags.h"

#include "globalhotkeys/Localization.h"

#include <QCoreApplication>

#include <array>
#include <utility>

namespace GlobalHotkeys {

namespace {

constexpr std::array<std::pair<ModifierFlag, qint64>, 5> carbonBits = { {
    { ModifierFlag::control, CarbonModifier::control },
    { ModifierFlag::option, CarbonModifier::option },
    { ModifierFlag::shift, CarbonModifier::shift },
    { ModifierFlag::command, CarbonModifier::command },
    { ModifierFlag::function, CarbonModifier::function },
} };

constexpr std::array<std::pair<ModifierFlag, Qt::KeyboardModifier>, 4> qtBits = { {
    { ModifierFlag::command, Qt::ControlModifier },
    { ModifierFlag::option, Qt::AltModifier },
    { ModifierFlag::shift, Qt::ShiftModifier },
    { ModifierFlag::control, Qt::MetaModifier },
} };

} // namespace

qint64 carbonModifierMask(ModifierFlags flags)
{
    qint64 mask = 0;
    for (const auto &[flag, bit] : carbonBits) {
        if (flags.testFlag(flag))
            mask |= bit;
    }
    return mask;
}

ModifierFlags modifierFlagsFromCarbon(qint64 mask)
{
    ModifierFlags flags;
    for (const auto &[flag, bit] : carbonBits) {
        if (mask & bit)
            flags |= flag;
    }
    return flags;
}

qint64 normalizedCarbonModifiers(qint64 mask)
{
    return carbonModifierMask(modifierFlagsFromCarbon(mask));
}

Qt::KeyboardModifiers qtModifiers(ModifierFlags flags)
{
    Qt::KeyboardModifiers modifiers;
    for (const auto &[flag, qtModifier] : qtBits) {
        if (flags.testFlag(flag))
            modifiers |= qtModifier;
    }
    return modifiers;
}

ModifierFlags modifierFlagsFromQt(Qt::KeyboardModifiers modifiers)
{
    ModifierFlags flags;
    for (const auto &[flag, qtModifier] : qtBits) {
        if (modifiers.testFlag(qtModifier))
            flags |= flag;
    }
    return flags;
}

QString modifierSymbols(ModifierFlags flags)
{
    // Qt's order and Qt's own (translated) names, so that our text reads like
    // every shortcut shown in Qt menus; but the key Qt calls Meta is Super on
    // the keyboards and in the desktops' settings, and in our messages.
    QString text;
    if (flags.testFlag(ModifierFlag::control))
        text += localizedString("super_key") + QLatin1Char('+');
    if (flags.testFlag(ModifierFlag::command))
        text += QCoreApplication::translate("QShortcut", "Ctrl") + QLatin1Char('+');
    if (flags.testFlag(ModifierFlag::option))
        text += QCoreApplication::translate("QShortcut", "Alt") + QLatin1Char('+');
    if (flags.testFlag(ModifierFlag::shift))
        text += QCoreApplication::translate("QShortcut", "Shift") + QLatin1Char('+');
    return text;
}

} // namespace GlobalHotkeys
