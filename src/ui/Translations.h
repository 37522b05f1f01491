// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QCoreApplication;

// Installs the program's text catalogues, its own and the shortcut
// subsystem's: the English texts that ship inside the program, then those of
// the user's language when there are any. False when an English catalogue
// could not be loaded.
bool installTranslations(QCoreApplication &app);
