// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ReviewPrompt.h"
#include "model/Defaults.h"
#include "model/SettingsKeys.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

using namespace Qt::StringLiterals;

using Counter = void (ReviewPrompt::*)(QWidget *);
Q_DECLARE_METATYPE(Counter)

class tst_ReviewPrompt : public QObject
{
    Q_OBJECT
private slots:
    void thresholdsFireOnce_data()
    {
        QTest::addColumn<Counter>("record");
        QTest::addColumn<QString>("firedKey");
        QTest::addColumn<int>("opens");
        QTest::addColumn<QList<qint64>>("firingOpens");
        QTest::newRow("preferences: 5th and 10th, not 6th or 11th")
            << &ReviewPrompt::recordSettingsOpen
            << QString::fromLatin1(SettingsKeys::reviewFiredSettingsThresholds) << 12
            << QList<qint64> { 5, 10 };
        QTest::newRow("shortcut: 30th, 60th, 200th, nothing after")
            << &ReviewPrompt::recordHotkeyPanelOpen
            << QString::fromLatin1(SettingsKeys::reviewFiredHotkeyThresholds) << 260
            << QList<qint64> { 30, 60, 200 };
    }

    void thresholdsFireOnce()
    {
        QFETCH(Counter, record);
        QFETCH(QString, firedKey);
        QFETCH(int, opens);
        QFETCH(QList<qint64>, firingOpens);
        QTemporaryDir dir;
        const QString ini = dir.filePath(u"q.conf"_s);
        QList<qint64> fired;
        for (int open = 1; open <= opens; ++open) {
            // A fresh prompt over a fresh read of the file each time: all state
            // lives in the settings file.
            Defaults defaults(ini);
            ReviewPrompt prompt(defaults);
            QSignalSpy requests(&prompt, &ReviewPrompt::reviewRequested);
            (prompt.*record)(nullptr);
            fired += QList<qint64>(requests.count(), open);
        }
        QCOMPARE(fired, firingOpens);
        Defaults defaults(ini);
        QCOMPARE(ReviewPrompt(defaults).firedThresholds(firedKey), firingOpens);
    }

    void storedFiredList_data()
    {
        QTest::addColumn<QByteArray>("iniLine"); // the fired list as found in the file
        QTest::addColumn<bool>("asks"); // on the next open, which is the 5th
        QTest::addColumn<QList<qint64>>("firedAfter");

        QTest::newRow("holds 5, counter reset to 4") << QByteArray(
            "review.firedSettingsThresholds=@Variant(\\0\\0\\0\\t\\0\\0\\0\\x1\\0\\0\\0\\x4"
            "\\0\\0\\0\\0\\0\\0\\0\\x5)") << false << QList<qint64> { 5 };
        QTest::newRow("two thresholds written as text")
            << QByteArray("review.firedSettingsThresholds=10, 5") << false
            << QList<qint64> { 10, 5 };
        QTest::newRow("a string, not a list")
            << QByteArray("review.firedSettingsThresholds=5") << true << QList<qint64> { 5 };
        QTest::newRow("a list with a non-integer")
            << QByteArray("review.firedSettingsThresholds=5, five") << true << QList<qint64> { 5 };
        QTest::newRow("missing") << QByteArray() << true << QList<qint64> { 5 };
    }

    void storedFiredList()
    {
        QFETCH(QByteArray, iniLine);
        QFETCH(bool, asks);
        QFETCH(QList<qint64>, firedAfter);

        QTemporaryDir dir;
        const QString ini = dir.filePath(u"q.conf"_s);
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\nreview.settingsOpens=4\n" + iniLine + "\n");
        file.close();

        {
            Defaults defaults(ini);
            ReviewPrompt prompt(defaults);
            QSignalSpy requests(&prompt, &ReviewPrompt::reviewRequested);
            prompt.recordSettingsOpen(nullptr);
            QCOMPARE(requests.count(), asks ? 1 : 0);
            QCOMPARE(defaults.integer(QLatin1String(SettingsKeys::reviewSettingsOpens)), qint64(5));
        }
        // What was written reads back the same from the file.
        Defaults defaults(ini);
        ReviewPrompt prompt(defaults);
        QCOMPARE(prompt.firedThresholds(QLatin1String(SettingsKeys::reviewFiredSettingsThresholds)),
            firedAfter);
    }

    // With a view to present from, the request comes on the next turn of the
    // event loop, after the counters are saved, and only while the view exists.
    void requestTiming()
    {
        QTemporaryDir dir;
        Defaults defaults(dir.filePath(u"q.conf"_s));
        defaults.setObject(QLatin1String(SettingsKeys::reviewHotkeyPanelOpens), 29);
        ReviewPrompt prompt(defaults);
        QSignalSpy requests(&prompt, &ReviewPrompt::reviewRequested);

        QWidget view;
        prompt.recordHotkeyPanelOpen(&view);
        QCOMPARE(requests.count(), 0);
        QTRY_COMPARE(requests.count(), 1);
        QCOMPARE(requests.at(0).at(0).value<QWidget *>(), &view);

        defaults.setObject(QLatin1String(SettingsKeys::reviewHotkeyPanelOpens), 59);
        auto *doomed = new QWidget;
        prompt.recordHotkeyPanelOpen(doomed);
        delete doomed;
        QCoreApplication::processEvents();
        QCOMPARE(requests.count(), 1);
        QCOMPARE(prompt.firedThresholds(QLatin1String(SettingsKeys::reviewFiredHotkeyThresholds)),
            (QList<qint64> { 30, 60 }));
    }
};

QTEST_MAIN(tst_ReviewPrompt)
#include "tst_ReviewPrompt.moc"
