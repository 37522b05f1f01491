#include "Translations.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

bool installTranslations(QCoreApplication &app)
{
    // Message ids are the keys used in the code, so without the English
    // catalogue the user would read the keys themselves.
    auto *english = new QTranslator(&app);
    const bool loaded = english->load(QStringLiteral(":/i18n/quillstack_en.qm"));
    if (loaded)
        app.installTranslator(english);
    else
        delete english;

    // Installed later, so it is asked first; messages it lacks fall back to
    // the English catalogue.
    const QLocale locale;
    if (locale.language() != QLocale::English) {
        auto *local = new QTranslator(&app);
        if (local->load(locale, QStringLiteral("quillstack"), QStringLiteral("_"),
                QStringLiteral(":/i18n")))
            app.installTranslator(local);
        else
            delete local;
    }
    return loaded;
}
