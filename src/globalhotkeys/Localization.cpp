#include "Localization.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

namespace GlobalHotkeys {

QString localizedString(const char *id)
{
    return qtTrId(id);
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

bool installCatalogue(QCoreApplication &app, const QString &name)
{
    const QString folder = QStringLiteral(":/i18n");
    auto *english = new QTranslator(&app);
    const bool loaded = english->load(name + QStringLiteral("_en.qm"), folder);
    if (loaded)
        app.installTranslator(english);
    else
        delete english;

    // Installed later, so it is asked first; messages it lacks fall back to
    // the English catalogue.
    const QLocale locale;
    if (locale.language() != QLocale::English) {
        auto *local = new QTranslator(&app);
        if (local->load(locale, name, QStringLiteral("_"), folder))
            app.installTranslator(local);
        else
            delete local;
    }
    return loaded;
}

bool installTranslations(QCoreApplication &app)
{
    return installCatalogue(app, QStringLiteral("globalhotkeys"));
}

} // namespace GlobalHotkeys
