// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Translations.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

// Every message id the code uses has an English text in one of the two
// catalogues: the program's or the shortcut subsystem's. A missing one would
// show the user the id itself.
class tst_Catalogues : public QObject
{
    Q_OBJECT
private slots:
    void everyIdInTheCodeHasEnglishText()
    {
        QVERIFY(installTranslations(*QCoreApplication::instance()));
        static const QRegularExpression use(
            QStringLiteral("\\b(?:qtTrId|QT_TRID_NOOP|localizedString)\\(\\s*\"([^\"]+)\""));
        QSet<QString> ids;
        QDirIterator files(QStringLiteral(QUILLSTACK_SOURCE_DIR),
            { QStringLiteral("*.cpp"), QStringLiteral("*.h") }, QDir::Files,
            QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString code = QString::fromUtf8(file.readAll());
            for (const QRegularExpressionMatch &match : use.globalMatch(code))
                ids.insert(match.captured(1));
        }
        // The scan must see the code: both catalogues' ids are in use.
        QVERIFY(ids.contains(QStringLiteral("menu.quit")));
        QVERIFY(ids.contains(QStringLiteral("record_shortcut")));
        QStringList missing;
        for (const QString &id : std::as_const(ids)) {
            const QByteArray key = id.toUtf8();
            const QString text = qtTrId(key.constData());
            if (text.isEmpty() || text == id)
                missing.append(id);
        }
        missing.sort();
        QCOMPARE(missing, QStringList());
    }
};

QTEST_MAIN(tst_Catalogues)
#include "tst_Catalogues.moc"
