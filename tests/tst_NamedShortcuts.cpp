// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeHotkeyRegistrar.h"
#include "FakeKeyboardLayout.h"
#include "app/HotkeyController.h"
#include "globalhotkeys/NamedShortcuts.h"
#include "globalhotkeys/StandardNames.h"
#include "model/Defaults.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

using namespace GlobalHotkeys;

namespace {

const Shortcut ctrlAltV(Key::v, ModifierFlag::command | ModifierFlag::option);
const Shortcut ctrlAltP(Key::p, ModifierFlag::command | ModifierFlag::option);
const Shortcut ctrlShiftK(Key::k, ModifierFlag::command | ModifierFlag::shift);
const QByteArray ctrlAltVJson = R"({"carbonKeyCode":9,"carbonModifiers":2304})";

// One run of the program: its own defaults object on the shared settings
// file, a desktop and a layout.
struct Process
{
    explicit Process(const QString &ini)
        : defaults(ini)
    {
    }

    Defaults defaults;
    FakeHotkeyRegistrar registrar;
    FakeKeyboardLayout layout;
    NamedShortcuts shortcuts { defaults, registrar, layout };
};

// What is in the settings file, read as a later process would.
QVariant storedValue(const QString &ini, const Name &name)
{
    return QSettings(ini, QSettings::IniFormat).value(name.storageKey());
}

QList<QString> changedNames(const QSignalSpy &spy)
{
    QList<QString> names;
    for (const QList<QVariant> &arguments : spy)
        names.append(arguments.at(0).value<Name>().rawValue());
    return names;
}

} // namespace

class tst_NamedShortcuts : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString ini() const { return m_dir.filePath(u"Quillstack.conf"_s); }

private slots:
    void init() { QFile::remove(ini()); }

    // What one run stores the next reads: the default written once on the
    // first start, a cleared name as cleared, an unreadable entry untouched.
    void storedAcrossRuns_data()
    {
        QTest::addColumn<QString>("before"); // the entry found; empty: none
        QTest::addColumn<bool>("clear"); // the first run clears the shortcut
        QTest::addColumn<int>("announced");
        QTest::addColumn<QString>("stored");
        QTest::newRow("first start writes the default")
            << QString() << false << 1 << QString::fromUtf8(ctrlAltVJson);
        QTest::newRow("a cleared name stays cleared") << QString() << true << 2 << u"false"_s;
        QTest::newRow("an unreadable entry is left alone")
            << u"{broken"_s << false << 0 << u"{broken"_s;
    }

    void storedAcrossRuns()
    {
        QFETCH(QString, before);
        QFETCH(bool, clear);
        QFETCH(int, announced);
        QFETCH(QString, stored);
        const bool active = stored.toUtf8() == ctrlAltVJson;
        const QList<Shortcut> live = active ? QList<Shortcut> { ctrlAltV } : QList<Shortcut>();
        const std::optional<Shortcut> shortcut = active ? std::optional(ctrlAltV) : std::nullopt;
        if (!before.isEmpty())
            QSettings(ini(), QSettings::IniFormat)
                .setValue(StandardNames::togglePanel().storageKey(), before);
        {
            Process first(ini());
            QSignalSpy changed(&first.shortcuts, &NamedShortcuts::shortcutByNameDidChange);
            const Name name = first.shortcuts.createName(StandardNames::togglePanel());
            if (clear)
                first.shortcuts.setShortcut(std::nullopt, name);
            QCOMPARE(changedNames(changed), QList<QString>(announced, u"togglePanel"_s));
            QCOMPARE(first.registrar.live().values(), live);
        }
        QCOMPARE(storedValue(ini(), StandardNames::togglePanel()).toString(), stored);
        Process later(ini());
        QSignalSpy changed(&later.shortcuts, &NamedShortcuts::shortcutByNameDidChange);
        const Name name = later.shortcuts.createName(StandardNames::togglePanel());
        QCOMPARE(changed.count(), 0);
        // Registered only once something listens for it.
        QVERIFY(later.registrar.live().isEmpty());
        later.shortcuts.onKeyUp(name, [] {});
        QCOMPARE(later.registrar.live().values(), live);
        QCOMPARE(later.shortcuts.getShortcut(name), shortcut);
    }

    // Each press and release runs the actions of every name on the shortcut,
    // one registration serving them all, unless paused; a new shortcut moves
    // the registration, and an action may change the handlers as they run.
    void actionsRunOnTheirShortcut()
    {
        Process p(ini());
        const Name panel = p.shortcuts.createName(StandardNames::togglePanel());
        const Name second(u"second"_s);
        p.shortcuts.setShortcut(ctrlAltV, second);
        QStringList log;
        p.shortcuts.onKeyDown(panel, [&] { log.append(u"down"_s); });
        p.shortcuts.onKeyUp(panel, [&] { log.append(u"up 1"_s); });
        p.shortcuts.onKeyUp(panel, [&] { log.append(u"up 2"_s); });
        p.shortcuts.onKeyUp(second, [&] { log.append(u"second"_s); });
        QCOMPARE(p.registrar.live().values(), QList<Shortcut>({ ctrlAltV }));
        QVERIFY(p.registrar.press(ctrlAltV));
        QCOMPARE(log, QStringList({ u"down"_s }));
        QVERIFY(p.registrar.release(ctrlAltV));
        QCOMPARE(log.size(), 4);
        QCOMPARE(log.filter(u"up"_s), QStringList({ u"up 1"_s, u"up 2"_s }));
        // Paused shortcuts stay registered but run nothing. (A recorder also
        // withdraws them: see the recorder's tests.)
        p.shortcuts.setPaused(true);
        QVERIFY(p.registrar.release(ctrlAltV));
        QVERIFY(p.shortcuts.isEnabled(panel));
        p.shortcuts.setPaused(false);
        QCOMPARE(log.size(), 4);
        log.clear();
        p.shortcuts.removeHandler(second);
        p.shortcuts.setShortcut(ctrlShiftK, panel);
        QCOMPARE(p.registrar.live().values(), QList<Shortcut>({ ctrlShiftK }));
        QVERIFY(!p.registrar.press(ctrlAltV));
        QVERIFY(p.registrar.release(ctrlShiftK));
        QCOMPARE(log, QStringList({ u"up 1"_s, u"up 2"_s }));
        p.shortcuts.onKeyUp(panel, [&] {
            log.append(u"changes"_s);
            p.shortcuts.removeAllHandlers();
            p.shortcuts.onKeyUp(Name(u"other"_s), [] {});
        });
        QVERIFY(p.registrar.release(ctrlShiftK));
        QCOMPARE(log.mid(2), QStringList({ u"up 1"_s, u"up 2"_s, u"changes"_s }));
    }

    // Reset all removes the stored shortcuts, not a cleared name's false nor
    // other settings; a reset name with a default gets it back. A cleared
    // name without a default is removed, and clearing it again does nothing.
    void resetAndClear()
    {
        Process p(ini());
        const Name panel = p.shortcuts.createName(StandardNames::togglePanel());
        const Name pinned = p.shortcuts.createName(StandardNames::togglePinnedPanel());
        const Name custom(u"custom"_s);
        p.shortcuts.setShortcut(ctrlShiftK, custom);
        p.shortcuts.setShortcut(std::nullopt, pinned);
        p.defaults.setObject(u"maxClipCount"_s, 50);
        QSignalSpy changed(&p.shortcuts, &NamedShortcuts::shortcutByNameDidChange);
        p.shortcuts.setShortcut(std::nullopt, custom);
        p.shortcuts.setShortcut(std::nullopt, custom);
        QVERIFY(!storedValue(ini(), custom).isValid());
        p.shortcuts.resetAll();
        QCOMPARE(changedNames(changed), QList<QString>({ u"custom"_s, u"togglePanel"_s }));
        QVERIFY(!storedValue(ini(), panel).isValid());
        QCOMPARE(storedValue(ini(), pinned).toString(), u"false"_s);
        QCOMPARE(p.defaults.integer(u"maxClipCount"_s), 50);
        QVERIFY(p.registrar.live().isEmpty());
        p.shortcuts.reset({ panel });
        QCOMPARE(p.shortcuts.getShortcut(panel), ctrlAltV);
        QCOMPARE(p.registrar.live().values(), QList<Shortcut>({ ctrlAltV }));
    }

    void registrationWithoutTouchingTheStore()
    {
        Process p(ini());
        const Name panel = p.shortcuts.createName(StandardNames::togglePanel());
        const Name pinned = p.shortcuts.createName(StandardNames::togglePinnedPanel());
        p.shortcuts.disable({ panel });
        QVERIFY(!p.shortcuts.isEnabled(panel));
        QVERIFY(p.shortcuts.isEnabled(pinned));
        QCOMPARE(p.registrar.live().values(), QList<Shortcut>({ ctrlAltP }));
        QCOMPARE(p.shortcuts.getShortcut(panel), ctrlAltV);
        p.shortcuts.enable({ panel, pinned });
        QCOMPARE(p.registrar.live().size(), 2);

        // The master switch withdraws everything and brings it back.
        p.shortcuts.setEnabled(false);
        QVERIFY(p.registrar.live().isEmpty());
        QVERIFY(!p.shortcuts.isEnabled(pinned));
        p.shortcuts.setEnabled(true);
        QCOMPARE(p.registrar.live().size(), 2);

        p.shortcuts.onKeyUp(panel, [] {});
        p.shortcuts.removeHandler(panel);
        QCOMPARE(p.registrar.live().values(), QList<Shortcut>({ ctrlAltP }));
        p.shortcuts.removeAllHandlers();
        QVERIFY(p.registrar.live().isEmpty());
    }

    // The panel's two shortcuts act on their key's release, once, and only
    // while a controller is there to act.
    void hotkeyController()
    {
        Process p(ini());
        QStringList calls;
        auto gone = std::make_unique<HotkeyController>(p.shortcuts);
        gone->setOnToggle([&calls] { calls.append(u"gone"_s); });
        gone.reset();
        // One not launched yet has nothing to run.
        HotkeyController unlaunched(p.shortcuts);
        QVERIFY(p.registrar.release(ctrlAltV));
        HotkeyController controller(p.shortcuts);
        controller.setOnToggle([&calls] { calls.append(u"all"_s); });
        controller.setOnTogglePinned([&calls] { calls.append(u"pinned"_s); });
        QVERIFY(p.registrar.press(ctrlAltV));
        QVERIFY(p.registrar.press(ctrlAltP));
        QVERIFY(calls.isEmpty());
        QVERIFY(p.registrar.release(ctrlAltV));
        QVERIFY(p.registrar.release(ctrlAltP));
        QVERIFY(p.registrar.release(ctrlAltV));
        QCOMPARE(calls, QStringList({ u"all"_s, u"pinned"_s, u"all"_s }));
    }
};

QTEST_MAIN(tst_NamedShortcuts)
#include "tst_NamedShortcuts.moc"
