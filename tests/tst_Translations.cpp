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

using namespace Qt::StringLiterals;

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
    const QDir dir(sourceDir + u"/resources/translations"_s);
    for (const QString &file : dir.entryList({ u"*_en.ts"_s }))
        names.append(file.chopped(int(qstrlen("_en.ts"))));
    return names;
}

QSet<QString> placeholders(const QString &text)
{
    static const QRegularExpression marker(u"%\\d+"_s);
    QSet<QString> found;
    for (const QRegularExpressionMatch &match : marker.globalMatch(text))
        found.insert(match.captured());
    return found;
}

} // namespace

// Every text the program shows exists in English and in German, and the
// catalogues are the ones built into the program: a missing text would show
// the user its id.
class tst_Translations : public QObject
{
    Q_OBJECT
private slots:
    void catalogues_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString &name : catalogueNames())
            QTest::newRow(qPrintable(name)) << name;
    }

    void catalogues()
    {
        QFETCH(QString, name);
        const QString base = sourceDir + u"/resources/translations/"_s + name;
        const QHash<QString, QString> english = readCatalogue(base + u"_en.ts"_s);
        const QHash<QString, QString> german = readCatalogue(base + u"_de.ts"_s);
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
        QVERIFY(
            translator.load(QLocale(QLocale::German, QLocale::Germany), name, u"_"_s, u":/i18n"_s));
        const QString someId = english.cbegin().key();
        QCOMPARE(translator.translate(nullptr, someId.toUtf8().constData()), german.value(someId));
    }

    void everyKeyInTheCodeHasTexts()
    {
        // The built-in catalogues are made from the English ones checked above.
        QVERIFY(installTranslations(*QCoreApplication::instance()));
        static const QRegularExpression lookup(
            u"\\b(?:qtTrId|QT_TRID_NOOP|localizedString)\\(\\s*\"([^\"]+)\""_s);
        int used = 0;
        QDirIterator files(sourceDir + u"/src"_s, { u"*.cpp"_s, u"*.h"_s }, QDir::Files,
            QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString code = QString::fromUtf8(file.readAll());
            for (const QRegularExpressionMatch &match : lookup.globalMatch(code)) {
                ++used;
                const QString id = match.captured(1);
                const QString text = qtTrId(qPrintable(id));
                QVERIFY2(!text.isEmpty() && text != id, qPrintable(file.fileName() + u": "_s + id));
            }
        }
        QVERIFY(used > 50);
    }
};

QTEST_GUILESS_MAIN(tst_Translations)
#include "tst_Translations.moc"
