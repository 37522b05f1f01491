// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecorderKeys.h"
#include "X11TestTools.h"
#include "globalhotkeys/KeyCodeTable.h"
#include "globalhotkeys/Localization.h"
#include "globalhotkeys/NamedShortcuts.h"
#include "globalhotkeys/RecorderField.h"
#include "globalhotkeys/StandardNames.h"
#include "model/Defaults.h"
#include "platform/x11/X11HotkeyRegistrar.h"
#include "platform/x11/X11KeyboardLayout.h"
#include "platform/x11/X11Xkb.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <memory>

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

// A window that records the keysym of the first press of each X keycode.
class KeyProbe : public QWidget
{
public:
    QHash<quint32, quint32> keysyms;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QWidget::event(event);
        const auto *key = static_cast<QKeyEvent *>(event);
        if (!keysyms.contains(key->nativeScanCode()))
            keysyms.insert(key->nativeScanCode(), key->nativeVirtualKey());
        return true;
    }
};

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
        "capsLock Caps_Lock shift Shift_L control Super_L option Alt_L command Control_L "
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

    // The recorder asks before it takes a key another client holds: the probe
    // grab fails with BadAccess. A key we hold ourselves is not "held
    // elsewhere", and probing it leaves our grab in place.
    void recorderAsksAboutAKeyHeldElsewhere_data()
    {
        QTest::addColumn<bool>("useAnyway");
        QTest::newRow("OK stores nothing") << false;
        QTest::newRow("Use Anyway stores it") << true;
    }

    void recorderAsksAboutAKeyHeldElsewhere()
    {
        QFETCH(bool, useAnyway);
        QVERIFY(installTranslations(*QCoreApplication::instance()));
        X11HotkeyRegistrar other;
        QCOMPARE(other.registerHotkey(1, ctrlAltP), 0);
        QTemporaryDir dir;
        Defaults defaults(dir.filePath(u"Quillstack.conf"_s));
        X11HotkeyRegistrar registrar;
        X11KeyboardLayout layout;
        NamedShortcuts shortcuts(defaults, registrar, layout);
        const Name name = shortcuts.createName(StandardNames::togglePanel());
        QVERIFY(registrar.isHeldByAnotherProgram(ctrlAltP));
        QVERIFY(!registrar.isHeldByAnotherProgram(ctrlAltV));
        QSignalSpy pressed(&registrar, &HotkeyRegistrar::hotkeyPressed);
        QVERIFY(xdotool("keydown", { Key::command, Key::option, Key::v }));
        QVERIFY(xdotool("keyup", { Key::v, Key::option, Key::command }));
        QVERIFY(pressed.wait());

        QWidget window;
        auto *recorder = new RecorderField(shortcuts, name, {}, &window);
        QStringList alerts;
        recorder->setAlertRunner([&](QMessageBox &box) -> QAbstractButton * {
            alerts.append(box.text());
            const QString answer = localizedString(useAnyway ? "force_use_shortcut" : "ok");
            for (QAbstractButton *button : box.buttons()) {
                if (button->text() == answer)
                    return button;
            }
            return nullptr;
        });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        recorder->setFocus();
        // Focus arrives once the window is active, which a busy server takes a while to tell.
        QTRY_VERIFY(recorder->isRecording());
        pressKey(Key::p, Qt::Key_P, Qt::ControlModifier | Qt::AltModifier);

        QCOMPARE(alerts, QStringList { localizedString("keyboard_shortcut_used_by_system") });
        QCOMPARE(shortcuts.getShortcut(name), useAnyway ? ctrlAltP : ctrlAltV);
        // After OK the field records again, waiting for another key.
        QCOMPARE(recorder->isRecording(), !useAnyway);
        QCOMPARE(recorder->text(), useAnyway ? u"Ctrl+Alt+P"_s : QString());
    }

    // Each key of the table against the server's US keymap: the keycode we
    // grab is the key that types the expected symbol. Escape is left out only
    // because xdotool reads its keycode, 9, as the symbol "9".
    void keyCodesMatchTheServersKeymap()
    {
        const QHash<QString, QString> expected = usKeysyms();
        KeyProbe probe;
        probe.resize(200, 100);
        probe.show();
        probe.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&probe));
        QStringList mismatches;
        int checked = 0;
        for (const NamedKey &named : allNamedKeys()) {
            if (named.key == Key::function || named.key == Key::escape)
                continue;
            const QString name = QString::fromLatin1(named.name);
            QVERIFY2(expected.contains(name), named.name);
            // Lock keys twice, so the lock ends up as it was.
            const bool lock = named.key == Key::capsLock || named.key == Key::keypadClear;
            QVERIFY(xdotool(
                "key", lock ? QList<Key> { named.key, named.key } : QList<Key> { named.key }));
            const quint32 code = quint32(x11Keycode(named.key));
            QTRY_VERIFY2(probe.keysyms.contains(code), named.name);
            const QByteArray symbol = expected.value(name).toLatin1();
            if (probe.keysyms.value(code) != xkb_keysym_from_name(symbol, XKB_KEYSYM_NO_FLAGS))
                mismatches.append(name + u" is not "_s + expected.value(name));
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
            << u"de"_s << Key::z << u"Ctrl+Alt+Z"_s << u"Ctrl+Alt+Y"_s;
        QTest::newRow("de: dead key")
            << u"de"_s << Key::backtick << u"Ctrl+Alt+`"_s << u"Ctrl+Alt+\uFFFD"_s;
        QTest::newRow("fr: Q on the A key")
            << u"fr"_s << Key::a << u"Ctrl+Alt+A"_s << u"Ctrl+Alt+Q"_s;
    }

    void layoutChangesTheText()
    {
        QFETCH(QString, layout);
        QFETCH(Key, key);
        QFETCH(QString, us);
        QFETCH(QString, text);
        const Shortcut shortcut(key, ModifierFlag::command | ModifierFlag::option);
        KeyboardRestorer restore;
        X11KeyboardLayout keyboard;
        QVERIFY(keyboard.isValid());
        QCOMPARE(shortcut.description(keyboard), us);
        QSignalSpy changed(&keyboard, &KeyboardLayout::layoutChanged);
        QVERIFY(setLayout({ layout }));
        QVERIFY(changed.wait());
        QTRY_COMPARE(shortcut.description(keyboard), text);
    }

    void switchingTheGroupChangesTheText()
    {
        const Shortcut shortcut(Key::z, ModifierFlag::command | ModifierFlag::option);
        KeyboardRestorer restore;
        X11KeyboardLayout keyboard;
        QVERIFY(setLayout({ u"-layout"_s, u"us,de"_s }));
        QTRY_COMPARE(shortcut.description(keyboard), u"Ctrl+Alt+Z"_s);
        QVERIFY(lockGroup(1));
        QTRY_COMPARE(shortcut.description(keyboard), u"Ctrl+Alt+Y"_s);
        QVERIFY(lockGroup(0));
        QTRY_COMPARE(shortcut.description(keyboard), u"Ctrl+Alt+Z"_s);
    }

    // The named shortcuts of a running program with our tray menu open.
    void anOpenMenuTakesTheShortcutFromItsKeys()
    {
        QTemporaryDir dir;
        Defaults defaults(dir.filePath(u"Quillstack.conf"_s));
        X11HotkeyRegistrar registrar;
        X11KeyboardLayout layout;
        NamedShortcuts shortcuts(defaults, registrar, layout);
        const Name panel = shortcuts.createName(StandardNames::togglePanel());
        QStringList log;
        shortcuts.onKeyDown(panel, [&log] { log.append(u"down"_s); });
        shortcuts.onKeyUp(panel, [&log] { log.append(u"up"_s); });
        QMenu menu;
        menu.addAction(u"Clear History"_s);
        connect(&menu, &QMenu::aboutToShow, this, [&] { shortcuts.setMenuOpen(true); });
        connect(&menu, &QMenu::aboutToHide, this, [&] { shortcuts.setMenuOpen(false); });
        const auto open = [&] {
            menu.popup(QPoint(100, 100));
            return QTest::qWaitForWindowExposed(&menu) && shortcuts.isMenuOpen();
        };
        // First without Alt, which closes Qt's menus.
        const Shortcut ctrlShiftK(Key::k, ModifierFlag::command | ModifierFlag::shift);
        shortcuts.setShortcut(ctrlShiftK, panel);
        QVERIFY(open());
        // Our grab is withdrawn while the menu holds the keyboard.
        X11HotkeyRegistrar other;
        QCOMPARE(other.registerHotkey(1, ctrlShiftK), 0);
        other.unregisterHotkey(1);
        QVERIFY(xdotool("keydown", { Key::command, Key::shift, Key::k }));
        QTRY_COMPARE(log, QStringList({ u"down"_s }));
        QVERIFY(xdotool("keyup", { Key::command, Key::shift, Key::k }));
        QTRY_COMPARE(log.size(), 2);
        QVERIFY(menu.isVisible());
        menu.hide();
        QCOMPARE(other.registerHotkey(2, ctrlShiftK), 10);

        // With Alt the menu closes as Alt goes down, and the hot key is back
        // by the time the key follows.
        shortcuts.setShortcut(ctrlAltV, panel);
        QVERIFY(open());
        QVERIFY(xdotool("keydown", { Key::command, Key::option }));
        QTRY_VERIFY(!menu.isVisible());
        QVERIFY(xdotool("keydown", { Key::v }));
        QVERIFY(xdotool("keyup", { Key::v, Key::option, Key::command }));
        QTRY_COMPARE(log, QStringList({ u"down"_s, u"up"_s, u"down"_s, u"up"_s }));
    }
};

QTEST_MAIN(tst_X11Hotkeys)
#include "tst_X11Hotkeys.moc"
