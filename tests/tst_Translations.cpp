#include "ClipListModel.h"
#include "Translations.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_Translations : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(installTranslations(*qApp)); }
    void everyKeyHasText_data();
    void everyKeyHasText();
    void timestampText();
};

void tst_Translations::everyKeyHasText_data()
{
    QTest::addColumn<QString>("key");
    const char *const keys[] = { "search.placeholder", "empty.search", "empty.pinned",
        "empty.history", "clip.copyPlain", "clip.keep", "clip.timestamp", "clip.edit", "clip.view",
        "clip.delete", "clip.kind.files", "clip.kind.image", "status.accessibility", "menu.hide",
        "menu.show", "menu.settings", "menu.clearHistory", "menu.share", "menu.quit",
        "alert.clear.title", "alert.clear.message", "alert.clear.confirm", "alert.cancel" };
    for (const char *key : keys)
        QTest::newRow(key) << QString::fromLatin1(key);
}

void tst_Translations::everyKeyHasText()
{
    QFETCH(QString, key);
    const QString text = qtTrId(key.toLatin1().constData());
    QVERIFY(!text.isEmpty());
    QVERIFY2(text != key, "no text in the catalogue");
}

void tst_Translations::timestampText()
{
    // One argument, the local time in the locale's short form.
    const QDateTime when(QDate(2025, 3, 14), QTime(9, 26), Qt::UTC);
    const QString shortForm = QLocale().toString(when.toLocalTime(), QLocale::ShortFormat);
    const QString text = ClipListModel::timestampText(when);
    QVERIFY2(text.contains(shortForm), qPrintable(text));
    QVERIFY(!text.contains(u"%1"_s));
}

QTEST_MAIN(tst_Translations)
#include "tst_Translations.moc"
