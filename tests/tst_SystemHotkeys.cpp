// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConsoleCapture.h"
#include "FakeHotkeyRegistrar.h"
#include "FakeKeyboardLayout.h"
#include "globalhotkeys/SystemHotkeys.h"

#include <QKeyEvent>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace GlobalHotkeys;

namespace {

const Shortcut ctrlAltV(Key::v, ModifierFlag::command | ModifierFlag::option);
const Shortcut ctrlAltP(Key::p, ModifierFlag::command | ModifierFlag::option);
const Shortcut f5(Key::f5);

// X keycodes (evdev + 8) of the keys the menu tests press.
constexpr quint32 scanV = 55;
constexpr quint32 scanB = 56;

// Every callback appends "down <text>" or "up <text>" to one log.
struct Log
{
    QStringList entries;
    SystemHotkeys::Callback down(const QString &tag)
    {
        return [this, tag](const Shortcut &) { entries.append(u"down "_s + tag); };
    }
    SystemHotkeys::Callback up(const QString &tag)
    {
        return [this, tag](const Shortcut &) { entries.append(u"up "_s + tag); };
    }
};

struct Fixture
{
    FakeHotkeyRegistrar registrar;
    FakeKeyboardLayout layout;
    SystemHotkeys hotkeys { registrar, layout };
    Log log;

    void add(const Shortcut &shortcut, const QString &tag)
    {
        hotkeys.register_(shortcut, log.down(tag), log.up(tag));
    }
};

// Sends a key event as Qt would deliver it to the open menu; true when it
// was taken away from the menu.
bool sendKey(
    QEvent::Type type, quint32 scanCode, Qt::KeyboardModifiers modifiers, bool autoRepeat = false)
{
    QObject menu;
    QKeyEvent event(type, Qt::Key_unknown, modifiers, scanCode, 0, 0, QString(), autoRepeat);
    return QCoreApplication::sendEvent(&menu, &event);
}

const Qt::KeyboardModifiers ctrlAlt = Qt::ControlModifier | Qt::AltModifier;

// One key event the open menu receives, and whether it should be taken.
struct KeyStep
{
    QEvent::Type type;
    quint32 scanCode;
    Qt::KeyboardModifiers modifiers;
    bool autoRepeat;
    bool taken;
};

} // namespace

Q_DECLARE_METATYPE(QList<KeyStep>)

class tst_SystemHotkeys : public QObject
{
    Q_OBJECT
private slots:
    void idsCountUpAlsoOverRefusals()
    {
        Fixture f;
        f.registrar.refuse(f5, 10);
        ConsoleCapture console;
        f.add(ctrlAltV, u"v"_s);
        f.add(ctrlAltP, u"p"_s);
        f.add(f5, u"f5"_s);
        f.add(Shortcut(Key::b, ModifierFlag::command), u"b"_s);
        QCOMPARE(console.text(), QByteArray("Error registering hotkey F5: 10\n"));
        QCOMPARE(f.registrar.calls(),
            QStringList({ u"register 1"_s, u"register 2"_s, u"refused 3"_s, u"register 4"_s }));
        // The refused shortcut is not kept: the desktop never reports it.
        QVERIFY(!f.registrar.press(f5));
    }

    // Each registration runs its own callbacks; unregistering a shortcut
    // removes every registration of it, and unknown ids run nothing.
    void pressAndReleaseReachTheirCallbacks()
    {
        Fixture f;
        f.add(ctrlAltV, u"v"_s);
        f.add(ctrlAltP, u"p"_s);
        f.add(ctrlAltV, u"second v"_s);
        QVERIFY(f.registrar.press(ctrlAltP));
        QVERIFY(f.registrar.release(ctrlAltP));
        emit f.registrar.hotkeyPressed(3);
        emit f.registrar.hotkeyPressed(77);
        emit f.registrar.hotkeyReleased(0);
        f.hotkeys.unregister(ctrlAltV);
        QCOMPARE(f.registrar.live().keys(), QList<quint32>({ 2 }));
        emit f.registrar.hotkeyPressed(1);
        QCOMPARE(f.log.entries, QStringList({ u"down p"_s, u"up p"_s, u"down second v"_s }));
    }

    void disablingWithdrawsAndEnablingRestoresUnderTheOldIds()
    {
        Fixture f;
        f.add(ctrlAltV, u"v"_s);
        f.add(ctrlAltP, u"p"_s);
        f.hotkeys.updateEventHandler(false, false);
        QVERIFY(f.registrar.live().isEmpty());
        // A release still in flight from before is dropped as well.
        emit f.registrar.hotkeyReleased(1);
        QVERIFY(f.log.entries.isEmpty());

        // Meanwhile another program took Ctrl+Alt+P.
        f.registrar.refuse(ctrlAltP, 10);
        ConsoleCapture console;
        f.hotkeys.updateEventHandler(true, false);
        QCOMPARE(console.text(), QByteArray("Error registering hotkey Ctrl+Alt+P: 10\n"));
        QCOMPARE(f.registrar.live().keys(), QList<quint32>({ 1 }));
        QCOMPARE(f.registrar.live().value(1), ctrlAltV);
        QVERIFY(f.registrar.press(ctrlAltV));
        QCOMPARE(f.log.entries, QStringList({ u"down v"_s }));

        // The refused one was dropped: later cycles do not ask again.
        f.registrar.accept(ctrlAltP);
        f.hotkeys.updateEventHandler(false, false);
        f.hotkeys.updateEventHandler(true, false);
        QCOMPARE(f.registrar.live().keys(), QList<quint32>({ 1 }));
    }

    void menuOpenMatchesKeyEvents_data()
    {
        QTest::addColumn<QList<KeyStep>>("steps");
        QTest::addColumn<QStringList>("log");
        const auto press = QEvent::KeyPress;
        const auto release = QEvent::KeyRelease;
        const auto override = QEvent::ShortcutOverride;
        const QString down = u"down v"_s;
        const QString up = u"up v"_s;
        QTest::newRow("press and release") << QList<KeyStep> {
            { press, scanV, ctrlAlt, false, true }, { release, scanV, ctrlAlt, false, true }
        } << QStringList { down, up };
        QTest::newRow("release after the modifiers") << QList<KeyStep> {
            { press, scanV, ctrlAlt, false, true }, { release, scanV, Qt::NoModifier, false, true }
        } << QStringList { down, up };
        // Qt reports a repeat as a release and a press, both marked.
        QTest::newRow("auto-repeat is one press") << QList<KeyStep> {
            { press, scanV, ctrlAlt, false, true }, { release, scanV, ctrlAlt, true, true },
            { press, scanV, ctrlAlt, true, true }, { release, scanV, ctrlAlt, false, true }
        } << QStringList { down, up };
        QTest::newRow("other key reaches the menu") << QList<KeyStep> {
            { override, scanB, ctrlAlt, false, false }, { press, scanB, ctrlAlt, false, false },
            { release, scanB, ctrlAlt, false, false }
        } << QStringList();
        QTest::newRow("other modifiers reach the menu")
            << QList<KeyStep> { { press, scanV, Qt::ControlModifier, false, false },
                   { release, scanV, Qt::ControlModifier, false, false } }
            << QStringList();
        QTest::newRow("override claims the key, the press runs it") << QList<KeyStep> {
            { override, scanV, ctrlAlt, false, true }, { press, scanV, ctrlAlt, false, true }
        } << QStringList { down };
    }

    void menuOpenMatchesKeyEvents()
    {
        QFETCH(QList<KeyStep>, steps);
        QFETCH(QStringList, log);
        Fixture f;
        f.add(ctrlAltP, u"p"_s);
        f.add(ctrlAltV, u"v"_s);
        f.hotkeys.updateEventHandler(true, true);
        QVERIFY(f.registrar.live().isEmpty());
        // The menu holds the keyboard: a hot key event would be stale.
        emit f.registrar.hotkeyPressed(2);
        for (const KeyStep &step : steps)
            QCOMPARE(
                sendKey(step.type, step.scanCode, step.modifiers, step.autoRepeat), step.taken);
        QCOMPARE(f.log.entries, log);
        // Closed, the menu gives the keys back to the hot keys.
        f.hotkeys.updateEventHandler(true, false);
        QCOMPARE(f.registrar.live().keys(), QList<quint32>({ 1, 2 }));
        QVERIFY(!sendKey(QEvent::KeyPress, scanV, ctrlAlt));
        QVERIFY(f.registrar.press(ctrlAltP));
        QCOMPARE(f.log.entries, log + QStringList { u"down p"_s });
    }
};

QTEST_MAIN(tst_SystemHotkeys)
#include "tst_SystemHotkeys.moc"
