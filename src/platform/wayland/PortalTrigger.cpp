// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/PortalTrigger.h"

#include "globalhotkeys/KeyboardLayout.h"
#include "globalhotkeys/Shortcut.h"
#include "globalhotkeys/SpecialKey.h"

#include <QHash>

using namespace GlobalHotkeys;

namespace {

QString specialKeyName(SpecialKey key)
{
    switch (key) {
    case SpecialKey::return_:
        return QStringLiteral("Return");
    // The key left of the backspace position deletes backwards.
    case SpecialKey::delete_:
        return QStringLiteral("BackSpace");
    case SpecialKey::deleteForward:
        return QStringLiteral("Delete");
    case SpecialKey::end:
        return QStringLiteral("End");
    case SpecialKey::escape:
        return QStringLiteral("Escape");
    case SpecialKey::help:
        return QStringLiteral("Help");
    case SpecialKey::home:
        return QStringLiteral("Home");
    case SpecialKey::space:
        return QStringLiteral("space");
    case SpecialKey::tab:
        return QStringLiteral("Tab");
    case SpecialKey::pageUp:
        return QStringLiteral("Page_Up");
    case SpecialKey::pageDown:
        return QStringLiteral("Page_Down");
    case SpecialKey::upArrow:
        return QStringLiteral("Up");
    case SpecialKey::rightArrow:
        return QStringLiteral("Right");
    case SpecialKey::downArrow:
        return QStringLiteral("Down");
    case SpecialKey::leftArrow:
        return QStringLiteral("Left");
    case SpecialKey::keypadClear:
        return QStringLiteral("Clear");
    case SpecialKey::keypadDecimal:
        return QStringLiteral("KP_Decimal");
    case SpecialKey::keypadDivide:
        return QStringLiteral("KP_Divide");
    case SpecialKey::keypadEnter:
        return QStringLiteral("KP_Enter");
    case SpecialKey::keypadEquals:
        return QStringLiteral("KP_Equal");
    case SpecialKey::keypadMinus:
        return QStringLiteral("KP_Subtract");
    case SpecialKey::keypadMultiply:
        return QStringLiteral("KP_Multiply");
    case SpecialKey::keypadPlus:
        return QStringLiteral("KP_Add");
    default:
        break;
    }
    if (key >= SpecialKey::f1 && key <= SpecialKey::f20)
        return QStringLiteral("F%1").arg(int(key) - int(SpecialKey::f1) + 1);
    return QStringLiteral("KP_%1").arg(int(key) - int(SpecialKey::keypad0));
}

// The xkb name of the symbol that types this character: printable ASCII has
// names of its own, every other character the "U" form xkb reads as well.
QString characterName(const QString &character)
{
    static const QHash<QChar, QString> punctuation = {
        { u' ', QStringLiteral("space") },
        { u'!', QStringLiteral("exclam") },
        { u'"', QStringLiteral("quotedbl") },
        { u'#', QStringLiteral("numbersign") },
        { u'$', QStringLiteral("dollar") },
        { u'%', QStringLiteral("percent") },
        { u'&', QStringLiteral("ampersand") },
        { u'\'', QStringLiteral("apostrophe") },
        { u'(', QStringLiteral("parenleft") },
        { u')', QStringLiteral("parenright") },
        { u'*', QStringLiteral("asterisk") },
        { u'+', QStringLiteral("plus") },
        { u',', QStringLiteral("comma") },
        { u'-', QStringLiteral("minus") },
        { u'.', QStringLiteral("period") },
        { u'/', QStringLiteral("slash") },
        { u':', QStringLiteral("colon") },
        { u';', QStringLiteral("semicolon") },
        { u'<', QStringLiteral("less") },
        { u'=', QStringLiteral("equal") },
        { u'>', QStringLiteral("greater") },
        { u'?', QStringLiteral("question") },
        { u'@', QStringLiteral("at") },
        { u'[', QStringLiteral("bracketleft") },
        { u'\\', QStringLiteral("backslash") },
        { u']', QStringLiteral("bracketright") },
        { u'^', QStringLiteral("asciicircum") },
        { u'_', QStringLiteral("underscore") },
        { u'`', QStringLiteral("grave") },
        { u'{', QStringLiteral("braceleft") },
        { u'|', QStringLiteral("bar") },
        { u'}', QStringLiteral("braceright") },
        { u'~', QStringLiteral("asciitilde") },
    };
    const QList<uint> codePoints = character.toUcs4();
    if (codePoints.size() != 1)
        return QString();
    const uint codePoint = codePoints.first();
    if ((codePoint >= 'a' && codePoint <= 'z') || (codePoint >= 'A' && codePoint <= 'Z'))
        return QString(QChar(codePoint)).toUpper();
    if (codePoint >= '0' && codePoint <= '9')
        return QString(QChar(codePoint));
    if (codePoint < 0x80)
        return punctuation.value(QChar(codePoint));
    return QStringLiteral("U%1").arg(codePoint, 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

std::optional<QString> portalTrigger(const Shortcut &shortcut, const KeyboardLayout &layout)
{
    QString key;
    if (const std::optional<SpecialKey> special = specialKeyForKeyCode(shortcut.carbonKeyCode()))
        key = specialKeyName(*special);
    else if (const std::optional<QString> character
        = keyToCharacter(layout, shortcut.carbonKeyCode()))
        key = characterName(*character);
    if (key.isEmpty())
        return std::nullopt;

    // As on X11: command is Ctrl, option is Alt, control is the Super key.
    const ModifierFlags flags = shortcut.modifiers();
    QStringList parts;
    if (flags & ModifierFlag::command)
        parts << QStringLiteral("CTRL");
    if (flags & ModifierFlag::option)
        parts << QStringLiteral("ALT");
    if (flags & ModifierFlag::shift)
        parts << QStringLiteral("SHIFT");
    if (flags & ModifierFlag::control)
        parts << QStringLiteral("LOGO");
    parts << key;
    return parts.join(u'+');
}
