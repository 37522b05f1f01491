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

    Menus()
    {
        file.addAction(u"Quit"_s, QKeySequence(u"Ctrl+Q"_s));
        edit.addAction(u"Undo"_s, QKeySequence(u"Ctrl+Z"_s));
        edit.addAction(u"Redo"_s)->setShortcuts(
            { QKeySequence(u"Ctrl+Y"_s), QKeySequence(u"Ctrl+Shift+Z"_s) });
        QMenu *style = edit.addMenu(u"Format"_s)->addMenu(u"Style"_s);
        style->addAction(u"Bold"_s, QKeySequence(u"Ctrl+B"_s));
        edit.addAction(u"Bold again"_s, QKeySequence(u"Ctrl+B"_s));
        edit.addAction(u"Refresh"_s, QKeySequence(u"F5"_s));
        edit.addAction(u"Chord"_s, QKeySequence(u"Ctrl+K, Ctrl+D"_s));
        edit.addAction(
            u"Keypad"_s, QKeySequence(Qt::KeypadModifier | Qt::ControlModifier | Qt::Key_7));
        edit.addAction(u"Seven"_s, QKeySequence(u"Ctrl+7"_s));
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
        QCOMPARE(fromRaw.carbonModifiers(), normalised);
        QCOMPARE(Shortcut(Key::v, modifierFlagsFromCarbon(mask)), fromRaw);
    }

    // What a stored entry reads as: its values as they are, also masks
    // nobody normalised, other members ignored; or why it cannot be read.
    void json_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<Shortcut::DecodeError>("error");
        QTest::addColumn<qint64>("keyCode");
        QTest::addColumn<qint64>("modifiers");
        using E = Shortcut::DecodeError;
        const auto row = [](const char *name, const QByteArray &json, E error, qint64 keyCode = 0,
                             qint64 modifiers = 0) {
            QTest::newRow(name) << json << error << keyCode << modifiers;
        };
        row("as written", Shortcut(Key::v, commandOption).toJson(), E::none, 9, 2304);
        row("negative key, every modifier", Shortcut(qint64(-7), 0x21B00).toJson(), E::none, -7,
            0x21B00);
        row("other order, unnormalised, extra member",
            R"({"carbonModifiers":66816,"carbonKeyCode":9,"name":"x"})", E::none, 9, 66816);
        row("stored false", "false", E::notJson);
        row("cut short", R"({"carbonKeyCode":9,)", E::notJson);
        row("array", "[9, 2304]", E::notObject);
        row("no modifiers", R"({"carbonKeyCode":9})", E::missingMember);
        row("no key code", R"({"carbonModifiers":256})", E::missingMember);
        row("text", R"({"carbonKeyCode":"9","carbonModifiers":256})", E::notInteger);
        row("fraction", R"({"carbonKeyCode":9.5,"carbonModifiers":256})", E::notInteger);
        row("null", R"({"carbonKeyCode":9,"carbonModifiers":null})", E::notInteger);
    }

    void json()
    {
        QFETCH(QByteArray, json);
        QFETCH(Shortcut::DecodeError, error);
        QFETCH(qint64, keyCode);
        QFETCH(qint64, modifiers);
        Shortcut::DecodeError why = Shortcut::DecodeError::none;
        const std::optional<Shortcut> read = Shortcut::fromJson(json, &why);
        QCOMPARE(why, error);
        QCOMPARE(read.has_value(), error == Shortcut::DecodeError::none);
        if (read) {
            QCOMPARE(read->carbonKeyCode(), keyCode);
            QCOMPARE(read->carbonModifiers(), modifiers);
            QCOMPARE(Shortcut::fromJson(read->toJson()), read);
        }
    }

    void specialKeys()
    {
        // The way back also proves that no two special keys share a code.
        for (int i = 0; i < specialKeyCount; ++i)
            QCOMPARE(specialKeyForKeyCode(keyCodeForSpecialKey(SpecialKey(i))), SpecialKey(i));
        for (const Key key : { Key::a, Key::zero, Key::minus, Key::shift, Key::mute, Key(10) })
            QCOMPARE(specialKeyForKeyCode(key.rawValue), std::nullopt);
    }

    // The text follows what the layout prints on the key: here, on the Z key.
    void descriptions_data()
    {
        QTest::addColumn<Shortcut>("shortcut");
        QTest::addColumn<QString>("printed");
        QTest::addColumn<QString>("text");
        const auto row = [](const char *name, const Shortcut &shortcut, const QString &text,
                             const QString &printed = u"z"_s) {
            QTest::newRow(name) << shortcut << printed << text;
        };
        const Shortcut ctrlAltZ(Key::z, commandOption);
        row("Ctrl+Alt+V", Shortcut(Key::v, commandOption), u"Ctrl+Alt+V"_s);
        row("Qt's order whatever the flags",
            Shortcut(
                Key::return_, ModifierFlag::shift | ModifierFlag::command | ModifierFlag::control),
            u"Super+Ctrl+Shift+Return"_s);
        row("F5", Shortcut(Key::f5), u"F5"_s);
        row("Shift+F5", Shortcut(Key::f5, ModifierFlag::shift), u"Shift+F5"_s);
        row("F13 is named by us", Shortcut(Key::f13), u"F13"_s);
        row("help sits at Insert", Shortcut(Key::help), u"Ins"_s);
        row("Ctrl+Space", Shortcut(Key::space, ModifierFlag::command), u"Ctrl+Space"_s);
        row("keypad 7 with Super", Shortcut(Key::keypad7, ModifierFlag::control), u"Super+Num+7"_s);
        row("Fn has no name", Shortcut(qint64(9), qint64(0x20000 | 0x100)), u"Ctrl+V"_s);
        row("modifier key prints nothing", Shortcut(Key::rightShift, ModifierFlag::command),
            u"Ctrl+"_s + noCharacter);
        row("unknown key code", Shortcut(qint64(200), qint64(0)), noCharacter);
        row("accented letter", ctrlAltZ, u"Ctrl+Alt+Ä"_s, u"ä"_s);
        row("sharp s stays one letter", ctrlAltZ, u"Ctrl+Alt+ß"_s, u"ß"_s);
        row("combining mark", ctrlAltZ, u"Ctrl+Alt+E\u0301"_s, u"e\u0301"_s);
        row("two characters", ctrlAltZ, u"Ctrl+Alt+"_s + noCharacter, u"ab"_s);
        row("control character", ctrlAltZ, u"Ctrl+Alt+"_s + noCharacter, u"\r"_s);
    }

    void descriptions()
    {
        QFETCH(Shortcut, shortcut);
        QFETCH(QString, printed);
        QFETCH(QString, text);
        FakeKeyboardLayout layout;
        layout.setCharacter(*evdevCodeForKeyCode(Key::z.rawValue), printed);
        QCOMPARE(shortcut.description(layout), text);
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
        const auto row
            = [](const char *name, const Shortcut &shortcut, const QString &item,
                  bool german = false) { QTest::newRow(name) << shortcut << german << item; };
        row("Quit", Shortcut(Key::q, command), u"Quit"_s);
        row("Shift is not implied", Shortcut(Key::q, shiftCommand), QString());
        row("Ctrl+Shift+Z is redo", Shortcut(Key::z, shiftCommand), u"Redo"_s);
        row("Ctrl+Z is undo", Shortcut(Key::z, command), u"Undo"_s);
        row("two submenus deep, first wins", Shortcut(Key::b, command), u"Bold"_s);
        row("F5", Shortcut(Key::f5), u"Refresh"_s);
        row("first key of a chord", Shortcut(Key::k, command), QString());
        row("keypad never matches", Shortcut(Key::keypad7, command), QString());
        row("German: the Z key is Y", Shortcut(Key::z, command), u"Redo"_s, true);
        row("German: the Y key is Z", Shortcut(Key::y, command), u"Undo"_s, true);
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
