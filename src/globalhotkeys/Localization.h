#pragma once

#include <QString>

namespace GlobalHotkeys {

// The text of one of the shortcut subsystem's message ids ("space_key",
// "record_shortcut", ...): the loaded catalogue's translation when there is
// one, else the English text built into the program.
QString localizedString(const char *id);

// Each word's first letter in upper case, the rest in lower case.
QString capitalized(const QString &text);

} // namespace GlobalHotkeys
