// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaptureRig.h"
#include "HelperProcesses.h"
#include "QuitThenCopySequence.h"
#include "TestImages.h"
#include "platform/wayland/WaylandPasteboard.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <csignal>

using namespace Qt::StringLiterals;
using Offers = QList<std::pair<QString, QByteArray>>;

// The whole road of a copy on a real Wayland compositor (headless sway, KWin,
// and ours for the standard protocol):
// wl-copy or our own data-control owner copies, the monitor records it into
// the store; choosing a clip puts it back for wl-paste.
class tst_CaptureWayland : public QObject
{
    Q_OBJECT

    using Rig = CaptureRig<WaylandPasteboard>;

    HelperProcesses m_helpers;

    // Copies with wl-copy (as text, or as the type given) and returns once
    // it has taken the clipboard.
    bool wlCopy(const QByteArray &bytes, const QString &type = QString())
    {
        QProcess copy;
        // Its background child would keep our pipes open.
        copy.setStandardOutputFile(QProcess::nullDevice());
        copy.setStandardErrorFile(QProcess::nullDevice());
        copy.setStandardInputFile(m_helpers.writeFile(bytes));
        copy.start(
            u"wl-copy"_s, type.isEmpty() ? QStringList() : QStringList { u"--type"_s, type });
        return copy.waitForFinished(5000) && copy.exitCode() == 0;
    }

    // What another program pastes in this type, or the types offered, one a
    // line, when none is given. Our events are handled while it waits: when
    // the clipboard is empty, KWin tells a new reader nothing until someone
    // (we) takes it again.
    QByteArray wlPaste(const QString &type = QString()) const
    {
        QProcess paste;
        paste.start(u"wl-paste"_s,
            type.isEmpty() ? QStringList { u"--list-types"_s }
                           : QStringList { u"--no-newline"_s, u"--type"_s, type });
        if (!QTest::qWaitFor([&] { return paste.state() == QProcess::NotRunning; }, 5000))
            return "<wl-paste did not finish>";
        return paste.readAllStandardOutput();
    }

    // Starts our data-control owner; returns once it owns the clipboard.
    QProcess *startOwner(const Offers &offers, const QStringList &options = {})
    {
        QStringList arguments = options;
        for (const auto &[type, bytes] : offers)
            arguments << u"--type"_s << type + u'@' + m_helpers.writeFile(bytes);
        return m_helpers.startUntilReady(QStringLiteral(QS_WAYLAND_OWNER), arguments);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("WAYLAND_DISPLAY"), "run under wayland-harness.sh");
        WaylandPasteboard probe;
        QVERIFY2(probe.isReading(), qPrintable(probe.errorString()));
        // Against our compositor, which offers both protocols over one
        // clipboard, we take the standard one while wl-copy and wl-paste
        // speak the wlroots one; the test is told which we take.
        const QString taken
            = qEnvironmentVariable("QUILLSTACK_TEST_DATA_CONTROL", u"data_control_manager"_s);
        QVERIFY2(probe.protocolName().contains(taken), qPrintable(probe.protocolName()));
    }

    void cleanup() { m_helpers.killAll(); }

    // Programs that end their HTML and file lists in a NUL get the same
    // clips as on X11; a copy marked secret is not recorded.
    void copiesAreRecordedAsOnX11_data()
    {
        QTest::addColumn<Offers>("offers");
        QTest::addColumn<ClipKind>("kind");
        QTest::addColumn<QString>("text"); // empty: not recorded
        QTest::addColumn<QByteArray>("html");

        const QByteArray umlauts = u"Grüße ✓"_s.toUtf8();
        const QString utf8 = u"text/plain;charset=utf-8"_s;
        QTest::newRow("text") << Offers { { utf8, umlauts } } << ClipKind::text
                              << QString::fromUtf8(umlauts) << QByteArray();
        QTest::newRow("HTML") << Offers { { PasteboardType::html,
            QByteArrayLiteral("<p>some <b>bold</b> words</p>\0") } }
                              << ClipKind::text << u"<p>some <b>bold</b> words</p>"_s
                              << "<p>some <b>bold</b> words</p>"_ba;
        QTest::newRow("PNG") << Offers { { PasteboardType::png, encodedImage() } }
                             << ClipKind::image << QString() << QByteArray();
        QTest::newRow("files") << Offers { { PasteboardType::uriList,
            QByteArrayLiteral("file:///home/me/a%20b.txt\r\nfile:///home/me/c.png\0") } }
                               << ClipKind::fileURLs << u"/home/me/a b.txt\n/home/me/c.png"_s
                               << QByteArray();
        QTest::newRow("secret") << Offers { { utf8, "hunter2" },
            { PasteboardType::html, "<b>hunter2</b>" }, { PasteboardType::concealed, "secret" } }
                                << ClipKind::text << QString() << QByteArray();
    }

    void copiesAreRecordedAsOnX11()
    {
        QFETCH(Offers, offers);
        QFETCH(ClipKind, kind);
        QFETCH(QString, text);
        QFETCH(QByteArray, html);

        Rig rig;
        QSignalSpy changed(&rig.pasteboard, &Pasteboard::changed);
        // wl-copy for one type; our owner for several.
        QVERIFY(offers.size() == 1 ? wlCopy(offers.constFirst().second, offers.constFirst().first)
                                   : startOwner(offers) != nullptr);
        // Read before the next copy, which would otherwise supersede it.
        const bool recorded = kind == ClipKind::image || !text.isEmpty();
        if (recorded)
            QTRY_COMPARE_WITH_TIMEOUT(rig.clips().size(), 1, 5000);
        else
            QVERIFY(changed.wait(5000));
        QVERIFY(wlCopy("sentinel"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts().value(0), u"sentinel"_s, 5000);
        QCOMPARE(rig.clips().size(), recorded ? 2 : 1);
        if (!recorded)
            return;
        const Clip clip = rig.clips().at(1);
        QCOMPARE(clip.kind, kind);
        if (kind == ClipKind::image) {
            QFile file(rig.f.store->imagePath(clip));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), offers.constFirst().second);
        } else {
            QCOMPARE(clip.text.value_or(u"<none>"_s), text);
        }
        if (!html.isEmpty()) {
            QCOMPARE(clip.html, std::optional<QByteArray>(html));
            QVERIFY(clip.rtf && clip.rtf->contains("bold"));
        }
    }

    // The older copy keeps arriving while the newer one waits, so both are
    // recorded, in the order they were made.
    void copyDuringALargeReadComesAfterIt()
    {
        Rig rig;
        const QByteArray large(2 << 20, 'L');
        QProcess *owner = startOwner({ { u"UTF8_STRING"_s, large } }, { u"--trickle"_s });
        QVERIFY(owner);
        QVERIFY(HelperProcesses::waitForLine(*owner, "sending"));
        QVERIFY(wlCopy("small, made later"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.clips().size(), 2, 10000);
        QCOMPARE(rig.texts(), (QStringList { u"small, made later"_s, QString::fromLatin1(large) }));
    }

    void choosingAClipPutsItBackWithoutRecordingIt()
    {
        Rig rig;
        QVERIFY(startOwner({ { u"text/plain;charset=utf-8"_s, "older" },
            { PasteboardType::html, "<b>older</b>" } }));
        QTRY_COMPARE_WITH_TIMEOUT(rig.clips().size(), 1, 5000);
        QVERIFY(wlCopy("newer"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.clips().size(), 2, 5000);
        const QList<Clip> before = rig.clips();

        rig.monitor->write(before.last(), std::nullopt);
        QCOMPARE(wlPaste(u"text/plain;charset=utf-8"_s), "older"_ba);
        QCOMPARE(wlPaste(PasteboardType::html), "<b>older</b>"_ba);
        // No RTF of ours beside the source's HTML.
        QStringList types = QString::fromUtf8(wlPaste()).split(u'\n', Qt::SkipEmptyParts);
        types.sort();
        QCOMPARE(types.join(u' '),
            u"STRING TEXT UTF8_STRING text/html text/plain text/plain;charset=utf-8"_s);
        // Our write was not recorded: a copy made after it is the only new clip.
        QVERIFY(wlCopy("sentinel"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts().value(0), u"sentinel"_s, 5000);
        QCOMPARE(rig.clips().mid(1), before);

        // A file list also goes out in the file managers' form.
        Clip files = before.first();
        files.kind = ClipKind::fileURLs;
        files.text = u"/tmp/one.txt\n/tmp/two words.txt"_s;
        rig.monitor->write(files, std::nullopt);
        QCOMPARE(wlPaste(PasteboardType::gnomeCopiedFiles),
            "copy\nfile:///tmp/one.txt\nfile:///tmp/two%20words.txt"_ba);
    }

    // A copy within the read limit is read and recorded; one byte over it
    // is not, while the next copy is. (What the per-clip limit keeps out is
    // the monitor's, the same on X11: tst_CaptureX11.)
    void readLimit_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("exactly at the read limit") << 1000;
        QTest::newRow("one byte over the read limit") << 1001;
    }

    void readLimit()
    {
        QFETCH(int, size);
        Rig rig;
        rig.pasteboard.setMaxReadBytes(1000);
        QSignalSpy changed(&rig.pasteboard, &Pasteboard::changed);
        const QByteArray copied(size, 'x');
        QVERIFY(wlCopy(copied));
        QVERIFY(changed.wait(5000));
        QCOMPARE(rig.pasteboard.contentsAbandoned(), size > 1000);
        QVERIFY(wlCopy("next"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts().value(0), u"next"_s, 5000);
        const QStringList expected { u"next"_s, QString::fromLatin1(copied) };
        QCOMPARE(rig.texts(), expected.mid(0, size > 1000 ? 1 : 2));
    }

    // As on X11: an image whose program quits while it is being prepared is
    // offered again only while the clipboard is still empty.
    void imageOwnerQuitsThenTextIsCopied()
    {
        Rig rig;
        QuitThenCopySequence sequence;
        sequence.startOwner = [this](const auto &offers) { return startOwner(offers); };
        sequence.textType = u"text/plain;charset=utf-8"_s;
        sequence.copy = [this](const QByteArray &bytes) { return wlCopy(bytes); };
        sequence.run(rig.pasteboard, *rig.monitor, *rig.f.store, 25);
    }

    void clipboardOutlivesTheProgramThatCopied()
    {
        Rig rig;
        QProcess *owner = startOwner({ { u"text/plain;charset=utf-8"_s, "keep me" },
            { PasteboardType::html, "<i>keep me</i>" } });
        QVERIFY(owner);
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts(), QStringList { u"keep me"_s }, 5000);
        owner->kill();
        QTRY_COMPARE_WITH_TIMEOUT(wlPaste(u"text/plain;charset=utf-8"_s), "keep me"_ba, 5000);
        QCOMPARE(wlPaste(PasteboardType::html), "<i>keep me</i>"_ba);
        QCOMPARE(rig.clips().size(), 1);
    }

    void stoppedOwnerDoesNotFreezeTheProgram()
    {
        Rig rig;
        // The UI thread goes on while the reader waits: its timer keeps firing.
        int ticks = 0;
        QTimer ticker;
        ticker.setInterval(10);
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        QProcess *stopped = startOwner({ { u"UTF8_STRING"_s, "never read" } }, { u"--stop"_s });
        QVERIFY(stopped);
        ticker.start();
        // The reader gives up on the stopped owner; nothing is recorded.
        QTRY_VERIFY_WITH_TIMEOUT(rig.pasteboard.contentsAbandoned(), 15000);
        QVERIFY(ticks > 1);
        QVERIFY(rig.clips().isEmpty());

        // Stopped again, and this time a newer copy ends the wait at once.
        QVERIFY(startOwner({ { u"UTF8_STRING"_s, "never read either" } }, { u"--stop"_s }));
        QVERIFY(wlCopy("after the stopped ones"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts(), QStringList { u"after the stopped ones"_s }, 5000);
        ::kill(pid_t(stopped->processId()), SIGKILL);
    }
};

QTEST_MAIN(tst_CaptureWayland)
#include "tst_CaptureWayland.moc"
