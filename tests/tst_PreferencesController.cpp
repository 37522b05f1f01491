// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeHotkeyRegistrar.h"
#include "FakeKeyboardLayout.h"
#include "PaintedPixels.h"
#include "StoreFixture.h"
#include "globalhotkeys/NamedShortcuts.h"
#include "globalhotkeys/RecorderField.h"
#include "globalhotkeys/StandardNames.h"
#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "model/Settings.h"
#include "ui/LoginItem.h"
#include "ui/PreferencesController.h"
#include "ui/Translations.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

struct Fixture
{
    explicit Fixture(const QVariantMap &stored = {})
        : seeded(seed(stored))
    {
    }

    // Before the settings read them.
    bool seed(const QVariantMap &stored)
    {
        shortcuts.createName(GlobalHotkeys::StandardNames::togglePanel());
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            defaults.setObject(it.key(), it.value());
        return true;
    }

    QString autostart() const { return dir.filePath(u"config/autostart"_s); }
    QString systemAutostart() const { return dir.filePath(u"xdg/autostart"_s); }
    QByteArray entry() const
    {
        QFile file(loginItem.entryPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    Defaults defaults { dir.filePath(u"Quillstack.conf"_s) };
    FakeHotkeyRegistrar registrar;
    FakeKeyboardLayout keyboard;
    GlobalHotkeys::NamedShortcuts shortcuts { defaults, registrar, keyboard };
    bool seeded;
    Settings settings { defaults };
    ClipStore store { settings, dir.filePath(u"data"_s) };
    LoginItem loginItem { autostart(), { systemAutostart() }, u"/opt/My Apps/quillstack"_s };
    PreferencesController window { settings, store, shortcuts, loginItem };
};

using Change = std::function<void(PreferencesController &)>;
using Shown = std::function<QString(PreferencesController &)>;

} // namespace

Q_DECLARE_METATYPE(Change)
Q_DECLARE_METATYPE(Shown)

class tst_PreferencesController : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(installTranslations(*QCoreApplication::instance())); }

    // Stored values that no item carries show the fallback item, and values
    // the count field cannot hold its largest; either way they stay stored.
    void initialSelection_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<qint64>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<Shown>("shownBy");
        const auto row
            = [](const char *name, const QString &key, qint64 stored, const QString &shown,
                  Shown shownBy) { QTest::newRow(name) << key << stored << shown << shownBy; };
        using W = PreferencesController;
        const Shown age = [](W &w) { return w.agePopup()->currentText(); };
        const Shown total = [](W &w) { return w.totalSizePopup()->currentText(); };
        const QString mb = qtTrId("prefs.size.1mb");
        row("age in the list", u"maxAgeHours"_s, 24, qtTrId("prefs.age.day"), age);
        row("age of 12 hours shows a week", u"maxAgeHours"_s, 12, qtTrId("prefs.age.week"), age);
        row("3 MB per clip shows 1 MB", u"maxClipBytes"_s, 3 * 1048576, mb,
            [](W &w) { return w.clipSizePopup()->currentText(); });
        row("odd total shows unlimited", u"maxTotalBytes"_s, 12345, qtTrId("prefs.size.unlimited"),
            total);
        row("total in the list", u"maxTotalBytes"_s, 104857600, qtTrId("prefs.size.100mb"), total);
        row("count beyond the field", u"maxClipCount"_s, 50000, u"10000"_s,
            [](W &w) { return w.countField()->text(); });
        row("the panel's shortcut", u"maxClipCount"_s, 200, u"Ctrl+Alt+V"_s,
            [](W &w) { return w.panelRecorder()->text(); });
    }

    void initialSelection()
    {
        QFETCH(QString, key);
        QFETCH(qint64, stored);
        QFETCH(QString, shown);
        QFETCH(Shown, shownBy);
        Fixture f({ { key, stored } });
        QCOMPARE(shownBy(f.window), shown);
        QCOMPARE(f.defaults.integer(key), stored);
    }

    void handlers_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored"); // invalid: nothing written
        QTest::addColumn<Change>("change");
        const auto row = [](const char *name, const char *key, QVariant stored, Change change) {
            QTest::newRow(name) << QString::fromLatin1(key) << stored << change;
        };
        using W = PreferencesController;
        row("age: a day", "maxAgeHours", 24, [](W &w) { w.ageChanged(2); });
        row("age: no item", "maxAgeHours", 0, [](W &w) { w.ageChanged(-1); });
        row("clip size: 25 MB", "maxClipBytes", 26214400, [](W &w) { w.clipSizeChanged(3); });
        row("clip size: no item keeps the value", "maxClipBytes", 10485760,
            [](W &w) { w.clipSizeChanged(-1); });
        row("total: unlimited", "maxTotalBytes", 0, [](W &w) { w.totalSizeChanged(0); });
        row("total: no item", "maxTotalBytes", 0, [](W &w) { w.totalSizeChanged(-1); });
        row("position: top left", "panelAnchor", u"topLeft"_s, [](W &w) { w.anchorChanged(0); });
        row("position: no item changes nothing", "panelAnchor", QVariant(),
            [](W &w) { w.anchorChanged(-1); });
        row("always visible", "alwaysVisible", true, [](W &w) { w.alwaysVisibleChanged(true); });
        row("keep the clipboard: off", "keepClipboardAlive", false,
            [](W &w) { w.keepClipboardAliveCheckbox()->click(); });
    }

    void handlers()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(Change, change);
        Fixture f({ { u"maxClipBytes"_s, qint64(10485760) } });
        QSignalSpy announced(&f.settings, &Settings::settingsDidChange);
        change(f.window);
        const QVariant onDisk = QSettings(f.defaults.fileName(), QSettings::IniFormat).value(key);
        QCOMPARE(onDisk.toString(), stored.toString());
        QCOMPARE(onDisk.isValid(), stored.isValid());
        QCOMPARE(announced.count(), stored.isValid() ? 1 : 0);
    }

    // A count that removes clips is asked about first; anything but the
    // confirmation (Return among them) keeps the old limit and the history.
    void countLimit_data()
    {
        QTest::addColumn<int>("typed");
        QTest::addColumn<QString>("answer"); // the button's text, "return" or none
        QTest::addColumn<QString>("removedTold"); // empty: not asked
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("clipsLeft");
        QTest::newRow("raised") << 50 << QString() << QString() << 50 << 20;
        QTest::newRow("lowered, removes none") << 25 << QString() << QString() << 25 << 20;
        QTest::newRow("lowered, confirmed")
            << 10 << qtTrId("alert.limit.confirm") << u"10"_s << 10 << 10;
        QTest::newRow("lowered, cancelled") << 10 << qtTrId("alert.cancel") << u"10"_s << 30 << 20;
        QTest::newRow("lowered, return") << 10 << u"return"_s << u"10"_s << 30 << 20;
        QTest::newRow("0 becomes 1: the kept stay")
            << 0 << qtTrId("alert.limit.confirm") << u"18"_s << 1 << 2;
        // -1 and -2: a click on the field's up and down arrows.
        QTest::newRow("up arrow") << -1 << QString() << QString() << 31 << 20;
        QTest::newRow("down arrow") << -2 << QString() << QString() << 29 << 20;
    }

    void countLimit()
    {
        QFETCH(int, typed);
        QFETCH(QString, answer);
        QFETCH(QString, removedTold);
        QFETCH(int, limit);
        QFETCH(int, clipsLeft);
        Fixture f({ { u"maxClipCount"_s, qint64(30) } });
        for (int i = 0; i < 20; ++i)
            StoreFixture::add(f.store, StoreFixture::text(QString::number(i)), i < 2);
        QStringList told;
        f.window.setAlertRunner([&](QMessageBox &box) -> QAbstractButton * {
            told << box.text() << box.informativeText();
            if (answer == u"return") {
                QTimer::singleShot(0, &box, [&box] { QTest::keyClick(&box, Qt::Key_Return); });
                return runAlertModally(box);
            }
            const QList<QAbstractButton *> buttons = box.buttons();
            const auto it = std::find_if(buttons.begin(), buttons.end(),
                [&](QAbstractButton *button) { return button->text() == answer; });
            return it == buttons.end() ? nullptr : *it;
        });
        QSpinBox *field = f.window.findChild<QSpinBox *>();
        if (typed < 0) {
            f.window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&f.window));
            const QPoint arrow(field->width() - 5, typed == -1 ? 4 : field->height() - 4);
            QTest::mouseClick(field, Qt::LeftButton, {}, arrow);
        } else {
            field->selectAll();
            QTest::keyClicks(field, QString::number(typed));
            QTest::keyClick(field, Qt::Key_Return);
        }
        f.store.applyLimits();

        QCOMPARE(told.isEmpty(), removedTold.isEmpty());
        if (!told.isEmpty())
            QCOMPARE(told,
                (QStringList { qtTrId("alert.limit.title").arg(qMax(typed, 1)),
                    qtTrId("alert.limit.message").arg(removedTold) }));
        QCOMPARE(f.settings.maxClipCount(), limit);
        QCOMPARE(field->value(), limit);
        QCOMPARE(f.store.clips().size(), clipsLeft);
    }

    // Escape and Ctrl+W close the window from any control, except a
    // recorder, which records them.
    void closeKeys_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<bool>("closed");
        const QKeySequence escape(Qt::Key_Escape);
        const QKeySequence ctrlW(Qt::CTRL | Qt::Key_W);
        QTest::newRow("escape in a popup") << u"popup"_s << escape << true;
        QTest::newRow("ctrl+w in the count") << u"count"_s << ctrlW << true;
        QTest::newRow("escape on a checkbox") << u"checkbox"_s << escape << true;
        QTest::newRow("escape while recording") << u"recorder"_s << escape << false;
        QTest::newRow("ctrl+w while recording") << u"recorder"_s << ctrlW << false;
    }

    void closeKeys()
    {
        QFETCH(QString, focus);
        QFETCH(QKeySequence, keys);
        QFETCH(bool, closed);
        Fixture f;
        int closes = 0;
        f.window.setOnClose([&closes] { ++closes; });
        f.window.show();
        QApplication::setActiveWindow(&f.window);
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        const QHash<QString, QWidget *> controls { { u"popup"_s, f.window.agePopup() },
            { u"count"_s, f.window.countField() },
            { u"checkbox"_s, f.window.keepClipboardAliveCheckbox() },
            { u"recorder"_s, f.window.panelRecorder() } };
        QWidget *target = controls.value(focus);
        target->setFocus(Qt::MouseFocusReason);
        QTest::keySequence(target, keys);
        QCOMPARE(f.window.isVisible(), !closed);
        QCOMPARE(closes, closed ? 1 : 0);
    }

    void launchAtLogin_data()
    {
        QTest::addColumn<bool>("systemEntry");
        QTest::addColumn<bool>("on");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QByteArray>("entryHas");
        QTest::newRow("on writes the entry")
            << false << true << true << QByteArray(R"(Exec="/opt/My Apps/quillstack")");
        QTest::newRow("off removes it") << false << false << false << QByteArray();
        QTest::newRow("off masks the system's entry")
            << true << false << false << QByteArray("Hidden=true");
    }

    void launchAtLogin()
    {
        QFETCH(bool, systemEntry);
        QFETCH(bool, on);
        QFETCH(QByteArray, entryHas);
        Fixture f;
        if (systemEntry) {
            QVERIFY(QDir().mkpath(f.systemAutostart()));
            QFile system(f.systemAutostart() + u"/quillstack.desktop"_s);
            QVERIFY(system.open(QIODevice::WriteOnly));
            system.write("[Desktop Entry]\nType=Application\nExec=quillstack\n");
        }
        QVERIFY(f.loginItem.registerItem());
        f.window.refreshLaunchAtLogin();
        QVERIFY(f.window.launchAtLoginCheckbox()->isChecked());

        f.window.launchAtLoginCheckbox()->setChecked(on);
        f.window.launchAtLoginChanged(on);

        QFETCH(bool, shown);
        QCOMPARE(f.loginItem.isEnabled(), shown);
        QCOMPARE(StoreFixture::mode(f.loginItem.entryPath()), entryHas.isEmpty() ? -1 : 0600);
        QVERIFY2(f.entry().contains(entryHas), f.entry().constData());
    }

    // On a screen too small for every row the window still fits, title bar
    // and all, and the last row is painted once scrolled to.
    void fitsASmallScreen()
    {
        Fixture f;
        const QRect small(0, 0, 1024, 360);
        f.window.restoreFrame(small);
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QVERIFY(f.window.height() < small.height());
        QCheckBox *last = f.window.launchAtLoginCheckbox();
        const auto painted = [&] {
            const QRect box(last->mapTo(&f.window, QPoint()), last->size());
            const QRect seen = box.intersected(f.window.rect());
            return seen.height() == box.height()
                && pixelsUnlikeSurroundings(f.window.grab().toImage(), seen) > 20;
        };
        QVERIFY(!painted());
        f.window.findChild<QScrollArea *>()->ensureWidgetVisible(last);
        QVERIFY(painted());
    }

    // A change that cannot be written leaves the box at the real state. The
    // folder is a file here, which fails even for root.
    void launchAtLoginFailure()
    {
        Fixture f;
        QVERIFY(QDir().mkpath(f.dir.filePath(u"config"_s)));
        QFile blocker(f.autostart());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        f.window.launchAtLoginCheckbox()->click();
        QVERIFY(!f.window.launchAtLoginCheckbox()->isChecked());
        QVERIFY(!f.window.launchAtLoginCheckbox()->toolTip().isEmpty());
    }
};

QTEST_MAIN(tst_PreferencesController)
#include "tst_PreferencesController.moc"
