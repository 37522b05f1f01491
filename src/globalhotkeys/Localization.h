// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QCoreApplication;

namespace GlobalHotkeys {

// The text of one of the shortcut subsystem's message ids ("space_key",
// "record_shortcut", ...) from its own catalogue.
QString localizedString(const char *id);

// Each word's first letter in upper case, the rest in lower case.
QString capitalized(const QString &text);

// Installs the id-based catalogue ":/i18n/<name>_en.qm" that ships inside the
// program, then the one of the user's language when there is one; false when
// the English one could not be loaded. Message ids are the keys used in the
// code, so without it the user would read the keys themselves.
bool installCatalogue(QCoreApplication &app, const QString &name);
// The shortcut subsystem's own catalogue.
bool installTranslations(QCoreApplication &app);

} // namespace GlobalHotkeys
