// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Translations.h"

#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>

// Every text the program shows exists in English and in German, and the
// catalogues are the ones built into the program: a missing text would show
// the user its id.
class tst_Translations : public QObject
{
    Q_OBJECT
private slots:
    void catalogues_data();
    void catalogues();
    void everyKeyInTheCodeHasTexts();
};

namespace {

const QString sourceDir = QStringLiteral(QUILLSTACK_SOURCE_DIR);

// Message id to translation, as a catalogue file holds them; an unfinished
// translation reads as empty.
QHash<QString, QString> readCatalogue(const QString &path)
{
    QHash<QString, QString> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString id;
    while (!xml.atEnd()) {
        if (!xml.readNextStartElement())
            continue;
        if (xml.name() == QLatin1String("message")) {
            id = xml.attributes().value(QLatin1String("id")).toString();
        } else if (xml.name() == QLatin1String("translation")) {
            const bool unfinished
                = xml.attributes().value(QLatin1String("type")) == QLatin1String("unfinished");
            const QString text = xml.readElementText();
            messages.insert(id, unfinished ? QString() : text);
        }
    }
    return messages;
}

QStringList catalogueNames()
{
    QStringList names;
    const QDir dir(sourceDir + QStringLiteral("/resources/translations"));
    for (const QString &file : dir.entryList({ QStringLiteral("*_en.ts") }))
        names.append(file.chopped(int(qstrlen("_en.ts"))));
    return names;
}

QSet<QString> placeholders(const QString &text)
{
    static const QRegularExpression marker(QStringLiteral("%\\d+"));
    QSet<QString> found;
    for (const QRegularExpressionMatch &match : marker.globalMatch(text))
        found.insert(match.captured());
    return found;
}

} // namespace

void tst_Translations::catalogues_data()
{
    QTest::addColumn<QString>("name");
    for (const QString &name : catalogueNames())
        QTest::newRow(qPrintable(name)) << name;
}

void tst_Translations::catalogues()
{
    QFETCH(QString, name);
    const QString base = sourceDir + QStringLiteral("/resources/translations/") + name;
    const QHash<QString, QString> english = readCatalogue(base + QStringLiteral("_en.ts"));
    const QHash<QString, QString> german = readCatalogue(base + QStringLiteral("_de.ts"));
    QVERIFY(!english.isEmpty());
    QCOMPARE(QSet<QString>(german.keyBegin(), german.keyEnd()),
        QSet<QString>(english.keyBegin(), english.keyEnd()));
    for (auto it = english.cbegin(); it != english.cend(); ++it) {
        const QString &translated = german.value(it.key());
        QVERIFY2(!it.value().isEmpty() && !translated.isEmpty(), qPrintable(it.key()));
        QVERIFY2(placeholders(translated) == placeholders(it.value()), qPrintable(it.key()));
    }

    // The program finds the German catalogue for a German locale.
    QTranslator translator;
    QVERIFY(translator.load(QLocale(QLocale::German, QLocale::Germany), name, QStringLiteral("_"),
        QStringLiteral(":/i18n")));
    const QString someId = english.cbegin().key();
    QCOMPARE(translator.translate(nullptr, someId.toUtf8().constData()), german.value(someId));
}

void tst_Translations::everyKeyInTheCodeHasTexts()
{
    QVERIFY(installTranslations(*QCoreApplication::instance()));
    QSet<QString> known;
    for (const QString &name : catalogueNames()) {
        const QHash<QString, QString> english = readCatalogue(sourceDir
            + QStringLiteral("/resources/translations/") + name + QStringLiteral("_en.ts"));
        known.unite(QSet<QString>(english.keyBegin(), english.keyEnd()));
    }
    static const QRegularExpression lookup(
        QStringLiteral("\\b(?:qtTrId|QT_TRID_NOOP|localizedString)\\(\\s*\"([^\"]+)\""));
    int used = 0;
    QDirIterator files(sourceDir + QStringLiteral("/src"),
        { QStringLiteral("*.cpp"), QStringLiteral("*.h") }, QDir::Files,
        QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString code = QString::fromUtf8(file.readAll());
        for (const QRegularExpressionMatch &match : lookup.globalMatch(code)) {
            ++used;
            const QString id = match.captured(1);
            const QString where = file.fileName() + QStringLiteral(": ") + id;
            QVERIFY2(known.contains(id), qPrintable(where));
            const QString text = qtTrId(id.toUtf8().constData());
            QVERIFY2(!text.isEmpty() && text != id, qPrintable(where));
        }
    }
    QVERIFY(used > 50);
}

QTEST_GUILESS_MAIN(tst_Translations)
#include "tst_Translations.moc"
