// SPDX-License-Identifier: GPL-3.0-or-later
#include "globalhotkeys/Shortcut.h"

#include "globalhotkeys/KeyCodeTable.h"
#include "globalhotkeys/KeyboardLayout.h"
#include "globalhotkeys/Localization.h"
#include "globalhotkeys/SpecialKey.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>

namespace GlobalHotkeys {

namespace {

const QLatin1StringView keyCodeMember("carbonKeyCode");
const QLatin1StringView modifiersMember("carbonModifiers");

std::optional<qint64> integerMember(
    const QJsonObject &object, QLatin1StringView name, Shortcut::DecodeError *error)
{
    const QJsonValue value = object.value(name);
    if (value.isUndefined()) {
        *error = Shortcut::DecodeError::missingMember;
        return std::nullopt;
    }
    // JSON has only one number type: a whole number within range is an integer.
    const qint64 integer = value.toInteger();
    if (!value.isDouble() || double(integer) != value.toDouble()) {
        *error = Shortcut::DecodeError::notInteger;
        return std::nullopt;
    }
    return integer;
}

} // namespace

Shortcut::Shortcut(Key key, ModifierFlags modifiers)
    : m_carbonKeyCode(key.rawValue)
    , m_carbonModifiers(carbonModifierMask(modifiers))
{
}

Shortcut::Shortcut(qint64 carbonKeyCode, qint64 carbonModifiers)
    : m_carbonKeyCode(carbonKeyCode)
    , m_carbonModifiers(normalizedCarbonModifiers(carbonModifiers))
{
}

Shortcut::Shortcut(Raw, qint64 carbonKeyCode, qint64 carbonModifiers)
    : m_carbonKeyCode(carbonKeyCode)
    , m_carbonModifiers(carbonModifiers)
{
}

std::optional<Shortcut> Shortcut::fromKeyEvent(const QKeyEvent &event)
{
    if (event.type() != QEvent::KeyPress && event.type() != QEvent::KeyRelease)
        return std::nullopt;
    return fromNativeKey(event.nativeScanCode(), event.modifiers());
}

std::optional<Shortcut> Shortcut::fromNativeKey(
    quint32 nativeScanCode, Qt::KeyboardModifiers modifiers)
{
    // The scan code is the key's position, whatever the layout makes of it,
    // which is what a shortcut stores.
    const std::optional<qint64> keyCode
        = keyCodeForEvdevCode(int(nativeScanCode) - xkbKeycodeOffset);
    if (!keyCode)
        return std::nullopt;
    return Shortcut(Key(*keyCode), modifierFlagsFromQt(modifiers));
}

QString Shortcut::description(const KeyboardLayout &layout) const
{
    const QString modifierText = modifierSymbols(modifierFlagsFromCarbon(m_carbonModifiers));
    if (const std::optional<SpecialKey> special = specialKeyForKeyCode(m_carbonKeyCode))
        return modifierText + specialKeyDisplayName(*special);
    const std::optional<QString> character = keyToCharacter(layout, m_carbonKeyCode);
    return modifierText + (character ? capitalized(*character) : QString(QChar(0xFFFD)));
}

QByteArray Shortcut::toJson() const
{
    // QJsonObject writes members in key order, which is the order we want.
    const QJsonObject object {
        { keyCodeMember, m_carbonKeyCode },
        { modifiersMember, m_carbonModifiers },
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<Shortcut> Shortcut::fromJson(const QByteArray &json, DecodeError *error)
{
    DecodeError ignored = DecodeError::none;
    DecodeError &why = error ? *error : ignored;
    why = DecodeError::none;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        why = DecodeError::notJson;
        return std::nullopt;
    }
    if (!document.isObject()) {
        why = DecodeError::notObject;
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    const std::optional<qint64> keyCode = integerMember(object, keyCodeMember, &why);
    if (!keyCode)
        return std::nullopt;
    const std::optional<qint64> modifiers = integerMember(object, modifiersMember, &why);
    if (!modifiers)
        return std::nullopt;
    return Shortcut(Raw {}, *keyCode, *modifiers);
}

size_t qHash(const Shortcut &shortcut, size_t seed)
{
    return qHashMulti(seed, shortcut.carbonKeyCode(), shortcut.carbonModifiers());
}

QDebug operator<<(QDebug debug, const Shortcut &shortcut)
{
    QDebugStateSaver saver(debug);
    debug.nospace() << "Shortcut(" << shortcut.carbonKeyCode() << ", 0x" << Qt::hex
                    << shortcut.carbonModifiers() << ')';
    return debug;
}

} // namespace GlobalHotkeys
