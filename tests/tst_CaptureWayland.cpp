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

using Offers = QList<std::pair<QString, QByteArray>>;

// The whole road of a copy on a real Wayland compositor (headless sway, KWin):
// wl-copy or our own data-control owner copies, the monitor records it into
// the store; choosing a clip puts it back for wl-paste.
class tst_CaptureWayland : public QObject
{
    Q_OBJECT

    using Rig = CaptureRig<WaylandPasteboard>;

    HelperProcesses m_helpers;

    // wl-copy and wl-paste speak only the wlroots protocol: against a
    // compositor with only the standard one our owner stands in for them.
    bool m_ownerForWlClipboard = false;

    // Copies with wl-copy and returns once it has taken the clipboard.
    bool wlCopy(const QByteArray &bytes, const QStringList &options = {})
    {
        if (m_ownerForWlClipboard) {
            // wl-copy offers its text types besides any text type named.
            const QString type = options.value(1, QStringLiteral("text/plain"));
            Offers offers { { type, bytes } };
            if (type.startsWith(QLatin1String("text/"))) {
                for (const char *alias :
                    { "text/plain", "text/plain;charset=utf-8", "TEXT", "STRING", "UTF8_STRING" }) {
                    if (type != QLatin1String(alias))
                        offers.append({ QString::fromLatin1(alias), bytes });
                }
            }
            return startOwner(offers) != nullptr;
        }
        QProcess copy;
        // Its background child would keep our pipes open.
        copy.setStandardOutputFile(QProcess::nullDevice());
        copy.setStandardErrorFile(QProcess::nullDevice());
        copy.setStandardInputFile(m_helpers.writeFile(bytes));
        copy.start(QStringLiteral("wl-copy"), options);
        return copy.waitForFinished(5000) && copy.exitCode() == 0;
    }

    // Our events are handled while it waits: when the clipboard is empty,
    // KWin tells a new reader nothing until someone (we) takes it again.
    QByteArray wlPaste(const QStringList &options) const
    {
        QString program = QStringLiteral("wl-paste");
        QStringList arguments = QStringList { QStringLiteral("--no-newline") } + options;
        if (m_ownerForWlClipboard) {
            // The owner names the type wl-paste chooses by itself.
            program = QStringLiteral(QS_WAYLAND_OWNER);
            arguments = options;
            if (options.isEmpty())
                arguments
                    = { QStringLiteral("--paste"), QStringLiteral("text/plain;charset=utf-8") };
            else if (options.first() == QLatin1String("--type"))
                arguments = { QStringLiteral("--paste"), options.at(1) };
        }
        QProcess paste;
        paste.start(program, arguments);
        if (!QTest::qWaitFor([&] { return paste.state() == QProcess::NotRunning; }, 5000))
            return "<wl-paste did not finish>";
        return paste.readAllStandardOutput();
    }

    // Starts our data-control owner; returns once it owns the clipboard.
    QProcess *startOwner(const Offers &offers, const QStringList &options = {})
    {
        QStringList arguments = options;
        for (const auto &[type, bytes] : offers)
            arguments << QStringLiteral("--type")
                      << type + QLatin1Char('@') + m_helpers.writeFile(bytes);
        return m_helpers.startUntilReady(QStringLiteral(QS_WAYLAND_OWNER), arguments);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("WAYLAND_DISPLAY"), "run under wayland-harness.sh");
        WaylandPasteboard probe;
        QVERIFY2(probe.isReading(), qPrintable(probe.errorString()));
        // Runs against a compositor of ours name the one protocol it offers.
        const QString offered = qEnvironmentVariable(
            "QUILLSTACK_TEST_DATA_CONTROL", QStringLiteral("data_control_manager"));
        QVERIFY2(probe.protocolName().contains(offered), qPrintable(probe.protocolName()));
        m_ownerForWlClipboard = offered.startsWith(QLatin1String("ext_"));
    }

    void cleanup() { m_helpers.killAll(); }

    void copiesAreRecordedAsOnX11_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("copied");
        QTest::addColumn<ClipKind>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("html");

        const QByteArray umlauts = QStringLiteral("Grüße ✓").toUtf8();
        QTest::newRow("text") << QStringList {} << umlauts << ClipKind::text
                              << QString::fromUtf8(umlauts) << QByteArray();
        // wl-copy offers its text types besides the one named, as the text.
        // Programs that end their HTML and file lists in a NUL get the same
        // clips as on X11.
        QTest::newRow("HTML") << QStringList { QStringLiteral("--type"), PasteboardType::html }
                              << QByteArrayLiteral("<p>some <b>bold</b> words</p>\0")
                              << ClipKind::text << QStringLiteral("<p>some <b>bold</b> words</p>")
                              << QByteArray("<p>some <b>bold</b> words</p>");
        QTest::newRow("PNG") << QStringList { QStringLiteral("--type"), PasteboardType::png }
                             << encodedImage() << ClipKind::image << QString() << QByteArray();
        QTest::newRow("files") << QStringList { QStringLiteral("--type"), PasteboardType::uriList }
                               << QByteArrayLiteral(
                                      "file:///home/me/a%20b.txt\r\nfile:///home/me/c.png\0")
                               << ClipKind::fileURLs
                               << QStringLiteral("/home/me/a b.txt\n/home/me/c.png")
                               << QByteArray();
    }

    void copiesAreRecordedAsOnX11()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, copied);
        QFETCH(ClipKind, kind);
        QFETCH(QString, text);
        QFETCH(QByteArray, html);

        Rig rig;
        QVERIFY(wlCopy(copied, options));
        QTRY_COMPARE_WITH_TIMEOUT(rig.clips().size(), 1, 5000);
        const Clip clip = rig.clips().first();
        QCOMPARE(clip.kind, kind);
        if (kind == ClipKind::image) {
            QFile file(rig.f.store->imagePath(clip));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), copied);
        } else {
            QCOMPARE(clip.text.value_or(QStringLiteral("<none>")), text);
        }
        if (!html.isEmpty()) {
            QCOMPARE(clip.html, std::optional<QByteArray>(html));
            QVERIFY(clip.rtf && clip.rtf->contains("bold"));
        }
    }

    void markedCopiesAreSkipped_data()
    {
        QTest::addColumn<QString>("marker");
        QTest::newRow("concealed") << PasteboardType::concealed;
        QTest::newRow("password manager") << PasteboardType::kdePasswordManagerHint;
    }

    void markedCopiesAreSkipped()
    {
        QFETCH(QString, marker);
        Rig rig;
        QSignalSpy changed(&rig.pasteboard, &Pasteboard::changed);
        QVERIFY(startOwner({ { QStringLiteral("text/plain;charset=utf-8"), "hunter2" },
            { PasteboardType::html, "<b>hunter2</b>" }, { marker, "secret" } }));
        QVERIFY(changed.wait(5000));
        QVERIFY(wlCopy("not secret"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts(), QStringList { QStringLiteral("not secret") }, 5000);
    }

    // The older copy keeps arriving while the newer one waits, so both are
    // recorded, in the order they were made.
    void copyDuringALargeReadComesAfterIt()
    {
        Rig rig;
        const QByteArray large(2 << 20, 'L');
        QProcess *owner = startOwner(
            { { QStringLiteral("UTF8_STRING"), large } }, { QStringLiteral("--trickle") });
        QVERIFY(owner);
        QVERIFY(HelperProcesses::waitForLine(*owner, "sending"));
        QVERIFY(wlCopy("small, made later"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.clips().size(), 2, 10000);
        QCOMPARE(rig.texts(),
            (QStringList { QStringLiteral("small, made later"), QString::fromLatin1(large) }));
    }

    void choosingAClipPutsItBackWithoutRecordingIt()
    {
        Rig rig;
        QVERIFY(startOwner({ { QStringLiteral("text/plain;charset=utf-8"), "older" },
            { PasteboardType::html, "<b>older</b>" } }));
        QTRY_COMPARE_WITH_TIMEOUT(rig.clips().size(), 1, 5000);
        QVERIFY(wlCopy("newer"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.clips().size(), 2, 5000);
        const QList<Clip> before = rig.clips();

        rig.monitor->write(before.last(), std::nullopt);
        QCOMPARE(wlPaste({}), QByteArray("older"));
        QCOMPARE(wlPaste({ QStringLiteral("--type"), PasteboardType::html }),
            QByteArray("<b>older</b>"));
        // No RTF of ours beside the source's HTML.
        QStringList types = QString::fromUtf8(wlPaste({ QStringLiteral("--list-types") }))
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        types.sort();
        QCOMPARE(types,
            (QStringList { QStringLiteral("STRING"), QStringLiteral("TEXT"),
                QStringLiteral("UTF8_STRING"), PasteboardType::html, QStringLiteral("text/plain"),
                QStringLiteral("text/plain;charset=utf-8") }));
        // Our write was not recorded: a copy made after it is the only new clip.
        QVERIFY(wlCopy("sentinel"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts().value(0), QStringLiteral("sentinel"), 5000);
        QCOMPARE(rig.clips().mid(1), before);

        // A file list also goes out in the file managers' form.
        Clip files = before.first();
        files.kind = ClipKind::fileURLs;
        files.text = QStringLiteral("/tmp/one.txt\n/tmp/two words.txt");
        rig.monitor->write(files, std::nullopt);
        QCOMPARE(wlPaste({ QStringLiteral("--type"), PasteboardType::gnomeCopiedFiles }),
            QByteArray("copy\nfile:///tmp/one.txt\nfile:///tmp/two%20words.txt"));
    }

    // A copy within the limits is recorded; one byte over either the read
    // limit or the per-clip limit and it is not, while the next copy is. The
    // per-clip limit applies to what would be stored, so that copy is read.
    void limits_data()
    {
        QTest::addColumn<qint64>("readLimit");
        QTest::addColumn<qint64>("clipLimit");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("read");
        QTest::addColumn<bool>("recorded");
        const qint64 none = 0;
        QTest::newRow("exactly at the read limit") << qint64(1000) << none << 1000 << true << true;
        QTest::newRow("one byte over the read limit")
            << qint64(1000) << none << 1001 << false << false;
        QTest::newRow("one byte over the per-clip limit")
            << none << qint64(1000) << 1001 << true << false;
    }

    void limits()
    {
        QFETCH(qint64, readLimit);
        QFETCH(qint64, clipLimit);
        QFETCH(int, size);
        QFETCH(bool, read);
        QFETCH(bool, recorded);
        Rig rig;
        if (clipLimit)
            rig.f.settings->setMaxClipBytes(clipLimit);
        // Far below what the per-clip limit lets the monitor read.
        if (readLimit)
            rig.pasteboard.setMaxReadBytes(readLimit);
        QSignalSpy changed(&rig.pasteboard, &Pasteboard::changed);
        const QByteArray copied(size, 'x');
        QVERIFY(wlCopy(copied));
        QVERIFY(changed.wait(5000));
        QCOMPARE(rig.pasteboard.contentsAbandoned(), !read);
        QCOMPARE(rig.pasteboard.dataForType(PasteboardType::plainText),
            read ? std::optional<QByteArray>(copied) : std::nullopt);

        QVERIFY(wlCopy("next"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts().value(0), QStringLiteral("next"), 5000);
        QStringList expected { QStringLiteral("next") };
        if (recorded)
            expected.append(QString::fromLatin1(copied));
        QCOMPARE(rig.texts(), expected);
    }

    // As on X11: an image whose program quits while it is being prepared is
    // offered again only while the clipboard is still empty.
    void imageOwnerQuitsThenTextIsCopied()
    {
        Rig rig;
        QuitThenCopySequence sequence;
        sequence.startOwner = [this](const auto &offers) { return startOwner(offers); };
        sequence.textType = QStringLiteral("text/plain;charset=utf-8");
        sequence.copy = [this](const QByteArray &bytes) { return wlCopy(bytes); };
        sequence.run(rig.pasteboard, *rig.monitor, *rig.f.store, 25);
    }

    void clipboardOutlivesTheProgramThatCopied()
    {
        Rig rig;
        QProcess *owner = startOwner({ { QStringLiteral("text/plain;charset=utf-8"), "keep me" },
            { PasteboardType::html, "<i>keep me</i>" } });
        QVERIFY(owner);
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts(), QStringList { QStringLiteral("keep me") }, 5000);
        owner->kill();
        QTRY_COMPARE_WITH_TIMEOUT(wlPaste({}), QByteArray("keep me"), 5000);
        QCOMPARE(wlPaste({ QStringLiteral("--type"), PasteboardType::html }),
            QByteArray("<i>keep me</i>"));
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
        QProcess *stopped = startOwner(
            { { QStringLiteral("UTF8_STRING"), "never read" } }, { QStringLiteral("--stop") });
        QVERIFY(stopped);
        ticker.start();
        // The reader gives up on the stopped owner; nothing is recorded.
        QTRY_VERIFY_WITH_TIMEOUT(rig.pasteboard.contentsAbandoned(), 15000);
        QVERIFY(ticks > 1);
        QVERIFY(rig.clips().isEmpty());

        // Stopped again, and this time a newer copy ends the wait at once.
        QVERIFY(startOwner({ { QStringLiteral("UTF8_STRING"), "never read either" } },
            { QStringLiteral("--stop") }));
        QVERIFY(wlCopy("after the stopped ones"));
        QTRY_COMPARE_WITH_TIMEOUT(
            rig.texts(), QStringList { QStringLiteral("after the stopped ones") }, 5000);
        ::kill(pid_t(stopped->processId()), SIGKILL);
    }
};

QTEST_MAIN(tst_CaptureWayland)
#include "tst_CaptureWayland.moc"
