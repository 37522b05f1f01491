// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "globalhotkeys/Key.h"
#include "globalhotkeys/ModifierFlags.h"

#include <QByteArray>
#include <QHashFunctions>
#include <QMetaType>
#include <QString>

#include <optional>

class QDebug;
class QKeyEvent;

namespace GlobalHotkeys {

class KeyboardLayout;

// One key plus a set of modifiers: a key position (virtual key code) and a
// five-bit modifier mask, stored and compared in that form.
class Shortcut
{
public:
    // Why stored text did not decode.
    enum class DecodeError { none, notJson, notObject, missingMember, notInteger };

    Shortcut() = default;
    // The mask is made from the flags, so only the five known modifiers remain.
    Shortcut(Key key, ModifierFlags modifiers = {});
    // The key code is kept as given; the mask is normalised.
    Shortcut(qint64 carbonKeyCode, qint64 carbonModifiers);
    // A shortcut from a key press or release, by the physical key and the
    // modifiers held. None for other events and for keys with no key code.
    static std::optional<Shortcut> fromKeyEvent(const QKeyEvent &event);
    // The same from an xkb keycode (a key event's native scan code) and the
    // modifiers held; Fn is never among them.
    static std::optional<Shortcut> fromNativeKey(
        quint32 nativeScanCode, Qt::KeyboardModifiers modifiers);

    qint64 carbonKeyCode() const { return m_carbonKeyCode; }
    qint64 carbonModifiers() const { return m_carbonModifiers; }
    Key key() const { return Key(m_carbonKeyCode); }
    ModifierFlags modifiers() const { return modifierFlagsFromCarbon(m_carbonModifiers); }

    // The shortcut as the user reads it: "Ctrl+Alt+V", "Shift+F5", the key
    // as the current layout prints it (U+FFFD when it prints nothing).
    QString description(const KeyboardLayout &layout) const;

    // {"carbonKeyCode":9,"carbonModifiers":2304}
    QByteArray toJson() const;
    // Both members must be integers; other members are ignored. The values
    // are kept as read, not normalised.
    static std::optional<Shortcut> fromJson(const QByteArray &json, DecodeError *error = nullptr);

    friend bool operator==(const Shortcut &, const Shortcut &) = default;

private:
    struct Raw
    {
    };
    Shortcut(Raw, qint64 carbonKeyCode, qint64 carbonModifiers);

    qint64 m_carbonKeyCode = 0;
    qint64 m_carbonModifiers = 0;
};

size_t qHash(const Shortcut &shortcut, size_t seed = 0);
QDebug operator<<(QDebug debug, const Shortcut &shortcut);

} // namespace GlobalHotkeys

Q_DECLARE_METATYPE(GlobalHotkeys::Shortcut)
