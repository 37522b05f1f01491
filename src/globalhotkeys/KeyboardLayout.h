// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace GlobalHotkeys {

// The keyboard layout the user types with now. Shortcuts are stored by key
// position; this says what the key at a position prints, so that a shortcut
// reads "Ctrl+Alt+Y" on a German keyboard where a US one prints Z.
class KeyboardLayout : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The text the key at this evdev position types with no modifier held in
    // the current group; empty when it types nothing (dead and modifier keys).
    virtual QString characterForEvdevCode(int evdevCode) const = 0;

signals:
    // The layout or the active group changed: texts of shortcuts may differ.
    void layoutChanged();
};

// The character the current layout prints on the key at a virtual key code,
// or none: special keys are never translated, and a key without exactly one
// character (dead keys, modifiers, unknown codes) has none.
std::optional<QString> keyToCharacter(const KeyboardLayout &layout, qint64 keyCode);

} // namespace GlobalHotkeys
