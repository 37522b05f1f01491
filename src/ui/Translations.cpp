#include "Translations.h"

#include "Localization.h"

#include <QCoreApplication>

bool installTranslations(QCoreApplication &app)
{
    const bool program = GlobalHotkeys::installCatalogue(app, QStringLiteral("quillstack"));
    const bool shortcuts = GlobalHotkeys::installTranslations(app);
    return program && shortcuts;
}
