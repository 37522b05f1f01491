// SPDX-License-Identifier: GPL-3.0-or-later
#include "X11TestTools.h"
#include "globalhotkeys/KeyCodeTable.h"
#include "globalhotkeys/Shortcut.h"
#include "platform/x11/X11HotkeyRegistrar.h"
#include "platform/x11/X11KeyboardLayout.h"
#include "platform/x11/X11Xkb.h"

#include <QSignalSpy>
#include <QTest>

#include <xkbcommon/xkbcommon.h>

#include <cstdlib>

using namespace Qt::StringLiterals;

using namespace GlobalHotkeys;

namespace {

const Shortcut ctrlAltV(Key::v, ModifierFlag::command | ModifierFlag::option);
const Shortcut ctrlAltP(Key::p, ModifierFlag::command | ModifierFlag::option);

// Makes a keyboard group the active one, as a layout switcher does; xdotool
// cannot, as it puts back the group it found after each key it sends.
bool lockGroup(int group)
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    std::free(
        xcb_xkb_use_extension_reply(connection, xcb_xkb_use_extension(connection, 1, 0), nullptr));
    xcb_generic_error_t *error = xcb_request_check(connection,
        xcb_xkb_latch_lock_state_checked(
            connection, XCB_XKB_ID_USE_CORE_KBD, 0, 0, 1, uint8_t(group), 0, 0, 0));
    const bool done = !error && !xcb_connection_has_error(connection);
    std::free(error);
    xcb_disconnect(connection);
    return done;
}

// What the US layout types on each named key (Num Lock off); F13-F20 get
// other symbols from xkeyboard-config, which is why we name them ourselves.
QHash<QString, QString> usKeysyms()
{
    QHash<QString, QString> keysyms;
    for (char c = 'a'; c <= 'z'; ++c)
        keysyms.insert(QString(QLatin1Char(c)), QString(QLatin1Char(c)));
    const QStringList digits
        = u"zero one two three four five six seven eight nine"_s.split(QLatin1Char(' '));
    for (int i = 0; i < 10; ++i)
        keysyms.insert(digits[i], QString::number(i));
    for (int i = 1; i <= 12; ++i)
        keysyms.insert(u"f%1"_s.arg(i), u"F%1"_s.arg(i));
    const QString pairs = QStringLiteral(
        "escape Escape capsLock Caps_Lock shift Shift_L control Super_L option Alt_L command "
        "Control_L "
        "rightCommand Control_R rightOption Alt_R rightControl Super_R rightShift Shift_R "
        "return Return backslash backslash backtick grave comma comma equal equal minus minus "
        "period period quote apostrophe semicolon semicolon slash slash space space tab Tab "
        "leftBracket bracketleft rightBracket bracketright pageUp Prior pageDown Next home Home "
        "end End upArrow Up rightArrow Right downArrow Down leftArrow Left delete BackSpace "
        "deleteForward Delete help Insert mute XF86AudioMute volumeUp XF86AudioRaiseVolume "
        "volumeDown XF86AudioLowerVolume f13 XF86Tools f14 XF86Launch5 f15 XF86Launch6 "
        "f16 XF86Launch7 f17 XF86Launch8 f18 XF86Launch9 f19 NoSymbol f20 XF86AudioMicMute "
        "keypad0 KP_Insert keypad1 KP_End keypad2 KP_Down keypad3 KP_Next keypad4 KP_Left "
        "keypad5 KP_Begin keypad6 KP_Right keypad7 KP_Home keypad8 KP_Up keypad9 KP_Prior "
        "keypadClear Num_Lock keypadDecimal KP_Delete keypadDivide KP_Divide keypadEnter "
        "KP_Enter keypadEquals KP_Equal keypadMinus KP_Subtract keypadMultiply KP_Multiply "
        "keypadPlus KP_Add");
    const QStringList words = pairs.split(QLatin1Char(' '));
    for (qsizetype i = 0; i + 1 < words.size(); i += 2)
        keysyms.insert(words[i], words[i + 1]);
    return keysyms;
}

} // namespace

class tst_X11Hotkeys : public QObject
{
    Q_OBJECT
private slots:
    void pressThenReleaseOnTheKeysRelease_data()
    {
        QTest::addColumn<QList<Key>>("locks");
        QTest::newRow("no lock") << QList<Key>();
        QTest::newRow("Num Lock") << QList<Key> { Key::keypadClear };
        QTest::newRow("Caps Lock") << QList<Key> { Key::capsLock };
        QTest::newRow("both") << QList<Key> { Key::keypadClear, Key::capsLock };
    }

    void pressThenReleaseOnTheKeysRelease()
    {
        QFETCH(QList<Key>, locks);
        X11HotkeyRegistrar registrar;
        QVERIFY(registrar.isValid());
        QStringList log;
        connect(&registrar, &HotkeyRegistrar::hotkeyPressed, this,
            [&](quint32 id) { log.append(u"press %1"_s.arg(id)); });
        connect(&registrar, &HotkeyRegistrar::hotkeyReleased, this,
            [&](quint32 id) { log.append(u"release %1"_s.arg(id)); });
        QCOMPARE(registrar.registerHotkey(7, ctrlAltV), 0);
        // F9 marks a point in the event stream.
        QCOMPARE(registrar.registerHotkey(8, Shortcut(Key::f9)), 0);
        KeyboardRestorer restore { locks };
        QVERIFY(xdotool("key", locks));

        QVERIFY(xdotool("keydown", { Key::command, Key::option, Key::v }));
        QTRY_COMPARE(log, QStringList({ u"press 7"_s }));
        // The modifiers go up first: still no release of the shortcut.
        QVERIFY(xdotool("keyup", { Key::option, Key::command }));
        QVERIFY(xdotool("key", { Key::f9 }));
        QTRY_COMPARE(log.size(), 3);
        QVERIFY(xdotool("keyup", { Key::v }));
        QTRY_COMPARE(
            log, QStringList({ u"press 7"_s, u"press 8"_s, u"release 8"_s, u"release 7"_s }));
    }

    // Another client holds a key when a probe grab of it fails with
    // BadAccess; the recorder asks before taking such a key. A key we hold
    // ourselves is not held elsewhere, and probing it leaves our grab in place.
    void keyHeldElsewhere()
    {
        X11HotkeyRegistrar other;
        QCOMPARE(other.registerHotkey(1, ctrlAltP), 0);
        X11HotkeyRegistrar registrar;
        QCOMPARE(registrar.registerHotkey(1, ctrlAltV), 0);
        QVERIFY(registrar.isHeldByAnotherProgram(ctrlAltP));
        QVERIFY(!registrar.isHeldByAnotherProgram(ctrlAltV));
        QVERIFY(!registrar.isHeldByAnotherProgram(
            Shortcut(Key::z, ModifierFlag::command | ModifierFlag::option)));
        QSignalSpy pressed(&registrar, &HotkeyRegistrar::hotkeyPressed);
        QVERIFY(xdotool("keydown", { Key::command, Key::option, Key::v }));
        QVERIFY(xdotool("keyup", { Key::v, Key::option, Key::command }));
        QVERIFY(pressed.wait());
    }

    // Each key of the table against the server's US keymap: the keycode we
    // grab is the key that types the expected symbol.
    void keyCodesMatchTheServersKeymap()
    {
        const QHash<QString, QString> expected = usKeysyms();
        X11KeyboardLayout keyboard;
        QVERIFY(keyboard.isValid());
        QStringList mismatches;
        int checked = 0;
        for (const NamedKey &named : allNamedKeys()) {
            if (named.key == Key::function)
                continue;
            const QString name = QString::fromLatin1(named.name);
            const xkb_keysym_t *syms = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(
                keyboard.keymap(), xkb_keycode_t(x11Keycode(named.key)), 0, 0, &syms);
            const xkb_keysym_t symbol = count > 0 ? syms[0] : XKB_KEY_NoSymbol;
            if (!expected.contains(name)
                || symbol
                    != xkb_keysym_from_name(expected.value(name).toLatin1(), XKB_KEYSYM_NO_FLAGS))
                mismatches.append(name + u" is not "_s + expected.value(name));
            ++checked;
        }
        QCOMPARE(mismatches, QStringList());
        QCOMPARE(checked, expected.size());
    }

    // The text follows the layout, or the group a switcher makes active;
    // the grab stays on its key.
    void layoutChangesTheText_data()
    {
        QTest::addColumn<QStringList>("layout");
        QTest::addColumn<int>("group");
        QTest::addColumn<Key>("key");
        QTest::addColumn<QString>("us");
        QTest::addColumn<QString>("text");
        const QStringList de { u"de"_s };
        QTest::newRow("de: Y on the Z key")
            << de << 0 << Key::z << u"Ctrl+Alt+Z"_s << u"Ctrl+Alt+Y"_s;
        QTest::newRow("de: dead key")
            << de << 0 << Key::backtick << u"Ctrl+Alt+`"_s << u"Ctrl+Alt+\uFFFD"_s;
        QTest::newRow("us,de: the second group") << QStringList { u"-layout"_s, u"us,de"_s } << 1
                                                 << Key::z << u"Ctrl+Alt+Z"_s << u"Ctrl+Alt+Y"_s;
    }

    void layoutChangesTheText()
    {
        QFETCH(QStringList, layout);
        QFETCH(int, group);
        QFETCH(Key, key);
        QFETCH(QString, us);
        QFETCH(QString, text);
        const Shortcut shortcut(key, ModifierFlag::command | ModifierFlag::option);
        KeyboardRestorer restore;
        X11KeyboardLayout keyboard;
        QVERIFY(keyboard.isValid());
        X11HotkeyRegistrar registrar;
        QCOMPARE(registrar.registerHotkey(1, shortcut), 0);
        QCOMPARE(shortcut.description(keyboard), us);
        QVERIFY(setLayout(layout));
        if (group != 0) {
            QTRY_COMPARE(shortcut.description(keyboard), us);
            QVERIFY(lockGroup(group));
        }
        QTRY_COMPARE_WITH_TIMEOUT(shortcut.description(keyboard), text, 10000);
        QSignalSpy pressed(&registrar, &HotkeyRegistrar::hotkeyPressed);
        QVERIFY(xdotool("keydown", { Key::command, Key::option, key }));
        QVERIFY(xdotool("keyup", { key, Key::option, Key::command }));
        QVERIFY(pressed.wait());
        if (group != 0) {
            QVERIFY(lockGroup(0));
            QTRY_COMPARE(shortcut.description(keyboard), us);
        }
    }
};

QTEST_MAIN(tst_X11Hotkeys)
#include "tst_X11Hotkeys.moc"
