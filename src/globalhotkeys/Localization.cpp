#include "Localization.h"

#include <QCoreApplication>

#include <array>
#include <cstring>

namespace GlobalHotkeys {

namespace {

struct Message
{
    const char *id;
    const char *english;
};

// The ids are marked for lupdate -idbased and the //% lines give it the
// English source texts, so the subsystem's catalogue can be generated from
// here; until a translation is loaded these texts are shown.
constexpr std::array<Message, 9> messages = { {
    //% "space"
    { QT_TRID_NOOP("space_key"), "space" },
    //% "Record Shortcut"
    { QT_TRID_NOOP("record_shortcut"), "Record Shortcut" },
    //% "Press Shortcut"
    { QT_TRID_NOOP("press_shortcut"), "Press Shortcut" },
    //% "This keyboard shortcut cannot be used because the menu item “%1” already uses it."
    { QT_TRID_NOOP("keyboard_shortcut_used_by_menu_item"),
        "This keyboard shortcut cannot be used because the menu item “%1” already uses it." },
    //% "This keyboard shortcut cannot be used: add Ctrl or Super to it."
    { QT_TRID_NOOP("keyboard_shortcut_disallowed"),
        "This keyboard shortcut cannot be used: add Ctrl or Super to it." },
    //% "This keyboard shortcut cannot be used because the system already uses it."
    { QT_TRID_NOOP("keyboard_shortcut_used_by_system"),
        "This keyboard shortcut cannot be used because the system already uses it." },
    //% "Most system-wide keyboard shortcuts can be changed in your desktop's keyboard settings."
    { QT_TRID_NOOP("keyboard_shortcuts_can_be_changed"),
        "Most system-wide keyboard shortcuts can be changed in your desktop's keyboard "
        "settings." },
    //% "OK"
    { QT_TRID_NOOP("ok"), "OK" },
    //% "Use Anyway"
    { QT_TRID_NOOP("force_use_shortcut"), "Use Anyway" },
} };

} // namespace

QString localizedString(const char *id)
{
    // qtTrId answers with the id itself when no catalogue knows it.
    const QString translated = qtTrId(id);
    if (translated != QLatin1String(id))
        return translated;
    for (const Message &message : messages) {
        if (std::strcmp(message.id, id) == 0)
            return QString::fromUtf8(message.english);
    }
    return translated;
}

QString capitalized(const QString &text)
{
    // Character by character rather than QString::toUpper, which would turn
    // a single "ß" into two letters.
    QString result;
    result.reserve(text.size());
    bool wordStart = true;
    for (const QChar c : text) {
        if (c.isSpace()) {
            result += c;
            wordStart = true;
        } else {
            result += wordStart ? c.toUpper() : c.toLower();
            wordStart = false;
        }
    }
    return result;
}

} // namespace GlobalHotkeys
