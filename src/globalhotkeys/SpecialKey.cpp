// SPDX-License-Identifier: GPL-3.0-or-later
#include "globalhotkeys/SpecialKey.h"

#include "globalhotkeys/Key.h"
#include "globalhotkeys/Localization.h"

#include <QHash>
#include <QKeySequence>

#include <array>

namespace GlobalHotkeys {

namespace {

struct Entry
{
    Key key;
    SpecialKey special;
    // The key Linux reports at that position, used for its name and for menus.
    Qt::Key qtKey;
    bool keypad;
};

// One entry per case, in case order.
const std::array<Entry, specialKeyCount> &entries()
{
    static const std::array<Entry, specialKeyCount> table = { {
        { Key::return_, SpecialKey::return_, Qt::Key_Return, false },
        { Key::delete_, SpecialKey::delete_, Qt::Key_Backspace, false },
        { Key::deleteForward, SpecialKey::deleteForward, Qt::Key_Delete, false },
        { Key::end, SpecialKey::end, Qt::Key_End, false },
        { Key::escape, SpecialKey::escape, Qt::Key_Escape, false },
        // The help key's position is Insert on PC keyboards.
        { Key::help, SpecialKey::help, Qt::Key_Insert, false },
        { Key::home, SpecialKey::home, Qt::Key_Home, false },
        { Key::space, SpecialKey::space, Qt::Key_Space, false },
        { Key::tab, SpecialKey::tab, Qt::Key_Tab, false },
        { Key::pageUp, SpecialKey::pageUp, Qt::Key_PageUp, false },
        { Key::pageDown, SpecialKey::pageDown, Qt::Key_PageDown, false },
        { Key::upArrow, SpecialKey::upArrow, Qt::Key_Up, false },
        { Key::rightArrow, SpecialKey::rightArrow, Qt::Key_Right, false },
        { Key::downArrow, SpecialKey::downArrow, Qt::Key_Down, false },
        { Key::leftArrow, SpecialKey::leftArrow, Qt::Key_Left, false },
        // F13-F20 are named by us: the layouts give those keys other symbols.
        { Key::f1, SpecialKey::f1, Qt::Key_F1, false },
        { Key::f2, SpecialKey::f2, Qt::Key_F2, false },
        { Key::f3, SpecialKey::f3, Qt::Key_F3, false },
        { Key::f4, SpecialKey::f4, Qt::Key_F4, false },
        { Key::f5, SpecialKey::f5, Qt::Key_F5, false },
        { Key::f6, SpecialKey::f6, Qt::Key_F6, false },
        { Key::f7, SpecialKey::f7, Qt::Key_F7, false },
        { Key::f8, SpecialKey::f8, Qt::Key_F8, false },
        { Key::f9, SpecialKey::f9, Qt::Key_F9, false },
        { Key::f10, SpecialKey::f10, Qt::Key_F10, false },
        { Key::f11, SpecialKey::f11, Qt::Key_F11, false },
        { Key::f12, SpecialKey::f12, Qt::Key_F12, false },
        { Key::f13, SpecialKey::f13, Qt::Key_F13, false },
        { Key::f14, SpecialKey::f14, Qt::Key_F14, false },
        { Key::f15, SpecialKey::f15, Qt::Key_F15, false },
        { Key::f16, SpecialKey::f16, Qt::Key_F16, false },
        { Key::f17, SpecialKey::f17, Qt::Key_F17, false },
        { Key::f18, SpecialKey::f18, Qt::Key_F18, false },
        { Key::f19, SpecialKey::f19, Qt::Key_F19, false },
        { Key::f20, SpecialKey::f20, Qt::Key_F20, false },
        { Key::keypad0, SpecialKey::keypad0, Qt::Key_0, true },
        { Key::keypad1, SpecialKey::keypad1, Qt::Key_1, true },
        { Key::keypad2, SpecialKey::keypad2, Qt::Key_2, true },
        { Key::keypad3, SpecialKey::keypad3, Qt::Key_3, true },
        { Key::keypad4, SpecialKey::keypad4, Qt::Key_4, true },
        { Key::keypad5, SpecialKey::keypad5, Qt::Key_5, true },
        { Key::keypad6, SpecialKey::keypad6, Qt::Key_6, true },
        { Key::keypad7, SpecialKey::keypad7, Qt::Key_7, true },
        { Key::keypad8, SpecialKey::keypad8, Qt::Key_8, true },
        { Key::keypad9, SpecialKey::keypad9, Qt::Key_9, true },
        // Clear sits where PC keypads have Num Lock, and Linux calls it that.
        { Key::keypadClear, SpecialKey::keypadClear, Qt::Key_NumLock, true },
        { Key::keypadDecimal, SpecialKey::keypadDecimal, Qt::Key_Period, true },
        { Key::keypadDivide, SpecialKey::keypadDivide, Qt::Key_Slash, true },
        { Key::keypadEnter, SpecialKey::keypadEnter, Qt::Key_Enter, true },
        { Key::keypadEquals, SpecialKey::keypadEquals, Qt::Key_Equal, true },
        { Key::keypadMinus, SpecialKey::keypadMinus, Qt::Key_Minus, true },
        { Key::keypadMultiply, SpecialKey::keypadMultiply, Qt::Key_Asterisk, true },
        { Key::keypadPlus, SpecialKey::keypadPlus, Qt::Key_Plus, true },
    } };
    return table;
}

const Entry &entry(SpecialKey key)
{
    return entries()[size_t(key)];
}

const QHash<qint64, SpecialKey> &byKeyCode()
{
    static const QHash<qint64, SpecialKey> map = [] {
        QHash<qint64, SpecialKey> m;
        m.reserve(specialKeyCount);
        for (const Entry &e : entries())
            m.insert(e.key.rawValue, e.special);
        return m;
    }();
    return map;
}

} // namespace

std::optional<SpecialKey> specialKeyForKeyCode(qint64 keyCode)
{
    const auto it = byKeyCode().constFind(keyCode);
    if (it == byKeyCode().constEnd())
        return std::nullopt;
    return *it;
}

qint64 keyCodeForSpecialKey(SpecialKey key)
{
    return entry(key).key.rawValue;
}

QString specialKeyDisplayName(SpecialKey key)
{
    if (key == SpecialKey::space)
        return capitalized(localizedString("space_key"));
    const Entry &e = entry(key);
    // Num Lock has its own name; the keypad prefix would only repeat it.
    const bool keypadPrefix = e.keypad && e.qtKey != Qt::Key_NumLock;
    const QKeyCombination combination(keypadPrefix ? Qt::KeypadModifier : Qt::NoModifier, e.qtKey);
    return QKeySequence(combination).toString(QKeySequence::NativeText);
}

std::optional<Qt::Key> specialKeyMenuKey(SpecialKey key)
{
    const Entry &e = entry(key);
    if (e.keypad)
        return std::nullopt;
    return e.qtKey;
}

} // namespace GlobalHotkeys
