// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Translations.h"

#include "globalhotkeys/Localization.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool installTranslations(QCoreApplication &app)
{
    // Qt's own texts (a line edit's menu, key names such as Strg) in the
    // user's language; asked after ours, whose ids never collide with them.
    auto *qt = new QTranslator(&app);
    if (qt->load(QLocale(), QStringLiteral("qt"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(qt);
    else
        delete qt;

    const bool program = GlobalHotkeys::installCatalogue(app, QStringLiteral("quillstack"));
    const bool shortcuts = GlobalHotkeys::installTranslations(app);
    return program && shortcuts;
}
