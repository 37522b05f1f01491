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

// Every callback appends "down <tag>" or "up <tag>" to one log.
struct Fixture
{
    FakeHotkeyRegistrar registrar;
    FakeKeyboardLayout layout;
    SystemHotkeys hotkeys { registrar, layout };
    QStringList log;

    void add(const Shortcut &shortcut, const QString &tag)
    {
        hotkeys.register_(
            shortcut, [this, tag](const Shortcut &) { log.append(u"down "_s + tag); },
            [this, tag](const Shortcut &) { log.append(u"up "_s + tag); });
    }
};

// Sends one key event, written as the menu table writes it, as Qt would
// deliver it to the open menu; true when it was taken away from the menu.
bool sendKey(const QString &event)
{
    const QEvent::Type type = event[0] == u'+' ? QEvent::KeyPress
        : event[0] == u'-'                     ? QEvent::KeyRelease
                                               : QEvent::ShortcutOverride;
    Qt::KeyboardModifiers modifiers = Qt::ControlModifier | Qt::AltModifier;
    if (event.contains(u'^'))
        modifiers = Qt::ControlModifier;
    if (event.contains(u'0'))
        modifiers = Qt::NoModifier;
    QObject menu;
    QKeyEvent key(type, Qt::Key_unknown, modifiers, event[1] == u'v' ? scanV : scanB, 0, 0,
        QString(), event.contains(u'*'));
    return QCoreApplication::sendEvent(&menu, &key);
}

} // namespace

class tst_SystemHotkeys : public QObject
{
    Q_OBJECT
private slots:
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
        QCOMPARE(f.log, QStringList({ u"down p"_s, u"up p"_s, u"down second v"_s }));
    }

    // A shortcut the desktop refuses is told on the console and dropped, at
    // its first registration or when the shortcuts come back; the others come
    // back under their old ids.
    void refusedShortcutsAreToldAndDropped()
    {
        Fixture f;
        f.registrar.refuse(f5, 10);
        ConsoleCapture console;
        f.add(ctrlAltV, u"v"_s);
        f.add(f5, u"f5"_s);
        f.add(ctrlAltP, u"p"_s);
        f.hotkeys.updateEventHandler(false, false);
        QVERIFY(f.registrar.live().isEmpty());
        // A release still in flight from before is dropped as well.
        emit f.registrar.hotkeyReleased(1);

        // Meanwhile another program took Ctrl+Alt+P, and F5 came free.
        f.registrar.refuse(ctrlAltP, 10);
        f.registrar.accept(f5);
        f.hotkeys.updateEventHandler(true, false);
        QCOMPARE(console.text(),
            QByteArray(
                "Error registering hotkey F5: 10\nError registering hotkey Ctrl+Alt+P: 10\n"));
        f.registrar.accept(ctrlAltP);
        f.hotkeys.updateEventHandler(false, false);
        f.hotkeys.updateEventHandler(true, false);
        QCOMPARE(f.registrar.live(), (QMap<quint32, Shortcut> { { 1, ctrlAltV } }));
        QVERIFY(f.registrar.press(ctrlAltV));
        QCOMPARE(f.log, QStringList({ u"down v"_s }));
    }

    // Key events as the open menu receives them: "+v" a press of V with
    // Ctrl+Alt, "-v" its release, "?v" Qt's ShortcutOverride for it; "*" marks
    // an auto-repeat, "^" Ctrl alone, "0" no modifiers. B is in no shortcut.
    void menuOpenMatchesKeyEvents_data()
    {
        QTest::addColumn<QString>("events");
        QTest::addColumn<bool>("taken"); // away from the menu
        QTest::addColumn<QStringList>("log");
        const QStringList downUp { u"down v"_s, u"up v"_s };
        QTest::newRow("press and release") << u"+v -v"_s << true << downUp;
        QTest::newRow("release after the modifiers") << u"+v -v0"_s << true << downUp;
        // Qt reports a repeat as a release and a press, both marked.
        QTest::newRow("auto-repeat is one press") << u"+v -v* +v* -v"_s << true << downUp;
        QTest::newRow("other key reaches the menu") << u"?b +b -b"_s << false << QStringList();
        QTest::newRow("other modifiers reach the menu") << u"+v^ -v^"_s << false << QStringList();
        QTest::newRow("override claims the key, the press runs it")
            << u"?v +v"_s << true << QStringList { u"down v"_s };
    }

    void menuOpenMatchesKeyEvents()
    {
        QFETCH(QString, events);
        QFETCH(bool, taken);
        QFETCH(QStringList, log);
        Fixture f;
        f.add(ctrlAltP, u"p"_s);
        f.add(ctrlAltV, u"v"_s);
        f.hotkeys.updateEventHandler(true, true);
        QVERIFY(f.registrar.live().isEmpty());
        // The menu holds the keyboard: a hot key event would be stale.
        emit f.registrar.hotkeyPressed(2);
        for (const QString &event : events.split(QLatin1Char(' ')))
            QCOMPARE(sendKey(event), taken);
        QCOMPARE(f.log, log);
        // Closed, the menu gives the keys back to the hot keys.
        f.hotkeys.updateEventHandler(true, false);
        QCOMPARE(f.registrar.live().keys(), QList<quint32>({ 1, 2 }));
        QVERIFY(!sendKey(u"+v"_s));
        QVERIFY(f.registrar.press(ctrlAltP));
        QCOMPARE(f.log, log + QStringList { u"down p"_s });
    }
};

QTEST_MAIN(tst_SystemHotkeys)
#include "tst_SystemHotkeys.moc"
