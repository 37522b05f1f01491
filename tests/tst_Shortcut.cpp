// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeKeyboardLayout.h"
#include "globalhotkeys/Key.h"
#include "globalhotkeys/KeyCodeTable.h"
#include "globalhotkeys/Localization.h"
#include "globalhotkeys/ModifierFlags.h"
#include "globalhotkeys/Shortcut.h"
#include "globalhotkeys/ShortcutConflicts.h"
#include "globalhotkeys/SpecialKey.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace GlobalHotkeys;

Q_DECLARE_METATYPE(GlobalHotkeys::SpecialKey)
Q_DECLARE_METATYPE(GlobalHotkeys::Shortcut::DecodeError)

namespace {

const ModifierFlags commandOption = ModifierFlag::command | ModifierFlag::option;
const QString noCharacter(QChar(0xFFFD));
const ModifierFlags command(ModifierFlag::command);

// A menu bar's worth of menus: "File" with Quit, "Edit" with Undo and Redo
// and a "Format" submenu holding a "Style" submenu.
struct Menus
{
    QMenu file;
    QMenu edit;
    QAction *quit = file.addAction(u"Quit"_s);
    QAction *undo = edit.addAction(u"Undo"_s);
    QAction *redo = edit.addAction(u"Redo"_s);
    QMenu *format = edit.addMenu(u"Format"_s);
    QMenu *style = format->addMenu(u"Style"_s);
    QAction *bold = style->addAction(u"Bold"_s);
    QAction *alsoBold = edit.addAction(u"Bold again"_s);
    QAction *refresh = edit.addAction(u"Refresh"_s);
    QAction *chord = edit.addAction(u"Chord"_s);
    QAction *keypad = edit.addAction(u"Keypad"_s);

    Menus()
    {
        quit->setShortcut(QKeySequence(u"Ctrl+Q"_s));
        undo->setShortcut(QKeySequence(u"Ctrl+Z"_s));
        redo->setShortcuts({ QKeySequence(u"Ctrl+Y"_s), QKeySequence(u"Ctrl+Shift+Z"_s) });
        bold->setShortcut(QKeySequence(u"Ctrl+B"_s));
        alsoBold->setShortcut(QKeySequence(u"Ctrl+B"_s));
        refresh->setShortcut(QKeySequence(u"F5"_s));
        chord->setShortcut(QKeySequence(u"Ctrl+K, Ctrl+D"_s));
        keypad->setShortcut(QKeySequence(Qt::KeypadModifier | Qt::ControlModifier | Qt::Key_7));
    }

    QList<QAction *> bar() const { return { file.menuAction(), edit.menuAction() }; }
};

} // namespace

class tst_Shortcut : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(installTranslations(*QCoreApplication::instance())); }

    void normalisation_data()
    {
        QTest::addColumn<qint64>("mask");
        QTest::addColumn<qint64>("normalised");
        QTest::newRow("option command") << qint64(0x900) << qint64(0x900);
        QTest::newRow("caps lock dropped") << qint64(0x400 | 0x100) << qint64(0x100);
        QTest::newRow("right-hand bits dropped")
            << qint64(0x2000 | 0x4000 | 0x8000 | 0x800) << qint64(0x800);
        QTest::newRow("function survives") << qint64(0x20000) << qint64(0x20000);
        QTest::newRow("high bits dropped") << (qint64(1) << 40 | 0x1000) << qint64(0x1000);
    }

    void normalisation()
    {
        QFETCH(qint64, mask);
        QFETCH(qint64, normalised);
        const Shortcut fromRaw(9, mask);
        QCOMPARE(fromRaw.carbonKeyCode(), 9);
        QCOMPARE(fromRaw.carbonModifiers(), normalised);
        QCOMPARE(Shortcut(Key::v, modifierFlagsFromCarbon(mask)), fromRaw);
    }

    void jsonForm()
    {
        const Shortcut shortcut(Key::v, commandOption);
        QCOMPARE(shortcut.toJson(), QByteArray(R"({"carbonKeyCode":9,"carbonModifiers":2304})"));
        for (const Shortcut &s : { shortcut, Shortcut(Key::f5), Shortcut(qint64(-7), 0x21B00) })
            QCOMPARE(Shortcut::fromJson(s.toJson()), s);
        // Stored values are taken as they are, also masks nobody normalised,
        // and other members are ignored.
        const auto odd
            = Shortcut::fromJson(R"({"carbonModifiers":66816,"carbonKeyCode":9,"name":"x"})");
        QVERIFY(odd);
        QCOMPARE(odd->carbonKeyCode(), 9);
        QCOMPARE(odd->carbonModifiers(), 66816);
    }

    void jsonDecodeFailures_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<Shortcut::DecodeError>("error");
        using E = Shortcut::DecodeError;
        QTest::newRow("stored false") << QByteArray("false") << E::notJson;
        QTest::newRow("cut short") << QByteArray(R"({"carbonKeyCode":9,)") << E::notJson;
        QTest::newRow("array") << QByteArray("[9, 2304]") << E::notObject;
        QTest::newRow("no modifiers") << QByteArray(R"({"carbonKeyCode":9})") << E::missingMember;
        QTest::newRow("no key code")
            << QByteArray(R"({"carbonModifiers":256})") << E::missingMember;
        QTest::newRow("text") << QByteArray(R"({"carbonKeyCode":"9","carbonModifiers":256})")
                              << E::notInteger;
        QTest::newRow("fraction") << QByteArray(R"({"carbonKeyCode":9.5,"carbonModifiers":256})")
                                  << E::notInteger;
        QTest::newRow("null") << QByteArray(R"({"carbonKeyCode":9,"carbonModifiers":null})")
                              << E::notInteger;
    }

    void jsonDecodeFailures()
    {
        QFETCH(QByteArray, json);
        QFETCH(Shortcut::DecodeError, error);
        Shortcut::DecodeError why = Shortcut::DecodeError::none;
        QCOMPARE(Shortcut::fromJson(json, &why), std::nullopt);
        QCOMPARE(why, error);
    }

    void specialKeys()
    {
        // The way back also proves that no two special keys share a code.
        for (int i = 0; i < specialKeyCount; ++i)
            QCOMPARE(specialKeyForKeyCode(keyCodeForSpecialKey(SpecialKey(i))), SpecialKey(i));
        for (const Key key : { Key::a, Key::zero, Key::minus, Key::shift, Key::mute, Key(10) })
            QCOMPARE(specialKeyForKeyCode(key.rawValue), std::nullopt);
        // Keypad keys never stand for a menu item's key.
        QCOMPARE(specialKeyMenuKey(SpecialKey::f5), Qt::Key_F5);
        QCOMPARE(specialKeyMenuKey(SpecialKey::keypad7), std::nullopt);
    }

    void descriptions_data()
    {
        QTest::addColumn<Shortcut>("shortcut");
        QTest::addColumn<QString>("text");
        QTest::newRow("Ctrl+Alt+V") << Shortcut(Key::v, commandOption) << u"Ctrl+Alt+V"_s;
        QTest::newRow("Qt's order whatever the flags") << Shortcut(
            Key::return_, ModifierFlag::shift | ModifierFlag::command | ModifierFlag::control)
                                                       << u"Super+Ctrl+Shift+Return"_s;
        QTest::newRow("F5") << Shortcut(Key::f5) << u"F5"_s;
        QTest::newRow("Shift+F5") << Shortcut(Key::f5, ModifierFlag::shift) << u"Shift+F5"_s;
        QTest::newRow("F13 is named by us") << Shortcut(Key::f13) << u"F13"_s;
        QTest::newRow("help sits at Insert") << Shortcut(Key::help) << u"Ins"_s;
        QTest::newRow("Ctrl+Space")
            << Shortcut(Key::space, ModifierFlag::command) << u"Ctrl+Space"_s;
        QTest::newRow("keypad 7 with Super")
            << Shortcut(Key::keypad7, ModifierFlag::control) << u"Super+Num+7"_s;
        QTest::newRow("Fn has no name")
            << Shortcut(qint64(9), qint64(0x20000 | 0x100)) << u"Ctrl+V"_s;
        QTest::newRow("modifier key prints nothing")
            << Shortcut(Key::rightShift, ModifierFlag::command) << u"Ctrl+"_s + noCharacter;
        QTest::newRow("unknown key code") << Shortcut(qint64(200), qint64(0)) << noCharacter;
    }

    void descriptions()
    {
        QFETCH(Shortcut, shortcut);
        QFETCH(QString, text);
        QCOMPARE(shortcut.description(FakeKeyboardLayout()), text);
    }

    void descriptionFollowsTheLayout_data()
    {
        QTest::addColumn<QString>("printed");
        QTest::addColumn<QString>("key");
        QTest::newRow("German Y on the Z key") << u"y"_s << u"Y"_s;
        QTest::newRow("accented letter") << u"ä"_s << u"Ä"_s;
        QTest::newRow("sharp s stays one letter") << u"ß"_s << u"ß"_s;
        QTest::newRow("combining mark") << u"e\u0301"_s << u"E\u0301"_s;
        QTest::newRow("dead key") << QString() << noCharacter;
        QTest::newRow("two characters") << u"ab"_s << noCharacter;
        QTest::newRow("control character") << u"\r"_s << noCharacter;
    }

    void descriptionFollowsTheLayout()
    {
        QFETCH(QString, printed);
        QFETCH(QString, key);
        FakeKeyboardLayout layout;
        layout.setCharacter(*evdevCodeForKeyCode(Key::z.rawValue), printed);
        QCOMPARE(Shortcut(Key::z, commandOption).description(layout), u"Ctrl+Alt+"_s + key);
    }

    void keyCodeTable()
    {
        QSet<int> evdevCodes;
        for (const NamedKey &named : allNamedKeys()) {
            const std::optional<int> evdev = evdevCodeForKeyCode(named.key.rawValue);
            if (named.key == Key::function) {
                QVERIFY2(!evdev, "Linux keyboards have no Fn key of their own");
                continue;
            }
            QVERIFY2(evdev && !evdevCodes.contains(*evdev), named.name);
            evdevCodes.insert(*evdev);
            QCOMPARE(keyCodeForEvdevCode(*evdev), named.key.rawValue);
        }
    }

    void fromKeyEvent_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<quint32>("scanCode");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<std::optional<Shortcut>>("shortcut");
        const Qt::KeyboardModifiers ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
        QTest::newRow("release") << int(QEvent::KeyRelease) << 55u << ctrlAlt
                                 << std::optional(Shortcut(Key::v, commandOption));
        QTest::newRow("keypad flag dropped")
            << int(QEvent::KeyPress) << 79u << (Qt::KeypadModifier | Qt::MetaModifier)
            << std::optional(Shortcut(Key::keypad7, ModifierFlag::control));
        QTest::newRow("other event type")
            << int(QEvent::ShortcutOverride) << 55u << ctrlAlt << std::optional<Shortcut>();
        QTest::newRow("synthetic event without scan code")
            << int(QEvent::KeyPress) << 0u << ctrlAlt << std::optional<Shortcut>();
    }

    void fromKeyEvent()
    {
        QFETCH(int, type);
        QFETCH(quint32, scanCode);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(std::optional<Shortcut>, shortcut);
        const QKeyEvent event(QEvent::Type(type), Qt::Key_V, modifiers, scanCode, 0, 0);
        QCOMPARE(Shortcut::fromKeyEvent(event), shortcut);
    }

    // The menu item a recorded shortcut would collide with, as the keyboard
    // layout prints the key: on a German one Ctrl+Y is typed on the key US
    // keyboards label Z.
    void menuItems_data()
    {
        QTest::addColumn<Shortcut>("shortcut");
        QTest::addColumn<bool>("german");
        QTest::addColumn<QString>("item");
        const ModifierFlags shiftCommand = ModifierFlag::shift | ModifierFlag::command;
        QTest::newRow("Quit") << Shortcut(Key::q, command) << false << u"Quit"_s;
        QTest::newRow("Shift is not implied")
            << Shortcut(Key::q, shiftCommand) << false << QString();
        QTest::newRow("Ctrl+Shift+Z is redo")
            << Shortcut(Key::z, shiftCommand) << false << u"Redo"_s;
        QTest::newRow("Ctrl+Z is undo") << Shortcut(Key::z, command) << false << u"Undo"_s;
        QTest::newRow("two submenus deep, first wins")
            << Shortcut(Key::b, command) << false << u"Bold"_s;
        QTest::newRow("F5") << Shortcut(Key::f5) << false << u"Refresh"_s;
        QTest::newRow("first key of a chord") << Shortcut(Key::k, command) << false << QString();
        QTest::newRow("keypad never matches")
            << Shortcut(Key::keypad7, command) << false << QString();
        QTest::newRow("German: the Z key is Y") << Shortcut(Key::z, command) << true << u"Redo"_s;
        QTest::newRow("German: the Y key is Z") << Shortcut(Key::y, command) << true << u"Undo"_s;
    }

    void menuItems()
    {
        QFETCH(Shortcut, shortcut);
        QFETCH(bool, german);
        QFETCH(QString, item);
        const Menus menus;
        FakeKeyboardLayout layout;
        if (german) {
            layout.setCharacter(*evdevCodeForKeyCode(Key::z.rawValue), u"y"_s);
            layout.setCharacter(*evdevCodeForKeyCode(Key::y.rawValue), u"z"_s);
        }
        const QAction *found
            = GlobalHotkeys::menuItemWithMatchingShortcut(menus.bar(), shortcut, layout);
        QCOMPARE(found ? found->text() : QString(), item);
    }
};

QTEST_MAIN(tst_Shortcut)
#include "tst_Shortcut.moc"
