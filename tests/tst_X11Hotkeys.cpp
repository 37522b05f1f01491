#include "Defaults.h"
#include "KeyCodeTable.h"
#include "NamedShortcuts.h"
#include "StandardNames.h"
#include "StderrCapture.h"
#include "SystemHotkeys.h"
#include "X11HotkeyRegistrar.h"
#include "X11KeyboardLayout.h"

#include <QKeyEvent>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "X11Xkb.h"

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <memory>

using namespace GlobalHotkeys;

namespace {

const Shortcut ctrlAltV(Key::v, ModifierFlag::command | ModifierFlag::option);
const Shortcut ctrlAltP(Key::p, ModifierFlag::command | ModifierFlag::option);

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

// xdotool takes a number as an X keycode, so these press physical keys
// whatever the layout.
bool xdotool(const QString &action, const QList<int> &keycodes)
{
    QStringList arguments { action };
    for (const int keycode : keycodes)
        arguments.append(QString::number(keycode));
    return run(QStringLiteral("xdotool"), arguments);
}

int keycode(Key key)
{
    return *evdevCodeForKeyCode(key.rawValue) + xkbKeycodeOffset;
}

const int ctrlKeycode = keycode(Key::command);
const int altKeycode = keycode(Key::option);

// Ctrl+Alt+key: "xdotool key a b" would type the keys one after the other.
bool pressCtrlAlt(Key key)
{
    return xdotool(QStringLiteral("keydown"), { ctrlKeycode, altKeycode, keycode(key) })
        && xdotool(QStringLiteral("keyup"), { keycode(key), altKeycode, ctrlKeycode });
}

// Makes a keyboard group the active one, as a layout switcher does. xdotool
// cannot: it puts back the group it found after every key it sends.
bool lockGroup(int group)
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    bool done = false;
    if (!xcb_connection_has_error(connection)) {
        std::free(xcb_xkb_use_extension_reply(
            connection, xcb_xkb_use_extension(connection, 1, 0), nullptr));
        const xcb_void_cookie_t cookie = xcb_xkb_latch_lock_state_checked(
            connection, XCB_XKB_ID_USE_CORE_KBD, 0, 0, 1, uint8_t(group), 0, 0, 0);
        xcb_generic_error_t *error = xcb_request_check(connection, cookie);
        done = !error;
        std::free(error);
    }
    xcb_disconnect(connection);
    return done;
}

// Turns a lock key on for as long as it lives.
class LockOn
{
public:
    explicit LockOn(Key key)
        : m_keycode(keycode(key))
    {
        m_on = xdotool(QStringLiteral("key"), { m_keycode });
    }
    ~LockOn()
    {
        if (m_on)
            xdotool(QStringLiteral("key"), { m_keycode });
    }
    bool isOn() const { return m_on; }

private:
    int m_keycode;
    bool m_on = false;
};

// Puts the US layout back whatever a test changed.
struct UsLayoutAfterwards
{
    ~UsLayoutAfterwards()
    {
        run(QStringLiteral("setxkbmap"),
            { QStringLiteral("-layout"), QStringLiteral("us"), QStringLiteral("-option"),
                QString() });
    }
};

// A window that records the X keycode and keysym of every key pressed in it.
class KeyProbe : public QWidget
{
public:
    QHash<quint32, quint32> keysyms;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (!keysyms.contains(key->nativeScanCode()))
                keysyms.insert(key->nativeScanCode(), key->nativeVirtualKey());
            return true;
        }
        return QWidget::event(event);
    }
};

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
            [&](quint32 id) { log.append(QStringLiteral("press %1").arg(id)); });
        connect(&registrar, &HotkeyRegistrar::hotkeyReleased, this,
            [&](quint32 id) { log.append(QStringLiteral("release %1").arg(id)); });
        QCOMPARE(registrar.registerHotkey(7, ctrlAltV), 0);
        // F9 marks a point in the event stream.
        QCOMPARE(registrar.registerHotkey(8, Shortcut(Key::f9)), 0);
        std::vector<std::unique_ptr<LockOn>> on;
        for (const Key lock : locks) {
            on.push_back(std::make_unique<LockOn>(lock));
            QVERIFY(on.back()->isOn());
        }

        QVERIFY(xdotool(QStringLiteral("keydown"), { ctrlKeycode, altKeycode, keycode(Key::v) }));
        QTRY_COMPARE(log, QStringList({ QStringLiteral("press 7") }));
        // Modifiers up first: still no release of the shortcut.
        QVERIFY(xdotool(QStringLiteral("keyup"), { altKeycode, ctrlKeycode }));
        QVERIFY(xdotool(QStringLiteral("key"), { keycode(Key::f9) }));
        QTRY_COMPARE(log,
            QStringList({ QStringLiteral("press 7"), QStringLiteral("press 8"),
                QStringLiteral("release 8") }));
        QVERIFY(xdotool(QStringLiteral("keyup"), { keycode(Key::v) }));
        QTRY_COMPARE(log,
            QStringList({ QStringLiteral("press 7"), QStringLiteral("press 8"),
                QStringLiteral("release 8"), QStringLiteral("release 7") }));

        // Without the modifiers V is nobody's hot key.
        registrar.unregisterHotkey(8);
        QVERIFY(xdotool(QStringLiteral("key"), { keycode(Key::v) }));
        QCOMPARE(registrar.registerHotkey(9, Shortcut(Key::f9)), 0);
        QVERIFY(xdotool(QStringLiteral("key"), { keycode(Key::f9) }));
        QTRY_COMPARE(log.size(), 6);
        QCOMPARE(
            log.mid(4), QStringList({ QStringLiteral("press 9"), QStringLiteral("release 9") }));
    }

    void aKeyHeldByAnotherProgramIsRefused()
    {
        auto other = std::make_unique<X11HotkeyRegistrar>();
        QCOMPARE(other->registerHotkey(1, ctrlAltV), 0);
        QSignalSpy otherPressed(other.get(), &HotkeyRegistrar::hotkeyPressed);

        X11HotkeyRegistrar registrar;
        X11KeyboardLayout layout;
        QVERIFY(layout.isValid());
        SystemHotkeys hotkeys(registrar, layout);
        QStringList log;
        const auto record = [&](const QString &entry) {
            return [&log, entry](const Shortcut &) { log.append(entry); };
        };
        StderrCapture console;
        hotkeys.register_(
            ctrlAltV, record(QStringLiteral("down v")), record(QStringLiteral("up v")));
        hotkeys.register_(
            ctrlAltP, record(QStringLiteral("down p")), record(QStringLiteral("up p")));
        QCOMPARE(console.text(), QByteArray("Error registering hotkey Ctrl+Alt+V: 10\n"));

        // Ours still works, and the other program keeps its key.
        QVERIFY(pressCtrlAlt(Key::p));
        QTRY_COMPARE(log, QStringList({ QStringLiteral("down p"), QStringLiteral("up p") }));
        QVERIFY(pressCtrlAlt(Key::v));
        QTRY_COMPARE(otherPressed.count(), 1);
        QCOMPARE(log.size(), 2);

        // Once the other program is gone the key is free.
        other.reset();
        QTRY_COMPARE(registrar.registerHotkey(2, ctrlAltV), 0);
    }

    // Every key of the table is checked against the X server's own keymap
    // (US layout): the keycode we grab is the key that types the expected
    // symbol. Escape is left out only because xdotool reads "9" as a symbol.
    void keyCodesMatchTheServersKeymap()
    {
        const QHash<QString, QString> keysyms = expectedUsKeysyms();
        KeyProbe probe;
        probe.resize(200, 100);
        probe.show();
        probe.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&probe));

        QStringList mismatches;
        int checked = 0;
        for (const NamedKey &named : allNamedKeys()) {
            const QString name = QString::fromLatin1(named.name);
            if (named.key == Key::function || named.key == Key::escape)
                continue;
            const QString expected = keysyms.value(name);
            QVERIFY2(!expected.isEmpty(), named.name);
            const int code = keycode(named.key);
            // Lock keys are pressed twice, so the lock ends up as it was.
            const bool lock = named.key == Key::capsLock || named.key == Key::keypadClear;
            QVERIFY(xdotool(
                QStringLiteral("key"), lock ? QList<int> { code, code } : QList<int> { code }));
            QTRY_VERIFY2(probe.keysyms.contains(quint32(code)), named.name);
            const quint32 keysym = probe.keysyms.value(quint32(code));
            const xkb_keysym_t wanted
                = xkb_keysym_from_name(expected.toLatin1().constData(), XKB_KEYSYM_NO_FLAGS);
            if (keysym != wanted)
                mismatches.append(QStringLiteral("%1: keycode %2 types 0x%3, not %4")
                                      .arg(name)
                                      .arg(code)
                                      .arg(keysym, 0, 16)
                                      .arg(expected));
            ++checked;
        }
        QCOMPARE(mismatches, QStringList());
        QCOMPARE(checked, 111);
    }

    void layoutChangesTheText_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<Key>("key");
        QTest::addColumn<QString>("us");
        QTest::addColumn<QString>("text");
        QTest::newRow("de: Y on the Z key")
            << QStringLiteral("de") << Key::z << QStringLiteral("Ctrl+Alt+Z")
            << QStringLiteral("Ctrl+Alt+Y");
        QTest::newRow("de: Z on the Y key")
            << QStringLiteral("de") << Key::y << QStringLiteral("Ctrl+Alt+Y")
            << QStringLiteral("Ctrl+Alt+Z");
        QTest::newRow("de: dead key")
            << QStringLiteral("de") << Key::backtick << QStringLiteral("Ctrl+Alt+`")
            << QStringLiteral("Ctrl+Alt+\uFFFD");
        QTest::newRow("fr: Q on the A key")
            << QStringLiteral("fr") << Key::a << QStringLiteral("Ctrl+Alt+A")
            << QStringLiteral("Ctrl+Alt+Q");
        QTest::newRow("fr: & on the 1 key")
            << QStringLiteral("fr") << Key::one << QStringLiteral("Ctrl+Alt+1")
            << QStringLiteral("Ctrl+Alt+&");
    }

    void layoutChangesTheText()
    {
        QFETCH(QString, layout);
        QFETCH(Key, key);
        QFETCH(QString, us);
        QFETCH(QString, text);
        const Shortcut shortcut(key, ModifierFlag::command | ModifierFlag::option);
        UsLayoutAfterwards restore;
        X11KeyboardLayout keyboard;
        QVERIFY(keyboard.isValid());
        QCOMPARE(shortcut.description(keyboard), us);
        QSignalSpy changed(&keyboard, &KeyboardLayout::layoutChanged);
        QVERIFY(run(QStringLiteral("setxkbmap"), { layout }));
        QTRY_COMPARE(shortcut.description(keyboard), text);
        QVERIFY(changed.count() > 0);
    }

    void switchingTheGroupChangesTheText()
    {
        const Shortcut shortcut(Key::z, ModifierFlag::command | ModifierFlag::option);
        UsLayoutAfterwards restore;
        X11KeyboardLayout keyboard;
        QVERIFY(run(
            QStringLiteral("setxkbmap"), { QStringLiteral("-layout"), QStringLiteral("us,de") }));
        QTRY_COMPARE(shortcut.description(keyboard), QStringLiteral("Ctrl+Alt+Z"));
        QSignalSpy changed(&keyboard, &KeyboardLayout::layoutChanged);
        QVERIFY(lockGroup(1));
        QTRY_COMPARE(shortcut.description(keyboard), QStringLiteral("Ctrl+Alt+Y"));
        QVERIFY(lockGroup(0));
        QTRY_COMPARE(shortcut.description(keyboard), QStringLiteral("Ctrl+Alt+Z"));
        QVERIFY(changed.count() >= 2);
    }

    void anOpenMenuTakesTheShortcutFromItsKeys()
    {
        QTemporaryDir dir;
        Defaults defaults(dir.filePath(QStringLiteral("Quillstack.conf")));
        X11HotkeyRegistrar registrar;
        X11KeyboardLayout layout;
        NamedShortcuts shortcuts(defaults, registrar, layout);
        const Name panel = shortcuts.createName(StandardNames::togglePanel());
        // Without Alt, which closes Qt's menus (see the next test).
        const Shortcut ctrlShiftK(Key::k, ModifierFlag::command | ModifierFlag::shift);
        shortcuts.setShortcut(ctrlShiftK, panel);
        QStringList log;
        shortcuts.onKeyDown(panel, [&] { log.append(QStringLiteral("down")); });
        shortcuts.onKeyUp(panel, [&] { log.append(QStringLiteral("up")); });

        QMenu menu;
        menu.addAction(QStringLiteral("Clear History"));
        connect(&menu, &QMenu::aboutToShow, &shortcuts, [&] { shortcuts.setMenuOpen(true); });
        connect(&menu, &QMenu::aboutToHide, &shortcuts, [&] { shortcuts.setMenuOpen(false); });
        menu.popup(QPoint(100, 100));
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        QVERIFY(shortcuts.isMenuOpen());

        // Our grab is withdrawn while the menu holds the keyboard.
        X11HotkeyRegistrar other;
        QCOMPARE(other.registerHotkey(1, ctrlShiftK), 0);
        other.unregisterHotkey(1);

        const QList<int> keys { ctrlKeycode, keycode(Key::shift), keycode(Key::k) };
        QVERIFY(xdotool(QStringLiteral("keydown"), keys));
        QTRY_COMPARE(log, QStringList({ QStringLiteral("down") }));
        QVERIFY(xdotool(QStringLiteral("keyup"), keys));
        QTRY_COMPARE(log, QStringList({ QStringLiteral("down"), QStringLiteral("up") }));
        QVERIFY(menu.isVisible());

        menu.hide();
        QVERIFY(!shortcuts.isMenuOpen());
        QCOMPARE(other.registerHotkey(2, ctrlShiftK), 10);
    }

    void theDefaultShortcutWorksWhileAMenuIsOpen()
    {
        QTemporaryDir dir;
        Defaults defaults(dir.filePath(QStringLiteral("Quillstack.conf")));
        X11HotkeyRegistrar registrar;
        X11KeyboardLayout layout;
        NamedShortcuts shortcuts(defaults, registrar, layout);
        const Name panel = shortcuts.createName(StandardNames::togglePanel());
        int releases = 0;
        shortcuts.onKeyUp(panel, [&] { ++releases; });
        QMenu menu;
        menu.addAction(QStringLiteral("Clear History"));
        connect(&menu, &QMenu::aboutToShow, &shortcuts, [&] { shortcuts.setMenuOpen(true); });
        connect(&menu, &QMenu::aboutToHide, &shortcuts, [&] { shortcuts.setMenuOpen(false); });
        menu.popup(QPoint(100, 100));
        QVERIFY(QTest::qWaitForWindowExposed(&menu));

        // Qt closes a menu when Alt goes down; the hot key is back by the
        // time V follows.
        QVERIFY(xdotool(QStringLiteral("keydown"), { ctrlKeycode, altKeycode }));
        QTRY_VERIFY(!menu.isVisible());
        QVERIFY(!shortcuts.isMenuOpen());
        QVERIFY(xdotool(QStringLiteral("keydown"), { keycode(Key::v) }));
        QVERIFY(xdotool(QStringLiteral("keyup"), { keycode(Key::v), altKeycode, ctrlKeycode }));
        QTRY_COMPARE(releases, 1);
    }

private:
    static QHash<QString, QString> expectedUsKeysyms()
    {
        QHash<QString, QString> keysyms;
        for (char c = 'a'; c <= 'z'; ++c)
            keysyms.insert(QString(QLatin1Char(c)), QString(QLatin1Char(c)));
        const char *digits[]
            = { "zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine" };
        for (int i = 0; i < 10; ++i)
            keysyms.insert(QString::fromLatin1(digits[i]), QString::number(i));
        for (int i = 1; i <= 12; ++i)
            keysyms.insert(QStringLiteral("f%1").arg(i), QStringLiteral("F%1").arg(i));
        // Keypad keys with Num Lock off, as the server starts.
        const char *keypad[] = { "KP_Insert", "KP_End", "KP_Down", "KP_Next", "KP_Left", "KP_Begin",
            "KP_Right", "KP_Home", "KP_Up", "KP_Prior" };
        for (int i = 0; i < 10; ++i)
            keysyms.insert(QStringLiteral("keypad%1").arg(i), QString::fromLatin1(keypad[i]));
        const std::pair<const char *, const char *> others[] = {
            { "capsLock", "Caps_Lock" },
            { "shift", "Shift_L" },
            { "control", "Super_L" },
            { "option", "Alt_L" },
            { "command", "Control_L" },
            { "rightCommand", "Control_R" },
            { "rightOption", "Alt_R" },
            { "rightControl", "Super_R" },
            { "rightShift", "Shift_R" },
            { "return", "Return" },
            { "backslash", "backslash" },
            { "backtick", "grave" },
            { "comma", "comma" },
            { "equal", "equal" },
            { "minus", "minus" },
            { "period", "period" },
            { "quote", "apostrophe" },
            { "semicolon", "semicolon" },
            { "slash", "slash" },
            { "space", "space" },
            { "tab", "Tab" },
            { "leftBracket", "bracketleft" },
            { "rightBracket", "bracketright" },
            { "pageUp", "Prior" },
            { "pageDown", "Next" },
            { "home", "Home" },
            { "end", "End" },
            { "upArrow", "Up" },
            { "rightArrow", "Right" },
            { "downArrow", "Down" },
            { "leftArrow", "Left" },
            { "delete", "BackSpace" },
            { "deleteForward", "Delete" },
            { "help", "Insert" },
            { "mute", "XF86AudioMute" },
            { "volumeUp", "XF86AudioRaiseVolume" },
            { "volumeDown", "XF86AudioLowerVolume" },
            // xkeyboard-config gives the F13-F20 keys these symbols, which is
            // why we name those keys ourselves.
            { "f13", "XF86Tools" },
            { "f14", "XF86Launch5" },
            { "f15", "XF86Launch6" },
            { "f16", "XF86Launch7" },
            { "f17", "XF86Launch8" },
            { "f18", "XF86Launch9" },
            { "f19", "NoSymbol" },
            { "f20", "XF86AudioMicMute" },
            { "keypadClear", "Num_Lock" },
            { "keypadDecimal", "KP_Delete" },
            { "keypadDivide", "KP_Divide" },
            { "keypadEnter", "KP_Enter" },
            { "keypadEquals", "KP_Equal" },
            { "keypadMinus", "KP_Subtract" },
            { "keypadMultiply", "KP_Multiply" },
            { "keypadPlus", "KP_Add" },
        };
        for (const auto &[name, keysym] : others)
            keysyms.insert(QString::fromLatin1(name), QString::fromLatin1(keysym));
        return keysyms;
    }
};

QTEST_MAIN(tst_X11Hotkeys)
#include "tst_X11Hotkeys.moc"
