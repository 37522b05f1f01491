// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeHotkeyRegistrar.h"
#include "FakeKeyboardLayout.h"
#include "globalhotkeys/NamedShortcuts.h"
#include "globalhotkeys/StandardNames.h"
#include "model/Defaults.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

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

    void firstStartWritesTheDefaultOnce()
    {
        {
            Process first(ini());
            QSignalSpy changed(&first.shortcuts, &NamedShortcuts::shortcutByNameDidChange);
            const Name name = first.shortcuts.createName(StandardNames::togglePanel());
            QCOMPARE(storedValue(ini(), name).toString(), QString::fromUtf8(ctrlAltVJson));
            QCOMPARE(changedNames(changed), QList<QString>({ u"togglePanel"_s }));
            QCOMPARE(first.registrar.live().values(), QList<Shortcut>({ ctrlAltV }));
            QCOMPARE(first.shortcuts.getShortcut(name), ctrlAltV);
        }
        Process later(ini());
        QSignalSpy changed(&later.shortcuts, &NamedShortcuts::shortcutByNameDidChange);
        const Name name = later.shortcuts.createName(StandardNames::togglePanel());
        QCOMPARE(changed.count(), 0);
        // Registered only once something listens for it.
        QVERIFY(later.registrar.live().isEmpty());
        later.shortcuts.onKeyUp(name, [] {});
        QCOMPARE(later.registrar.live().values(), QList<Shortcut>({ ctrlAltV }));
    }

    void aClearedNameStaysCleared()
    {
        {
            Process first(ini());
            const Name name = first.shortcuts.createName(StandardNames::togglePanel());
            QSignalSpy changed(&first.shortcuts, &NamedShortcuts::shortcutByNameDidChange);
            first.shortcuts.setShortcut(std::nullopt, name);
            QCOMPARE(changed.count(), 1);
            QVERIFY(first.registrar.live().isEmpty());
            QCOMPARE(first.shortcuts.getShortcut(name), std::nullopt);
        }
        QCOMPARE(storedValue(ini(), StandardNames::togglePanel()).toString(), u"false"_s);
        Process later(ini());
        const Name name = later.shortcuts.createName(StandardNames::togglePanel());
        later.shortcuts.onKeyUp(name, [] {});
        QCOMPARE(later.shortcuts.getShortcut(name), std::nullopt);
        QVERIFY(later.registrar.live().isEmpty());
        QCOMPARE(storedValue(ini(), name).toString(), u"false"_s);
    }

    void clearingANameWithoutDefaultRemovesIt()
    {
        Process p(ini());
        const Name name(u"custom"_s);
        p.shortcuts.setShortcut(ctrlShiftK, name);
        QVERIFY(p.defaults.contains(name.storageKey()));
        p.shortcuts.setShortcut(std::nullopt, name);
        QVERIFY(!p.defaults.contains(name.storageKey()));
        QVERIFY(!storedValue(ini(), name).isValid());

        // Nothing stored: clearing again writes and announces nothing.
        QSignalSpy changed(&p.shortcuts, &NamedShortcuts::shortcutByNameDidChange);
        p.shortcuts.setShortcut(std::nullopt, name);
        QCOMPARE(changed.count(), 0);
    }

    void unreadableEntriesAreLeftAlone()
    {
        QSettings(ini(), QSettings::IniFormat)
            .setValue(StandardNames::togglePanel().storageKey(), u"{broken"_s);
        Process p(ini());
        const Name name = p.shortcuts.createName(StandardNames::togglePanel());
        QCOMPARE(p.shortcuts.getShortcut(name), std::nullopt);
        QVERIFY(p.registrar.live().isEmpty());
        QCOMPARE(storedValue(ini(), name).toString(), u"{broken"_s);
    }

    void changingAShortcutMovesTheRegistration()
    {
        Process p(ini());
        const Name name = p.shortcuts.createName(StandardNames::togglePanel());
        QStringList log;
        p.shortcuts.onKeyDown(name, [&] { log.append(u"down"_s); });
        p.shortcuts.onKeyUp(name, [&] { log.append(u"up"_s); });
        p.shortcuts.setShortcut(ctrlShiftK, name);
        QCOMPARE(p.registrar.live().values(), QList<Shortcut>({ ctrlShiftK }));
        QCOMPARE(p.shortcuts.registeredShortcuts(), QSet<Shortcut>({ ctrlShiftK }));
        QVERIFY(!p.registrar.press(ctrlAltV));
        QVERIFY(p.registrar.press(ctrlShiftK));
        QCOMPARE(log, QStringList({ u"down"_s }));
        QVERIFY(p.registrar.release(ctrlShiftK));
        QCOMPARE(log, QStringList({ u"down"_s, u"up"_s }));
    }

    void twoNamesOnOneShortcutBothFire()
    {
        Process p(ini());
        const Name first = p.shortcuts.createName(StandardNames::togglePanel());
        const Name second(u"second"_s);
        p.shortcuts.setShortcut(ctrlAltV, second);
        QStringList log;
        p.shortcuts.onKeyUp(first, [&] { log.append(u"first 1"_s); });
        p.shortcuts.onKeyUp(first, [&] { log.append(u"first 2"_s); });
        p.shortcuts.onKeyUp(second, [&] { log.append(u"second"_s); });
        // One registration serves both names.
        QCOMPARE(p.registrar.live().size(), 1);
        QVERIFY(p.registrar.press(ctrlAltV));
        QVERIFY(log.isEmpty());
        QVERIFY(p.registrar.release(ctrlAltV));
        QCOMPARE(log.size(), 3);
        QVERIFY(log.indexOf(u"first 1"_s) < log.indexOf(u"first 2"_s));
        QVERIFY(log.contains(u"second"_s));
    }

    // Paused shortcuts stay registered but run nothing. (A recorder also
    // withdraws them: see the recorder's tests.)
    void pausedShortcutsRunNothing()
    {
        Process p(ini());
        const Name name = p.shortcuts.createName(StandardNames::togglePanel());
        int runs = 0;
        p.shortcuts.onKeyUp(name, [&] { ++runs; });
        p.shortcuts.setPaused(true);
        QVERIFY(p.registrar.release(ctrlAltV));
        QCOMPARE(runs, 0);
        QVERIFY(p.shortcuts.isEnabled(name));
        p.shortcuts.setPaused(false);
        QVERIFY(p.registrar.release(ctrlAltV));
        QCOMPARE(runs, 1);
    }

    void resetAllRemovesStoredShortcutsOnly()
    {
        Process p(ini());
        const Name panel = p.shortcuts.createName(StandardNames::togglePanel());
        const Name pinned = p.shortcuts.createName(StandardNames::togglePinnedPanel());
        p.shortcuts.setShortcut(std::nullopt, pinned);
        p.defaults.setObject(u"maxClipCount"_s, 50);
        QSignalSpy changed(&p.shortcuts, &NamedShortcuts::shortcutByNameDidChange);
        p.shortcuts.resetAll();
        QCOMPARE(changedNames(changed), QList<QString>({ u"togglePanel"_s }));
        QVERIFY(!p.defaults.contains(panel.storageKey()));
        QCOMPARE(storedValue(ini(), pinned).toString(), u"false"_s);
        QCOMPARE(p.defaults.integer(u"maxClipCount"_s), 50);
        QVERIFY(p.registrar.live().isEmpty());

        // A reset of a name that has a default brings the default back.
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
        QVERIFY(p.shortcuts.registeredShortcuts().isEmpty());
    }

    void anActionMayChangeHandlers()
    {
        Process p(ini());
        const Name panel = p.shortcuts.createName(StandardNames::togglePanel());
        int runs = 0;
        p.shortcuts.onKeyUp(panel, [&] {
            ++runs;
            p.shortcuts.removeAllHandlers();
            p.shortcuts.onKeyUp(Name(u"other"_s), [] {});
        });
        QVERIFY(p.registrar.release(ctrlAltV));
        QCOMPARE(runs, 1);
    }
};

QTEST_MAIN(tst_NamedShortcuts)
#include "tst_NamedShortcuts.moc"
