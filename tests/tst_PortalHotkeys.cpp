// SPDX-License-Identifier: GPL-3.0-or-later
// The shortcuts on Wayland through the desktop portal, against a fake portal
// on the test's own session bus, and the keys written in its trigger syntax.
#include "FakeHotkeyRegistrar.h"
#include "FakeKeyboardLayout.h"
#include "FakePortal.h"
#include "RecordingNotifier.h"
#include "app/HotkeyController.h"
#include "globalhotkeys/KeyCodeTable.h"
#include "globalhotkeys/NamedShortcuts.h"
#include "globalhotkeys/SpecialKey.h"
#include "globalhotkeys/StandardNames.h"
#include "model/Defaults.h"
#include "platform/wayland/PortalHotkeyRegistrar.h"
#include "platform/wayland/PortalTrigger.h"
#include "ui/ShortcutOwnerNote.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;
using namespace GlobalHotkeys;

namespace {

const QString panel = StandardNames::togglePanel().rawValue();
const QString pinned = StandardNames::togglePinnedPanel().rawValue();

// Pixels of the note's text that differ from its top-left corner: some,
// whatever the font, once a text is painted there.
int paintedPixels(QWidget &note)
{
    note.adjustSize();
    const QImage image = note.findChild<QLabel *>()->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) != image.pixel(0, 0) ? 1 : 0;
    return count;
}

Shortcut special(SpecialKey key, ModifierFlags modifiers)
{
    return Shortcut(Key(keyCodeForSpecialKey(key)), modifiers);
}

} // namespace

class tst_PortalHotkeys : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    int m_run = 0;

private slots:
    void binding_data()
    {
        QTest::addColumn<uint>("version"); // 0: no portal on the bus
        QTest::addColumn<uint>("sessionResponse");
        QTest::addColumn<uint>("bindResponse");
        QTest::addColumn<std::optional<Shortcut>>("chord"); // none keeps the default
        QTest::addColumn<QString>("trigger"); // empty: not bound

        const std::optional<Shortcut> ctrlShiftV(
            Shortcut(Key::v, ModifierFlag::command | ModifierFlag::shift));
        const std::optional<Shortcut> defaultKeys;
        QTest::newRow("default keys, portal version 2")
            << 2u << 0u << 0u << defaultKeys << u"CTRL+ALT+V"_s;
        QTest::newRow("chosen keys, portal version 1")
            << 1u << 0u << 0u << ctrlShiftV << u"CTRL+SHIFT+V"_s;
        QTest::newRow("no portal") << 0u << 0u << 0u << ctrlShiftV << QString();
        QTest::newRow("session refused") << 2u << 2u << 0u << ctrlShiftV << QString();
        QTest::newRow("binding cancelled") << 2u << 0u << 1u << defaultKeys << QString();
    }

    void binding()
    {
        QFETCH(uint, version);
        QFETCH(uint, sessionResponse);
        QFETCH(uint, bindResponse);
        QFETCH(std::optional<Shortcut>, chord);
        QFETCH(QString, trigger);

        // The portal and the program each have their own connection, as two
        // processes would.
        const QString run = QString::number(++m_run);
        QDBusConnection portalBus
            = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"portal"_s + run);
        QDBusConnection programBus
            = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"program"_s + run);
        QVERIFY(programBus.isConnected());
        std::optional<FakePortal> portal;
        if (version > 0) {
            portal.emplace(portalBus, version, sessionResponse, bindResponse);
            QVERIFY(portal->isValid());
        }

        Defaults defaults(m_dir.filePath(run + u".conf"_s));
        FakeKeyboardLayout layout;
        RecordingNotifier notifier;
        auto *fallback = new FakeHotkeyRegistrar;
        NamedShortcuts *names = nullptr;
        PortalHotkeyRegistrar registrar(
            programBus, std::unique_ptr<HotkeyRegistrar>(fallback),
            [&names](const Shortcut &shortcut) {
                return PortalHotkeyRegistrar::standardActions(*names)(shortcut);
            },
            [&layout](const Shortcut &shortcut) { return portalTrigger(shortcut, layout); },
            notifier);
        NamedShortcuts namedShortcuts(defaults, registrar, layout);
        names = &namedShortcuts;
        HotkeyController controller(namedShortcuts);
        QStringList opened;
        controller.setOnToggle([&opened] { opened << panel; });
        if (chord)
            names->setShortcut(*chord, StandardNames::togglePanel());
        const Shortcut panelKeys = *names->getShortcut(StandardNames::togglePanel());
        ShortcutOwnerNote note(registrar);
        auto *configure = note.findChild<QPushButton *>();
        QVERIFY(configure);
        // Until the portal's first answer nobody is named.
        QVERIFY(note.text().isEmpty());

        const Shortcut changed(Key::b, ModifierFlag::command);
        if (!trigger.isEmpty()) {
            const QMap<QString, QString> asked { { panel, trigger }, { pinned, u"CTRL+ALT+P"_s } };
            QTRY_COMPARE(portal->bindings(), QList { asked });
            QCOMPARE(note.text(), qtTrId("prefs.hotkey.desktopOwns"));
            QVERIFY(paintedPixels(note) > 0);
            // The desktop's own page, where its portal has one.
            QCOMPARE(configure->isVisibleTo(&note), version >= 2);
            if (version >= 2) {
                configure->click();
                QTRY_COMPARE(portal->configureCalls(), 1);
            }

            // A press and release at the desktop opens the panel, as the key
            // does on X11; new keys are offered to the desktop in one new binding.
            portal->press(panel);
            portal->release(panel);
            QTRY_COMPARE(opened, QStringList { panel });
            names->setShortcut(changed, StandardNames::togglePanel());
            QTRY_COMPARE(portal->bindings().size(), 2);
            QCOMPARE(portal->bindings().at(1).value(panel), u"CTRL+B"_s);
            portal->press(panel);
            portal->release(panel);
            QTRY_COMPARE(opened, (QStringList { panel, panel }));
            QVERIFY(fallback->live().isEmpty());
            QCOMPARE(notifier.problems(), 0);
            return;
        }

        // Without the portal the user binds our command line, and the X11
        // grabs stay as the way left; a refusal is told once, a missing portal not.
        QTRY_COMPARE(note.text(), qtTrId("prefs.hotkey.userBinds"));
        QVERIFY(paintedPixels(note) > 0);
        QVERIFY(!configure->isVisibleTo(&note));
        QTRY_VERIFY(fallback->live().values().contains(panelKeys));
        QVERIFY(fallback->press(panelKeys));
        QVERIFY(fallback->release(panelKeys));
        QCOMPARE(opened, QStringList { panel });
        names->setShortcut(changed, StandardNames::togglePanel());
        QVERIFY(fallback->live().values().contains(changed));
        QCOMPARE(notifier.problems(), version > 0 ? 1 : 0);
        if (portal)
            QCOMPARE(portal->bindings().size(), bindResponse ? 1 : 0);
    }

    void triggers_data()
    {
        QTest::addColumn<Shortcut>("shortcut");
        QTest::addColumn<QString>("printed"); // what the layout prints on the key, if set
        QTest::addColumn<QString>("trigger"); // empty: none
        const auto row = [](const char *name, const Shortcut &shortcut, const QString &trigger,
                             const QString &printed = QString()) {
            QTest::newRow(name) << shortcut << printed << trigger;
        };
        const ModifierFlags ctrl = ModifierFlag::command;
        row("letter", Shortcut(Key::v, ctrl | ModifierFlag::shift), u"CTRL+SHIFT+V"_s);
        row("every modifier, Fn left out",
            Shortcut(Key::a,
                ctrl | ModifierFlag::option | ModifierFlag::shift | ModifierFlag::control
                    | ModifierFlag::function),
            u"CTRL+ALT+SHIFT+LOGO+A"_s);
        row("punctuation", Shortcut(Key::comma, ctrl), u"CTRL+comma"_s);
        row("other layout's letter", Shortcut(Key::y, ctrl), u"CTRL+Z"_s, u"z"_s);
        row("non-ASCII character", Shortcut(Key::semicolon, ctrl), u"CTRL+U00F6"_s, u"ö"_s);
        row("dead key", Shortcut(Key::quote, ctrl), QString(), u""_s);
        row("function key", special(SpecialKey::f5, ModifierFlag::option), u"ALT+F5"_s);
        row("page down", special(SpecialKey::pageDown, ModifierFlag::control), u"LOGO+Page_Down"_s);
        row("keypad digit", special(SpecialKey::keypad7, ctrl), u"CTRL+KP_7"_s);
        row("backspace position", special(SpecialKey::delete_, ctrl), u"CTRL+BackSpace"_s);
    }

    void triggers()
    {
        QFETCH(Shortcut, shortcut);
        QFETCH(QString, printed);
        QFETCH(QString, trigger);
        FakeKeyboardLayout layout;
        if (!printed.isNull())
            layout.setCharacter(*evdevCodeForKeyCode(shortcut.carbonKeyCode()), printed);
        QCOMPARE(portalTrigger(shortcut, layout).value_or(QString()), trigger);
    }
};

QTEST_MAIN(tst_PortalHotkeys)
#include "tst_PortalHotkeys.moc"
