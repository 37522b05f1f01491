// SPDX-License-Identifier: GPL-3.0-or-later
// The GNOME Wayland back end against a fake GNOME Shell companion on the
// test's own session bus: copies recorded through it, our offers served
// through it, the window given the keyboard back and the shortcuts it binds.
// What the kinds of copy become is the shared reader's, tested on X11 and
// wlroots; the whole program in a real GNOME Shell is tst_GnomeSession.
#include "CaptureRig.h"
#include "FakeGnomeShell.h"
#include "FakeHotkeyRegistrar.h"
#include "FakeKeyboardLayout.h"
#include "app/HotkeyController.h"
#include "app/SessionBus.h"
#include "globalhotkeys/NamedShortcuts.h"
#include "globalhotkeys/StandardNames.h"
#include "model/Defaults.h"
#include "platform/wayland/GnomeShellBus.h"
#include "platform/wayland/GnomeShellHotkeyRegistrar.h"
#include "platform/wayland/GnomeShellPasteboard.h"
#include "platform/wayland/GnomeShellWorkspace.h"
#include "platform/wayland/PortalTrigger.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace GlobalHotkeys;
using namespace Qt::StringLiterals;
using Rig = CaptureRig<GnomeShellPasteboard>;
using Offered = QList<std::pair<QString, QByteArray>>;

namespace {

const QString utf8 = u"text/plain;charset=utf-8"_s;
const QString plain = PasteboardType::plainText;

PasteboardContents contents(const Offered &offered)
{
    PasteboardContents made;
    for (const auto &[type, bytes] : offered)
        made.setData(type, bytes);
    return made;
}

} // namespace

class tst_GnomeShellBackend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The companion answers only the program that holds our name.
        QVERIFY(QDBusConnection::sessionBus().registerService(SessionBus::serviceName));
    }

    // What we put on the clipboard is the shell's offer, sent a type at a
    // time when a program pastes, large ones without holding us up; it is
    // never read back nor recorded, and an old offer's token is refused.
    void ownOffersAreServed()
    {
        FakeGnomeShell shell;
        QVERIFY(shell.isValid());
        Rig rig;
        const QByteArray image(4 << 20, 'i');
        rig.pasteboard.setContents(contents({ { PasteboardType::html, "<b>mine</b>" },
            { plain, "mine" }, { PasteboardType::png, image } }));
        QTRY_COMPARE(shell.asked().offers.size(), 1);
        const auto [types, token] = shell.asked().offers.constFirst();
        // The type the companion of GNOME 43 holds comes first.
        QCOMPARE(types.value(0), utf8);
        QCOMPARE(shell.paste(token, u"UTF8_STRING"_s), QByteArray("mine"));
        QCOMPARE(shell.paste(token, PasteboardType::html), QByteArray("<b>mine</b>"));
        QCOMPARE(shell.paste(token, PasteboardType::png), image);

        rig.pasteboard.setContents(contents({ { plain, "second" } }));
        QTRY_COMPARE(shell.asked().offers.size(), 2);
        QString error;
        QCOMPARE(shell.paste(token, u"UTF8_STRING"_s, &error), std::nullopt);
        QVERIFY2(error.endsWith(".Error.Stale"_L1), qPrintable(error));
        const uint secondToken = shell.asked().offers.constLast().second;
        QCOMPARE(shell.paste(secondToken, plain), QByteArray("second"));

        // Only the shell is answered.
        QDBusConnection other
            = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"other"_s);
        QDBusMessage send = QDBusMessage::createMethodCall(SessionBus::serviceName,
            GnomeShellBus::sourcePath, GnomeShellBus::sourceInterface, u"Send"_s);
        send << secondToken << plain;
        QDBusPendingCall call = other.asyncCall(send);
        QTRY_VERIFY(call.isFinished());
        QCOMPARE(call.error().type(), QDBusError::AccessDenied);
        QDBusConnection::disconnectFromBus(u"other"_s);

        shell.copy({ { plain, "next" } });
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts(), QStringList { u"next"_s }, 5000);
        QCOMPARE(shell.asked().reads, QStringList { plain });

        // A program that copies empties the clipboard first: nothing is put
        // back over its copy. One that quits leaves it empty: its copy is.
        shell.copy({});
        shell.copy({ { plain, "over" } });
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts().value(0), u"over"_s, 5000);
        QCOMPARE(shell.asked().offers.size(), 2);
        shell.copy({});
        QTRY_COMPARE(shell.asked().offers.size(), 3);
        QCOMPARE(shell.paste(shell.asked().offers.constLast().second, plain), QByteArray("over"));
    }

    // Where the companion holds one type of ours, our writes go to the X11
    // clipboard with every type, and their announcement is not read back.
    void offersThroughX11()
    {
        FakeGnomeShell shell;
        QVERIFY(shell.isValid());
        shell.setOffersEveryType(false);
        shell.copy({ { plain, "before" } });
        Offered claimed;
        GnomeShellPasteboard pasteboard(QDBusConnection::sessionBus(),
            [&claimed](const Offered &offered) { claimed = offered; });
        QSignalSpy changed(&pasteboard, &Pasteboard::changed);
        // Read once the companion has answered both questions, in order.
        QTRY_COMPARE(shell.asked().reads.size(), 1);
        pasteboard.setContents(contents({ { PasteboardType::html, "<b>mine</b>" } }));
        const Offered expected { { PasteboardType::html, "<b>mine</b>" },
            { GnomeShellBus::ownOfferType, {} } };
        QCOMPARE(claimed, expected);
        shell.copy(
            { { PasteboardType::html, "<b>mine</b>" }, { GnomeShellBus::ownOfferType, {} } });
        shell.copy({ { plain, "next" } });
        QVERIFY(changed.wait());
        QCOMPARE(pasteboard.dataForType(plain), "next");
        QCOMPARE(shell.asked().reads, QStringList(2, plain));
        QCOMPARE(shell.asked().offers.size(), 0);
    }

    // What was copied before we started is what the clipboard holds, not
    // a copy; one made while the companion was away is a copy. An owner that
    // never sends is given up after the shared deadline; the next copy is
    // read in the type asked for and recorded.
    void copiesAreRecorded()
    {
        FakeGnomeShell shell;
        QVERIFY(shell.isValid());
        shell.copy({ { plain, "before" } });
        Rig rig;
        QTRY_COMPARE(rig.pasteboard.dataForType(plain), "before");
        shell.leaveBus();
        shell.copy({ { plain, "while away" } });
        QVERIFY(shell.joinBus());
        QTRY_COMPARE(rig.texts(), QStringList { u"while away"_s });

        QSignalSpy changed(&rig.pasteboard, &Pasteboard::changed);
        shell.copy({ { utf8, std::nullopt } });
        QVERIFY(changed.wait(15000));
        QVERIFY(rig.pasteboard.contentsAbandoned());
        const QString umlauts = u"Grüße ✓"_s;
        shell.copy({ { utf8, umlauts.toUtf8() }, { u"UTF8_STRING"_s, umlauts.toUtf8() } });
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts(), (QStringList { umlauts, u"while away"_s }), 5000);
    }

    // The window with the keyboard as the companion tells of it, or as it
    // answers once when we start: the panel opens without asking.
    void windowGetsKeyboardBack_data()
    {
        QTest::addColumn<bool>("beforeStart");
        QTest::addColumn<quint64>("focused"); // 0: no window has the keyboard
        QTest::addColumn<bool>("ours");
        QTest::newRow("another program's") << false << quint64(42) << false;
        QTest::newRow("before we started") << true << quint64(42) << false;
        QTest::newRow("ours") << false << quint64(7) << true;
        QTest::newRow("none") << false << quint64(0) << false;
    }

    void windowGetsKeyboardBack()
    {
        QFETCH(bool, beforeStart);
        QFETCH(quint64, focused);
        QFETCH(bool, ours);
        FakeGnomeShell shell;
        QVERIFY(shell.isValid());
        const uint pid = ours ? uint(QCoreApplication::applicationPid()) : 4321u;
        const RunningWindow other { 99, 4321 };
        // Told to nobody: only the question asked at start learns of it.
        shell.setFocusedWindow(beforeStart ? focused : other.windowId, 4321, true);
        GnomeShellWorkspace workspace;
        if (!beforeStart) {
            QTRY_COMPARE(workspace.frontmostWindow(), other);
            shell.setFocusedWindow(focused, pid);
        }
        const std::optional<RunningWindow> expected = focused == 0 || ours
            ? std::nullopt
            : std::optional(RunningWindow { focused, qint64(pid) });
        QTRY_COMPARE(workspace.frontmostWindow(), expected);
        if (!expected)
            return;
        // Our panel has the keyboard now; the window remembered gets it back.
        shell.setFocusedWindow(7, uint(QCoreApplication::applicationPid()));
        workspace.activate(*expected);
        QTRY_COMPARE(shell.asked().activations, QList<quint64> { focused });
    }

    // The shell binds the keys of our settings, refuses a chord another
    // binding holds as X11 refuses a grabbed key, and while the companion
    // is away the fallback grabs the keys.
    void shortcutsAreBound()
    {
        FakeGnomeShell shell;
        QVERIFY(shell.isValid());
        QTemporaryDir dir;
        Defaults defaults(dir.filePath(u"settings.conf"_s));
        FakeKeyboardLayout layout;
        // Made first, so that the bus tells it of a press after the registrar.
        GnomeShellWorkspace workspace;
        auto *fallback = new FakeHotkeyRegistrar;
        NamedShortcuts *namesNow = nullptr;
        GnomeShellHotkeyRegistrar registrar(
            QDBusConnection::sessionBus(), std::unique_ptr<HotkeyRegistrar>(fallback),
            [&namesNow](const Shortcut &shortcut) {
                return GnomeShellHotkeyRegistrar::standardNames(*namesNow)(shortcut);
            },
            [&layout](const Shortcut &shortcut) { return portalTrigger(shortcut, layout); });
        NamedShortcuts names(defaults, registrar, layout);
        namesNow = &names;
        HotkeyController controller(names);
        QStringList opened;
        std::optional<RunningWindow> openedOver;
        controller.setOnToggle([&] {
            opened << u"history"_s;
            openedOver = workspace.frontmostWindow();
        });
        controller.setOnTogglePinned([&opened] { opened << u"kept"_s; });
        QSignalSpy failed(&names, &NamedShortcuts::registrationFailed);
        QSignalSpy ownerChanged(&registrar, &HotkeyRegistrar::ownerChanged);

        QCOMPARE(registrar.owner(), HotkeyRegistrar::Owner::program);
        QCOMPARE(shell.asked().shortcuts, std::pair(u"<Control><Alt>v"_s, u"<Control><Alt>p"_s));
        shell.pressShortcut(GnomeShellBus::Shortcut::openKept);
        QTRY_COMPARE(opened, QStringList { u"kept"_s });

        names.setShortcut(Shortcut(Key::b, ModifierFlag::command | ModifierFlag::option),
            StandardNames::togglePanel());
        QCOMPARE(shell.asked().shortcuts->first, u"<Control><Alt>b"_s);
        // The press tells the window with the keyboard before the panel opens.
        shell.setFocusedWindow(42, 4321, true);
        shell.pressShortcut(GnomeShellBus::Shortcut::openHistory);
        QTRY_COMPARE(opened, (QStringList { u"kept"_s, u"history"_s }));
        QCOMPARE(openedOver, (RunningWindow { 42, 4321 }));

        shell.takeChord(u"<Control><Shift>v"_s);
        names.setShortcut(Shortcut(Key::v, ModifierFlag::command | ModifierFlag::shift),
            StandardNames::togglePanel());
        QCOMPARE(failed.size(), 1);
        QVERIFY(fallback->live().isEmpty());

        // The companion disabled: the fallback holds the keys, the user binds.
        shell.leaveBus();
        QTRY_COMPARE(ownerChanged.size(), 1);
        QCOMPARE(registrar.owner(), HotkeyRegistrar::Owner::user);
        const Shortcut kept = *names.getShortcut(StandardNames::togglePinnedPanel());
        QVERIFY(fallback->press(kept));
        QVERIFY(fallback->release(kept));
        QCOMPARE(opened.size(), 3);

        QVERIFY(shell.joinBus());
        QTRY_COMPARE(ownerChanged.size(), 2);
        QVERIFY(fallback->live().isEmpty());
        QCOMPARE(shell.asked().shortcuts, std::pair(QString(), u"<Control><Alt>p"_s));
    }
};

QTEST_MAIN(tst_GnomeShellBackend)
#include "tst_GnomeShellBackend.moc"
