// SPDX-License-Identifier: GPL-3.0-or-later
#include "globalhotkeys/Localization.h"

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

namespace {

// The installed catalogues come first, so that a language added or mended
// after the build is used; those built into the program are the fallback.
bool loadCatalogue(QTranslator &translator, const QLocale &locale, const QString &name)
{
    const QString installed = QCoreApplication::applicationDirPath()
        + QStringLiteral("/../share/quillstack/translations");
    for (const QString &folder : { installed, QStringLiteral(":/i18n") }) {
        if (translator.load(locale, name, QStringLiteral("_"), folder))
            return true;
    }
    return false;
}

} // namespace

bool installCatalogue(QCoreApplication &app, const QString &name)
{
    auto *english = new QTranslator(&app);
    const bool loaded = loadCatalogue(*english, QLocale(QLocale::English), name);
    if (loaded)
        app.installTranslator(english);
    else
        delete english;

    // Installed later, so it is asked first; messages it lacks fall back to
    // the English catalogue.
    const QLocale locale;
    if (locale.language() != QLocale::English) {
        auto *local = new QTranslator(&app);
        if (loadCatalogue(*local, locale, name))
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
