#pragma once

class QCoreApplication;

// Installs the program's text catalogue: the English texts that ship inside
// the program, then the catalogue of the user's language when there is one.
// Returns false when the English catalogue could not be loaded.
bool installTranslations(QCoreApplication &app);
