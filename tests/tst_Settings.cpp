// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreFixture.h"
#include "model/Defaults.h"
#include "model/Settings.h"
#include "model/SettingsKeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

class tst_Settings : public QObject
{
    Q_OBJECT
private:
    static QString iniIn(const QTemporaryDir &dir) { return dir.filePath(u"q.conf"_s); }

    static void store(const QString &ini, const QString &key, const QVariant &value)
    {
        QSettings raw(ini, QSettings::IniFormat);
        raw.setValue(key, value);
    }

private slots:
    // Nothing is written until something is set; then the folder and the
    // file are private from the first byte, whatever the umask, and stay so.
    void registeredDefaultsAreNotWritten()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(u"config/Quillstack/Quillstack.conf"_s);
        Defaults defaults(ini);
        Settings settings(defaults);
        QCOMPARE(settings.maxClipCount(), 200);
        QVERIFY(!QFile::exists(ini));

        const mode_t umask = ::umask(0);
        settings.setMaxClipCount(5);
        settings.setAlwaysVisible(true);
        ::umask(umask);
        QCOMPARE(StoreFixture::mode(QFileInfo(ini).path()), 0700);
        QCOMPARE(StoreFixture::mode(ini), 0600);
    }

    // Reading corrects in memory only: the stored value stays as it was.
    void storedValuesAreClamped_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("count 0") << u"maxClipCount"_s << QVariant(0) << qint64(1);
        QTest::newRow("count 50") << u"maxClipCount"_s << QVariant(50) << qint64(50);
        QTest::newRow("count garbage") << u"maxClipCount"_s << QVariant(u"lots"_s) << qint64(1);
        QTest::newRow("clip bytes 0") << u"maxClipBytes"_s << QVariant(0) << qint64(1);
        QTest::newRow("total -1") << u"maxTotalBytes"_s << QVariant(-1) << qint64(0);
        QTest::newRow("age -3 unbounded") << u"maxAgeHours"_s << QVariant(-3) << qint64(-3);
        QTest::newRow("age huge") << u"maxAgeHours"_s << QVariant(qint64(1) << 40)
                                  << (qint64(1) << 40);
        // An anchor is one of the names as written; anything else is the default.
        const QString anchor = u"panelAnchor"_s;
        const auto right = qint64(PanelAnchor::right);
        QTest::newRow("anchor bottomLeft")
            << anchor << QVariant(u"bottomLeft"_s) << qint64(PanelAnchor::bottomLeft);
        QTest::newRow("anchor wrong case") << anchor << QVariant(u"BottomLeft"_s) << right;
        QTest::newRow("anchor number") << anchor << QVariant(3) << right;
        QTest::newRow("anchor empty") << anchor << QVariant(QString()) << right;
    }

    void storedValuesAreClamped()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(qint64, expected);
        QTemporaryDir dir;
        store(iniIn(dir), key, stored);
        Defaults defaults(iniIn(dir));
        Settings settings(defaults);
        const QHash<QString, qint64> read = {
            { u"maxClipCount"_s, settings.maxClipCount() },
            { u"maxClipBytes"_s, settings.maxClipBytes() },
            { u"maxTotalBytes"_s, settings.maxTotalBytes() },
            { u"maxAgeHours"_s, settings.maxAgeHours() },
            { u"panelAnchor"_s, qint64(settings.panelAnchor()) },
        };
        QCOMPARE(read.value(key), expected);
        QCOMPARE(
            QSettings(iniIn(dir), QSettings::IniFormat).value(key).toString(), stored.toString());
    }

    // Each setter writes its one key, clamped, and announces, even when the
    // value is the same as before.
    void everySetWritesOnceAndAnnouncesOnce_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("written");
        QTest::newRow("clip bytes 0 becomes 1") << 0 << u"maxClipBytes"_s << u"1"_s;
        QTest::newRow("count -2 becomes 1") << 1 << u"maxClipCount"_s << u"1"_s;
        QTest::newRow("total -9 becomes 0") << 2 << u"maxTotalBytes"_s << u"0"_s;
        QTest::newRow("age -9 kept") << 3 << u"maxAgeHours"_s << u"-9"_s;
        QTest::newRow("anchor") << 4 << u"panelAnchor"_s << u"bottomLeft"_s;
        QTest::newRow("always visible") << 5 << u"alwaysVisible"_s << u"true"_s;
        QTest::newRow("keep clipboard alive") << 6 << u"keepClipboardAlive"_s << u"false"_s;
    }

    void everySetWritesOnceAndAnnouncesOnce()
    {
        QFETCH(int, field);
        QFETCH(QString, key);
        QFETCH(QString, written);
        QTemporaryDir dir;
        Defaults defaults(iniIn(dir));
        Settings settings(defaults);
        QSignalSpy spy(&settings, &Settings::settingsDidChange);
        const std::function<void()> sets[]
            = { [&] { settings.setMaxClipBytes(0); }, [&] { settings.setMaxClipCount(-2); },
                  [&] { settings.setMaxTotalBytes(-9); }, [&] { settings.setMaxAgeHours(-9); },
                  [&] { settings.setPanelAnchor(PanelAnchor::bottomLeft); },
                  [&] { settings.setAlwaysVisible(true); },
                  [&] { settings.setKeepClipboardAlive(false); } };
        sets[field]();
        sets[field]();
        QCOMPARE(spy.count(), 2);
        QSettings raw(iniIn(dir), QSettings::IniFormat);
        QCOMPARE(raw.allKeys(), QStringList { key });
        QCOMPARE(raw.value(key).toString(), written);
        // A fresh reader sees the value.
        Defaults again(iniIn(dir));
        Settings reread(again);
        QCOMPARE(reread.alwaysVisible(), field == 5);
        QCOMPARE(reread.keepClipboardAlive(), field != 6);
    }

    // A broken file reads as the defaults, and the next change replaces it.
    void brokenSettingsFileReadsAsDefaults()
    {
        QTemporaryDir dir;
        QFile file(iniIn(dir));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\x00\xff[[[garbage\nmaxClipCount==\n=5\n[General\nalwaysVisible", 50);
        file.close();
        Defaults defaults(iniIn(dir));
        Settings settings(defaults);
        QCOMPARE(settings.maxTotalBytes(), 209715200);
        settings.setMaxClipCount(7);
        Defaults again(iniIn(dir));
        QCOMPARE(Settings(again).maxClipCount(), 7);
    }

    // The settings file of an earlier version moves to the new name once;
    // later it is never taken over again.
    void earlierSettingsFileMovesOnce()
    {
        QTemporaryDir config;
        const QString folder = config.filePath(u"Quillstack"_s);
        QVERIFY(QDir().mkpath(folder));
        const QString earlier = folder + u"/Quillstack.ini"_s;
        store(earlier, QLatin1String(SettingsKeys::maxClipCount), 33);

        const QString file = Defaults::userSettingsFile(config.path());
        QCOMPARE(file, folder + u"/Quillstack.conf"_s);
        QVERIFY(!QFileInfo::exists(earlier));
        {
            Defaults defaults(file);
            QCOMPARE(Settings(defaults).maxClipCount(), 33);
        }
        store(earlier, QLatin1String(SettingsKeys::maxClipCount), 44);
        Defaults again(Defaults::userSettingsFile(config.path()));
        QCOMPARE(Settings(again).maxClipCount(), 33);
    }
};

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_Settings.moc"
