// SPDX-License-Identifier: GPL-3.0-or-later
// The GNOME Wayland back end against a fake GNOME Shell companion on the
// test's own session bus: copies recorded through it, our offers served
// through it, the window given the keyboard back and the shortcuts it binds.
#include "CaptureRig.h"
#include "FakeGnomeShell.h"
#include "FakeHotkeyRegistrar.h"
#include "FakeKeyboardLayout.h"
#include "TestImages.h"
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
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace GlobalHotkeys;
using Offer = FakeGnomeShell::Offer;
using Rig = CaptureRig<GnomeShellPasteboard>;

Q_DECLARE_METATYPE(QList<FakeGnomeShell::Offer>)

class tst_GnomeShellBackend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The companion answers only the program that holds our name.
        QVERIFY(QDBusConnection::sessionBus().registerService(SessionBus::serviceName));
    }

    void copiesAreRecorded_data()
    {
        QTest::addColumn<QList<Offer>>("offers");
        QTest::addColumn<qint64>("readLimit"); // 0: none
        QTest::addColumn<ClipKind>("kind");
        QTest::addColumn<QString>("text"); // empty: not recorded

        const qint64 none = 0;
        const QByteArray umlauts = QStringLiteral("Grüße ✓").toUtf8();
        const QString utf8 = QStringLiteral("text/plain;charset=utf-8");
        QTest::newRow("text") << QList<Offer> { { utf8, umlauts },
            { QStringLiteral("UTF8_STRING"), umlauts } }
                              << none << ClipKind::text << QString::fromUtf8(umlauts);
        QTest::newRow("HTML") << QList<Offer> { { PasteboardType::html, "<p>some <b>bold</b></p>" },
            { utf8, "some bold" } }
                              << none << ClipKind::text << QStringLiteral("some bold");
        QTest::newRow("PNG") << QList<Offer> { { PasteboardType::png, encodedImage() } } << none
                             << ClipKind::image << QStringLiteral("<image>");
        QTest::newRow("files") << QList<Offer> { { PasteboardType::uriList,
            "file:///home/me/a%20b.txt\r\nfile:///home/me/c.png\r\n" } }
                               << none << ClipKind::fileURLs
                               << QStringLiteral("/home/me/a b.txt\n/home/me/c.png");
        // Nothing of a marked copy is read.
        QTest::newRow("secret") << QList<Offer> { { utf8, "hunter2" },
            { PasteboardType::kdePasswordManagerHint, "secret" } }
                                << none << ClipKind::text << QString();
        QTest::newRow("one byte over the read limit")
            << QList<Offer> { { utf8, QByteArray(1001, 'x') } } << qint64(1000) << ClipKind::text
            << QString();
        // Given up after the shared deadline.
        QTest::newRow("owner never sends")
            << QList<Offer> { { utf8, std::nullopt } } << none << ClipKind::text << QString();
    }

    void copiesAreRecorded()
    {
        QFETCH(QList<Offer>, offers);
        QFETCH(qint64, readLimit);
        QFETCH(ClipKind, kind);
        QFETCH(QString, text);
        FakeGnomeShell shell;
        QVERIFY(shell.isValid());
        Rig rig;
        QVERIFY(rig.pasteboard.isReading());
        if (readLimit)
            rig.pasteboard.setMaxReadBytes(readLimit);
        QSignalSpy changed(&rig.pasteboard, &Pasteboard::changed);

        shell.copy(offers);
        QVERIFY(changed.wait(15000));
        const bool secret
            = offers.size() == 2 && offers.at(1).type == PasteboardType::kdePasswordManagerHint;
        if (secret)
            QCOMPARE(shell.asked().reads, QStringList());
        // Too large or too slow: dropped as the other back ends drop it.
        QCOMPARE(rig.pasteboard.contentsAbandoned(), text.isEmpty() && !secret);

        shell.copy({ { QStringLiteral("text/plain"), "next" } });
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts().value(0), QStringLiteral("next"), 5000);
        QCOMPARE(rig.clips().size(), text.isEmpty() ? 1 : 2);
        if (text.isEmpty())
            return;
        const Clip clip = rig.clips().at(1);
        QCOMPARE(clip.kind, kind);
        if (kind == ClipKind::image) {
            QFile file(rig.f.store->imagePath(clip));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), *offers.constFirst().bytes);
        } else {
            QCOMPARE(clip.text.value_or(QStringLiteral("<none>")), text);
        }
        if (offers.constFirst().type == PasteboardType::html)
            QCOMPARE(clip.html, offers.constFirst().bytes);
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
        PasteboardContents mine;
        mine.setData(PasteboardType::html, "<b>mine</b>");
        mine.setData(PasteboardType::plainText, "mine");
        mine.setData(PasteboardType::png, image);
        rig.pasteboard.setContents(mine);
        QTRY_COMPARE(shell.asked().offers.size(), 1);
        const auto [types, token] = shell.asked().offers.constFirst();
        // The type the companion of GNOME 43 holds comes first.
        QCOMPARE(types.value(0), QStringLiteral("text/plain;charset=utf-8"));
        QVERIFY(types.contains(PasteboardType::html));
        QCOMPARE(shell.paste(token, QStringLiteral("UTF8_STRING")), QByteArray("mine"));
        QCOMPARE(shell.paste(token, PasteboardType::html), QByteArray("<b>mine</b>"));
        QCOMPARE(shell.paste(token, PasteboardType::png), image);

        PasteboardContents second;
        second.setData(PasteboardType::plainText, "second");
        rig.pasteboard.setContents(second);
        QTRY_COMPARE(shell.asked().offers.size(), 2);
        const uint secondToken = shell.asked().offers.constLast().second;
        QString error;
        QCOMPARE(shell.paste(token, QStringLiteral("UTF8_STRING"), &error), std::nullopt);
        QVERIFY2(error.endsWith(QLatin1String(".Error.Stale")), qPrintable(error));
        QCOMPARE(shell.paste(secondToken, QStringLiteral("text/plain")), QByteArray("second"));

        // Only the shell is answered.
        QDBusConnection other
            = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("other"));
        QDBusMessage send = QDBusMessage::createMethodCall(SessionBus::serviceName,
            GnomeShellBus::sourcePath, GnomeShellBus::sourceInterface, QStringLiteral("Send"));
        send << secondToken << QStringLiteral("text/plain");
        QDBusPendingCall call = other.asyncCall(send);
        QTRY_VERIFY(call.isFinished());
        QCOMPARE(call.error().type(), QDBusError::AccessDenied);
        QDBusConnection::disconnectFromBus(QStringLiteral("other"));

        shell.copy({ { QStringLiteral("text/plain"), "next" } });
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts(), QStringList { QStringLiteral("next") }, 5000);
        QCOMPARE(shell.asked().reads, QStringList { QStringLiteral("text/plain") });

        // A program that copies empties the clipboard first: nothing is put
        // back over its copy. One that quits leaves it empty: its copy is.
        shell.copy({});
        shell.copy({ { QStringLiteral("text/plain"), "over" } });
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts().value(0), QStringLiteral("over"), 5000);
        QCOMPARE(shell.asked().offers.size(), 2);
        shell.copy({});
        QTRY_COMPARE(shell.asked().offers.size(), 3);
        QCOMPARE(shell.paste(shell.asked().offers.constLast().second, QStringLiteral("text/plain")),
            QByteArray("over"));
    }

    // Where the companion holds one type of ours, our writes go to the X11
    // clipboard with every type, and their announcement is not read back.
    void offersThroughX11()
    {
        FakeGnomeShell shell;
        QVERIFY(shell.isValid());
        shell.setOffersEveryType(false);
        shell.copy({ { QStringLiteral("text/plain"), "before" } });
        QList<std::pair<QString, QByteArray>> claimed;
        GnomeShellPasteboard pasteboard(QDBusConnection::sessionBus(),
            [&claimed](
                const QList<std::pair<QString, QByteArray>> &offered) { claimed = offered; });
        QSignalSpy changed(&pasteboard, &Pasteboard::changed);
        // Read once the companion has answered both questions, in order.
        QTRY_COMPARE(shell.asked().reads.size(), 1);
        PasteboardContents mine;
        mine.setData(PasteboardType::html, "<b>mine</b>");
        pasteboard.setContents(mine);
        QCOMPARE(claimed,
            (QList<std::pair<QString, QByteArray>> {
                { PasteboardType::html, "<b>mine</b>" }, { GnomeShellBus::ownOfferType, {} } }));
        shell.copy(
            { { PasteboardType::html, "<b>mine</b>" }, { GnomeShellBus::ownOfferType, {} } });
        shell.copy({ { QStringLiteral("text/plain"), "next" } });
        QVERIFY(changed.wait());
        QCOMPARE(pasteboard.dataForType(QStringLiteral("text/plain")), "next");
        QCOMPARE(shell.asked().reads, QStringList(2, QStringLiteral("text/plain")));
        QCOMPARE(shell.asked().offers.size(), 0);
    }

    // What was copied before we started is what the clipboard holds, not
    // a copy; one made while the companion was away is a copy.
    void clipboardAsFound()
    {
        FakeGnomeShell shell;
        QVERIFY(shell.isValid());
        shell.copy({ { QStringLiteral("text/plain"), "before" } });
        Rig rig;
        QTRY_COMPARE(rig.pasteboard.dataForType(QStringLiteral("text/plain")), "before");
        shell.leaveBus();
        shell.copy({ { QStringLiteral("text/plain"), "while away" } });
        QVERIFY(shell.joinBus());
        QTRY_COMPARE(rig.texts(), QStringList { QStringLiteral("while away") });
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
        QCOMPARE(shell.asked().focusQueries, 1);
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
        Defaults defaults(dir.filePath(QStringLiteral("settings.conf")));
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
            opened << QStringLiteral("history");
            openedOver = workspace.frontmostWindow();
        });
        controller.setOnTogglePinned([&opened] { opened << QStringLiteral("kept"); });
        QSignalSpy failed(&names, &NamedShortcuts::registrationFailed);
        QSignalSpy ownerChanged(&registrar, &HotkeyRegistrar::ownerChanged);

        QCOMPARE(registrar.owner(), HotkeyRegistrar::Owner::program);
        QCOMPARE(shell.asked().shortcuts,
            std::pair(QStringLiteral("<Control><Alt>v"), QStringLiteral("<Control><Alt>p")));
        shell.pressShortcut(GnomeShellBus::Shortcut::openKept);
        QTRY_COMPARE(opened, QStringList { QStringLiteral("kept") });

        names.setShortcut(Shortcut(Key::b, ModifierFlag::command | ModifierFlag::option),
            StandardNames::togglePanel());
        QCOMPARE(shell.asked().shortcuts->first, QStringLiteral("<Control><Alt>b"));
        // The press tells the window with the keyboard before the panel opens.
        shell.setFocusedWindow(42, 4321, true);
        shell.pressShortcut(GnomeShellBus::Shortcut::openHistory);
        QTRY_COMPARE(opened, (QStringList { QStringLiteral("kept"), QStringLiteral("history") }));
        QCOMPARE(openedOver, (RunningWindow { 42, 4321 }));

        shell.takeChord(QStringLiteral("<Control><Shift>v"));
        names.setShortcut(Shortcut(Key::v, ModifierFlag::command | ModifierFlag::shift),
            StandardNames::togglePanel());
        QCOMPARE(failed.size(), 1);
        QVERIFY(fallback->live().isEmpty());

        // The companion disabled: the fallback holds the keys, the user binds.
        shell.leaveBus();
        QTRY_COMPARE(ownerChanged.size(), 1);
        QCOMPARE(registrar.owner(), HotkeyRegistrar::Owner::user);
        const Shortcut kept = *names.getShortcut(StandardNames::togglePinnedPanel());
        QVERIFY(fallback->live().values().contains(kept));
        QVERIFY(fallback->press(kept));
        QVERIFY(fallback->release(kept));
        QCOMPARE(opened.size(), 3);

        QVERIFY(shell.joinBus());
        QTRY_COMPARE(ownerChanged.size(), 2);
        QVERIFY(fallback->live().isEmpty());
        QCOMPARE(shell.asked().shortcuts, std::pair(QString(), QStringLiteral("<Control><Alt>p")));
    }
};

QTEST_MAIN(tst_GnomeShellBackend)
#include "tst_GnomeShellBackend.moc"
