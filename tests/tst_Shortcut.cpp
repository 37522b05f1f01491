#include "FakeKeyboardLayout.h"
#include "Key.h"
#include "KeyCodeTable.h"
#include "Localization.h"
#include "ModifierFlags.h"
#include "Shortcut.h"
#include "SpecialKey.h"

#include <QKeyEvent>
#include <QSet>
#include <QTest>

using namespace GlobalHotkeys;

Q_DECLARE_METATYPE(GlobalHotkeys::ModifierFlags)
Q_DECLARE_METATYPE(GlobalHotkeys::SpecialKey)
Q_DECLARE_METATYPE(GlobalHotkeys::Shortcut::DecodeError)
Q_DECLARE_METATYPE(std::optional<Qt::Key>)

namespace {

constexpr ModifierFlags commandOption = ModifierFlag::command | ModifierFlag::option;

ModifierFlags rawFlags(int bits)
{
    return ModifierFlags::fromInt(bits);
}

} // namespace

class tst_Shortcut : public QObject
{
    Q_OBJECT
private slots:
    void carbonConversions_data()
    {
        QTest::addColumn<int>("flags");
        QTest::addColumn<qint64>("mask");
        QTest::addColumn<int>("flagsBack");
        QTest::newRow("option and command") << 0x180000 << qint64(0x900) << 0x180000;
        QTest::newRow("all five") << 0x9E0000 << qint64(0x21B00) << 0x9E0000;
        QTest::newRow("control alone") << 0x40000 << qint64(0x1000) << 0x40000;
        QTest::newRow("caps lock, keypad, help dropped")
            << (0x10000 | 0x200000 | 0x400000 | 0x100000) << qint64(0x100) << 0x100000;
        QTest::newRow("device bits dropped") << (0xFF | 0x20000) << qint64(0x200) << 0x20000;
        QTest::newRow("none") << 0 << qint64(0) << 0;
    }

    void carbonConversions()
    {
        QFETCH(int, flags);
        QFETCH(qint64, mask);
        QFETCH(int, flagsBack);
        QCOMPARE(carbonModifierMask(rawFlags(flags)), mask);
        QCOMPARE(modifierFlagsFromCarbon(mask), rawFlags(flagsBack));
    }

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
        QCOMPARE(normalizedCarbonModifiers(mask), normalised);
        const Shortcut fromRaw(9, mask);
        QCOMPARE(fromRaw.carbonKeyCode(), 9);
        QCOMPARE(fromRaw.carbonModifiers(), normalised);
        QCOMPARE(Shortcut(Key::v, modifierFlagsFromCarbon(mask)), fromRaw);
    }

    void qtModifiers_data()
    {
        QTest::addColumn<ModifierFlags>("flags");
        QTest::addColumn<Qt::KeyboardModifiers>("qt");
        QTest::newRow("command is Ctrl")
            << ModifierFlags(ModifierFlag::command) << Qt::KeyboardModifiers(Qt::ControlModifier);
        QTest::newRow("option is Alt")
            << ModifierFlags(ModifierFlag::option) << Qt::KeyboardModifiers(Qt::AltModifier);
        QTest::newRow("control is Meta")
            << ModifierFlags(ModifierFlag::control) << Qt::KeyboardModifiers(Qt::MetaModifier);
        QTest::newRow("shift") << ModifierFlags(ModifierFlag::shift)
                               << Qt::KeyboardModifiers(Qt::ShiftModifier);
        QTest::newRow("all four") << (commandOption | ModifierFlag::control | ModifierFlag::shift)
                                  << (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier
                                         | Qt::ShiftModifier);
    }

    void qtModifiers()
    {
        QFETCH(ModifierFlags, flags);
        QFETCH(Qt::KeyboardModifiers, qt);
        QCOMPARE(GlobalHotkeys::qtModifiers(flags), qt);
        QCOMPARE(modifierFlagsFromQt(qt), flags);
        // Fn has no Qt modifier, and the keypad flag is no modifier of ours.
        QCOMPARE(GlobalHotkeys::qtModifiers(flags | ModifierFlag::function), qt);
        QCOMPARE(modifierFlagsFromQt(qt | Qt::KeypadModifier | Qt::GroupSwitchModifier), flags);
    }

    void jsonRoundTrip_data()
    {
        QTest::addColumn<Shortcut>("shortcut");
        QTest::newRow("Ctrl+Alt+V") << Shortcut(Key::v, commandOption);
        QTest::newRow("F5") << Shortcut(Key::f5);
        QTest::newRow("all modifiers") << Shortcut(Key::return_, rawFlags(0x9E0000));
        QTest::newRow("key code outside the table") << Shortcut(qint64(-7), qint64(0x200));
    }

    void jsonRoundTrip()
    {
        QFETCH(Shortcut, shortcut);
        Shortcut::DecodeError error = Shortcut::DecodeError::notJson;
        QCOMPARE(Shortcut::fromJson(shortcut.toJson(), &error), shortcut);
        QCOMPARE(error, Shortcut::DecodeError::none);
    }

    void jsonForm()
    {
        QCOMPARE(Shortcut(Key::v, commandOption).toJson(),
            QByteArray(R"({"carbonKeyCode":9,"carbonModifiers":2304})"));
        // Stored values are taken as they are, also masks nobody normalised.
        const auto odd = Shortcut::fromJson(R"({"carbonModifiers":66816,"carbonKeyCode":9})");
        QVERIFY(odd);
        QCOMPARE(odd->carbonModifiers(), 66816);
        QVERIFY(*odd != Shortcut(9, 66816));
        const auto extra
            = Shortcut::fromJson(R"({"carbonKeyCode":35,"carbonModifiers":2304,"name":"x"})");
        QCOMPARE(extra, Shortcut(Key::p, commandOption));
    }

    void jsonDecodeFailures_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<Shortcut::DecodeError>("error");
        using E = Shortcut::DecodeError;
        QTest::newRow("stored false") << QByteArray("false") << E::notJson;
        QTest::newRow("cut short") << QByteArray(R"({"carbonKeyCode":9,)") << E::notJson;
        QTest::newRow("empty") << QByteArray() << E::notJson;
        QTest::newRow("array") << QByteArray("[9, 2304]") << E::notObject;
        QTest::newRow("no modifiers") << QByteArray(R"({"carbonKeyCode":9})") << E::missingMember;
        QTest::newRow("no key code")
            << QByteArray(R"({"carbonModifiers":256})") << E::missingMember;
        QTest::newRow("key code as text")
            << QByteArray(R"({"carbonKeyCode":"9","carbonModifiers":256})") << E::notInteger;
        QTest::newRow("fraction") << QByteArray(R"({"carbonKeyCode":9.5,"carbonModifiers":256})")
                                  << E::notInteger;
        QTest::newRow("boolean") << QByteArray(R"({"carbonKeyCode":9,"carbonModifiers":true})")
                                 << E::notInteger;
        QTest::newRow("null") << QByteArray(R"({"carbonKeyCode":null,"carbonModifiers":256})")
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
        QSet<qint64> codes;
        for (int i = 0; i < specialKeyCount; ++i) {
            const auto key = SpecialKey(i);
            const qint64 code = keyCodeForSpecialKey(key);
            QCOMPARE(specialKeyForKeyCode(code), key);
            codes.insert(code);
        }
        QCOMPARE(codes.size(), specialKeyCount);
        for (const Key key : { Key::a, Key::zero, Key::minus, Key::shift, Key::command,
                 Key::capsLock, Key::mute, Key::volumeUp, Key(10) })
            QCOMPARE(specialKeyForKeyCode(key.rawValue), std::nullopt);
    }

    void specialKeyNames_data()
    {
        QTest::addColumn<SpecialKey>("key");
        QTest::addColumn<QString>("name");
        QTest::addColumn<std::optional<Qt::Key>>("menuKey");
        const std::optional<Qt::Key> none;
        QTest::newRow("return") << SpecialKey::return_ << QStringLiteral("Return")
                                << std::optional(Qt::Key_Return);
        QTest::newRow("delete") << SpecialKey::delete_ << QStringLiteral("Backspace")
                                << std::optional(Qt::Key_Backspace);
        QTest::newRow("forward delete")
            << SpecialKey::deleteForward << QStringLiteral("Del") << std::optional(Qt::Key_Delete);
        QTest::newRow("help at Insert")
            << SpecialKey::help << QStringLiteral("Ins") << std::optional(Qt::Key_Insert);
        QTest::newRow("page up") << SpecialKey::pageUp << QStringLiteral("PgUp")
                                 << std::optional(Qt::Key_PageUp);
        QTest::newRow("space") << SpecialKey::space << QStringLiteral("Space")
                               << std::optional(Qt::Key_Space);
        QTest::newRow("F5") << SpecialKey::f5 << QStringLiteral("F5") << std::optional(Qt::Key_F5);
        QTest::newRow("F13") << SpecialKey::f13 << QStringLiteral("F13")
                             << std::optional(Qt::Key_F13);
        QTest::newRow("F20") << SpecialKey::f20 << QStringLiteral("F20")
                             << std::optional(Qt::Key_F20);
        QTest::newRow("keypad 7") << SpecialKey::keypad7 << QStringLiteral("Num+7") << none;
        QTest::newRow("keypad enter")
            << SpecialKey::keypadEnter << QStringLiteral("Num+Enter") << none;
        QTest::newRow("keypad clear")
            << SpecialKey::keypadClear << QStringLiteral("NumLock") << none;
    }

    void specialKeyNames()
    {
        QFETCH(SpecialKey, key);
        QFETCH(QString, name);
        QFETCH(std::optional<Qt::Key>, menuKey);
        QCOMPARE(specialKeyDisplayName(key), name);
        QCOMPARE(specialKeyMenuKey(key), menuKey);
    }

    void descriptions_data()
    {
        QTest::addColumn<Shortcut>("shortcut");
        QTest::addColumn<QString>("text");
        QTest::newRow("Ctrl+Alt+V")
            << Shortcut(Key::v, commandOption) << QStringLiteral("Ctrl+Alt+V");
        QTest::newRow("order is Qt's whatever the flags")
            << Shortcut(Key::return_,
                   ModifierFlag::shift | ModifierFlag::command | ModifierFlag::control)
            << QStringLiteral("Meta+Ctrl+Shift+Return");
        QTest::newRow("F5") << Shortcut(Key::f5) << QStringLiteral("F5");
        QTest::newRow("Shift+F5") << Shortcut(Key::f5, ModifierFlag::shift)
                                  << QStringLiteral("Shift+F5");
        QTest::newRow("Ctrl+Space")
            << Shortcut(Key::space, ModifierFlag::command) << QStringLiteral("Ctrl+Space");
        QTest::newRow("keypad 7 with Super")
            << Shortcut(Key::keypad7, ModifierFlag::control) << QStringLiteral("Meta+Num+7");
        QTest::newRow("Fn has no name")
            << Shortcut(qint64(9), qint64(0x20000 | 0x100)) << QStringLiteral("Ctrl+V");
        QTest::newRow("punctuation")
            << Shortcut(Key::slash, ModifierFlag::command) << QStringLiteral("Ctrl+/");
        QTest::newRow("digit") << Shortcut(Key::seven, commandOption)
                               << QStringLiteral("Ctrl+Alt+7");
        QTest::newRow("modifier key prints nothing")
            << Shortcut(Key::rightShift, ModifierFlag::command) << QStringLiteral("Ctrl+\uFFFD");
        QTest::newRow("unknown key code")
            << Shortcut(qint64(200), qint64(0x100)) << QStringLiteral("Ctrl+\uFFFD");
        QTest::newRow("negative key code")
            << Shortcut(qint64(-1), qint64(0)) << QStringLiteral("\uFFFD");
    }

    void descriptions()
    {
        QFETCH(Shortcut, shortcut);
        QFETCH(QString, text);
        const FakeKeyboardLayout layout;
        QCOMPARE(shortcut.description(layout), text);
    }

    void descriptionFollowsTheLayout_data()
    {
        QTest::addColumn<QString>("printed");
        QTest::addColumn<QString>("text");
        QTest::newRow("German Y on the Z key")
            << QStringLiteral("y") << QStringLiteral("Ctrl+Alt+Y");
        QTest::newRow("accented letter") << QStringLiteral("ä") << QStringLiteral("Ctrl+Alt+Ä");
        QTest::newRow("sharp s stays one letter")
            << QStringLiteral("ß") << QStringLiteral("Ctrl+Alt+ß");
        QTest::newRow("dead key") << QString() << QStringLiteral("Ctrl+Alt+\uFFFD");
        QTest::newRow("two characters")
            << QStringLiteral("ab") << QStringLiteral("Ctrl+Alt+\uFFFD");
        QTest::newRow("letter with combining mark")
            << QStringLiteral("e\u0301") << QStringLiteral("Ctrl+Alt+E\u0301");
        QTest::newRow("control character")
            << QStringLiteral("\r") << QStringLiteral("Ctrl+Alt+\uFFFD");
    }

    void descriptionFollowsTheLayout()
    {
        QFETCH(QString, printed);
        QFETCH(QString, text);
        FakeKeyboardLayout layout;
        layout.setCharacter(*evdevCodeForKeyCode(Key::z.rawValue), printed);
        QCOMPARE(Shortcut(Key::z, commandOption).description(layout), text);
    }

    void keyCodeTable()
    {
        const auto &keys = allNamedKeys();
        QSet<qint64> codes;
        QSet<int> evdevCodes;
        for (const NamedKey &named : keys) {
            codes.insert(named.key.rawValue);
            const std::optional<int> evdev = evdevCodeForKeyCode(named.key.rawValue);
            if (named.key == Key::function) {
                QVERIFY2(!evdev, "Linux keyboards have no Fn key of their own");
                continue;
            }
            QVERIFY2(evdev, named.name);
            QVERIFY2(!evdevCodes.contains(*evdev), named.name);
            evdevCodes.insert(*evdev);
            QCOMPARE(keyCodeForEvdevCode(*evdev), named.key.rawValue);
        }
        QCOMPARE(codes.size(), 113);
        QCOMPARE(keyCodeForEvdevCode(0), std::nullopt);
        QCOMPARE(keyCodeForEvdevCode(240), std::nullopt);
    }

    void fromKeyEvent_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<quint32>("scanCode");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<std::optional<Shortcut>>("shortcut");
        const Qt::KeyboardModifiers ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
        QTest::newRow("press") << int(QEvent::KeyPress) << 55u << ctrlAlt
                               << std::optional(Shortcut(Key::v, commandOption));
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

    void englishTextsWithoutCatalogue()
    {
        QCOMPARE(localizedString("record_shortcut"), QStringLiteral("Record Shortcut"));
        QCOMPARE(localizedString("keyboard_shortcut_used_by_menu_item").arg(QStringLiteral("Quit")),
            QStringLiteral("This keyboard shortcut cannot be used because the menu item "
                           "“Quit” already uses it."));
        QCOMPARE(localizedString("no_such_id"), QStringLiteral("no_such_id"));
    }
};

QTEST_MAIN(tst_Shortcut)
#include "tst_Shortcut.moc"
