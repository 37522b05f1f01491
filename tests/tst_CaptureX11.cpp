// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaptureRig.h"
#include "ClipboardTools.h"
#include "QuitThenCopySequence.h"
#include "TestImages.h"
#include "platform/x11/X11Pasteboard.h"

#include <QDir>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

// The whole road of a copy on a real X server: another program copies, the
// monitor records it into the store; choosing a clip puts it back.
class tst_CaptureX11 : public QObject
{
    Q_OBJECT

    using Rig = CaptureRig<X11Pasteboard>;

    ClipboardTools m_tools;

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), u"xcb"_s); }
    void cleanup() { m_tools.killAll(); }

    // Each copy is made as soon as the one before it has been read, while
    // that one may still be on its way to the store: each counts once, and
    // all are recorded in the order they came.
    void copiesAreRecordedInOrder()
    {
        Rig rig;
        const qint64 before = rig.pasteboard.changeCount();
        QSignalSpy changed(&rig.pasteboard, &Pasteboard::changed);
        const QStringList copies = { u"Grüße ✓"_s, u"two"_s, u"three"_s, u"four"_s, u"five"_s };
        QStringList newestFirst;
        for (const QString &copy : copies) {
            QVERIFY(ClipboardTools::copyWithXclip(copy.toUtf8()));
            QTRY_COMPARE_WITH_TIMEOUT(
                rig.pasteboard.stringForType(PasteboardType::plainText), std::optional(copy), 5000);
            newestFirst.prepend(copy);
        }
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts(), newestFirst, 10000);
        QCOMPARE(changed.size(), copies.size());
        QCOMPARE(rig.pasteboard.changeCount(), before + copies.size());
    }

    // Large copies arrive in pieces (INCR); each one is read whole.
    void largeCopiesOneAfterAnother()
    {
        Rig rig;
        for (int i = 0; i < 3; ++i) {
            const QByteArray big = QByteArray(4 << 20, char('a' + i)) + QByteArray::number(i);
            QVERIFY(m_tools.startOwner({ { u"UTF8_STRING"_s, big } }));
            QTRY_COMPARE_WITH_TIMEOUT(rig.clips().size(), i + 1, 10000);
            QCOMPARE(rig.clips().first().byteSize, big.size());
        }
    }

    // The program that copied quits: its copy stays on the clipboard as our
    // own write, unless it was secret or the user turned that off.
    void ownerQuitting_data()
    {
        QTest::addColumn<QString>("marker"); // or a target of no meaning
        QTest::addColumn<bool>("keep");
        QTest::addColumn<QByteArray>("left");
        QTest::newRow("kept alive") << u"x-note"_s << true << QByteArray("copied then quit");
        QTest::newRow("secret") << PasteboardType::kdePasswordManagerHint << true << QByteArray();
        QTest::newRow("option off") << u"x-note"_s << false << QByteArray();
    }

    void ownerQuitting()
    {
        QFETCH(QString, marker);
        QFETCH(bool, keep);
        QFETCH(QByteArray, left);
        Rig rig;
        rig.f.settings->setKeepClipboardAlive(keep);
        QSignalSpy changed(&rig.pasteboard, &Pasteboard::changed);
        QProcess *owner = m_tools.startOwner(
            { { u"UTF8_STRING"_s, "copied then quit" }, { marker, "secret" } });
        QVERIFY(owner);
        QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 1, 5000);
        rig.monitor->finishPending();
        const QList<Clip> before = rig.clips();
        QCOMPARE(before.size(), marker == u"x-note"_s ? 1 : 0);

        owner->kill();
        QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 2, 5000);
        rig.monitor->finishPending();
        QCOMPARE(ClipboardTools::readWithXclip(u"UTF8_STRING"_s), left);
        QCOMPARE(rig.clips(), before);
    }

    // An image whose program quits while the image is still being prepared
    // is offered again only while the clipboard is still empty: a text
    // copied right after it is never pushed aside or dropped.
    void imageOwnerQuitsThenTextIsCopied()
    {
        Rig rig;
        QuitThenCopySequence sequence;
        sequence.startOwner = [this](const auto &offers) { return m_tools.startOwner(offers); };
        sequence.textType = u"UTF8_STRING"_s;
        sequence.copy = &ClipboardTools::copyWithXclip;
        sequence.run(rig.pasteboard, *rig.monitor, *rig.f.store, 50);
    }

    // A paste through us gives what the source gave: its HTML and RTF as
    // they came, and no RTF of ours beside HTML-only contents.
    void choosingAClipPutsItBackWithoutRecordingIt_data()
    {
        QTest::addColumn<ClipboardTools::Offers>("offers");
        QTest::addColumn<QByteArray>("rtf");
        const QByteArray html("<table border=\"1\"><tr><td><b>older</b></td></tr></table>");
        QTest::newRow("HTML only, as a browser offers it") << ClipboardTools::Offers {
            { u"UTF8_STRING"_s, "older" }, { PasteboardType::html, html }
        } << QByteArray();
        const QByteArray rtf("{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Arial;}\\f0\\b older\\b0\\par}");
        QTest::newRow("RTF and HTML, as a word processor offers them")
            << ClipboardTools::Offers { { u"UTF8_STRING"_s, "older" },
                   { PasteboardType::html, html }, { PasteboardType::rtf, rtf } }
            << rtf;
    }

    void choosingAClipPutsItBackWithoutRecordingIt()
    {
        QFETCH(ClipboardTools::Offers, offers);
        QFETCH(QByteArray, rtf);
        Rig rig;
        QVERIFY(m_tools.startOwner(offers));
        QTRY_COMPARE_WITH_TIMEOUT(rig.clips().size(), 1, 5000);
        QVERIFY(ClipboardTools::copyWithXclip("newer"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.clips().size(), 2, 5000);
        const QList<Clip> before = rig.clips();

        rig.monitor->write(before.last(), std::nullopt);
        QCOMPARE(ClipboardTools::readWithXclip(u"UTF8_STRING"_s), QByteArray("older"));
        QCOMPARE(ClipboardTools::readWithXclip(PasteboardType::html), offers.value(1).second);
        QCOMPARE(ClipboardTools::readWithXclip(u"TARGETS"_s).split('\n').contains("text/rtf"),
            !rtf.isEmpty());
        QCOMPARE(ClipboardTools::readWithXclip(PasteboardType::rtf), rtf);
        // Our write was not recorded: a copy made after it is the only new clip.
        QVERIFY(ClipboardTools::copyWithXclip("sentinel"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts().value(0), u"sentinel"_s, 5000);
        QCOMPARE(rig.clips().mid(1), before);
    }

    // Owners that are slow, odd or misbehave: what they offer well is
    // recorded and nothing they offer badly, the UI thread goes on while
    // they are read, and the next normal copy is recorded after it. An empty
    // text means nothing may be recorded; "holds" means the owner keeps the
    // read waiting for seconds.
    void owners_data()
    {
        QTest::addColumn<ClipboardTools::Offers>("offers");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("holds");
        const auto utf8 = [](const QByteArray &bytes) {
            return ClipboardTools::Offers { { u"UTF8_STRING"_s, bytes } };
        };
        const QString late = u"answered late"_s;
        const ClipboardTools::Offers lateOffer = utf8(late.toUtf8());
        QTest::newRow("answers each request after 2 s")
            << lateOffer << QStringList { u"--delay"_s, u"2000"_s } << late << true;
        QTest::newRow("first TARGETS request left unanswered")
            << lateOffer << QStringList { u"--ignore-first"_s, u"TARGETS"_s } << late << true;
        // An owner that left TARGETS lying may do the same with its data.
        QTest::newRow("first TARGETS and first text request left unanswered")
            << lateOffer
            << QStringList { u"--ignore-first"_s, u"TARGETS"_s, u"--ignore-first"_s,
                   u"UTF8_STRING"_s }
            << late << true;
        QTest::newRow("TARGETS refused")
            << lateOffer << QStringList { u"--targets"_s, u"refuse"_s } << late << false;
        QTest::newRow("TARGETS not a list of atoms, Latin-1 text")
            << ClipboardTools::Offers { { u"STRING"_s, "caf\xe9" } }
            << QStringList { u"--targets"_s, u"bytes"_s } << u"caf\u00e9"_s << false;
        QTest::newRow("never answers")
            << utf8("never sent") << QStringList { u"--ignore"_s, u"TARGETS"_s } << QString()
            << true;
        QTest::newRow("answers TARGETS, then stalls")
            << utf8("never sent") << QStringList { u"--ignore"_s, u"UTF8_STRING"_s } << QString()
            << true;
        QTest::newRow("announces a huge transfer and trickles")
            << utf8(QByteArray(64 << 10, 't'))
            << QStringList { u"--incr-above"_s, u"1000"_s, u"--announce"_s, u"4000000000"_s,
                   u"--chunk"_s, u"16"_s, u"--trickle"_s, u"100"_s }
            << QString() << false;
        QTest::newRow("trickles slower than a transfer may take")
            << utf8(QByteArray(2 << 20, 's'))
            << QStringList { u"--incr-above"_s, u"1000"_s, u"--chunk"_s, u"4096"_s, u"--trickle"_s,
                   u"20"_s }
            << QString() << true;
        QTest::newRow("hundreds of targets")
            << utf8("among many") << QStringList { u"--extra-targets"_s, u"400"_s }
            << u"among many"_s << false;
        QTest::newRow("invalid UTF-8 and a PNG that is not one")
            << ClipboardTools::Offers { { u"UTF8_STRING"_s, "ok \xff\xfe\xc3 end" },
                   { u"image/png"_s, "\x89PNG\r\n\x1a\n and then garbage" } }
            << QStringList {} << u"ok \ufffd\ufffd\ufffd end"_s << false;
    }

    void owners()
    {
        QFETCH(ClipboardTools::Offers, offers);
        QFETCH(QStringList, options);
        QFETCH(QString, text);
        QFETCH(bool, holds);
        Rig rig;
        QSignalSpy read(&rig.pasteboard, &Pasteboard::changed);
        int ticks = 0;
        QTimer ticker;
        ticker.setInterval(10);
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start();

        QVERIFY(m_tools.startOwner(offers, options));
        ticks = 0;
        // The read ends, one way or the other, while the UI thread keeps turning.
        QVERIFY(read.wait(20000));
        QVERIFY(!holds || ticks > 1);
        QCOMPARE(rig.pasteboard.contentsAbandoned(), text.isEmpty());

        // Recorded before the next copy, if at all.
        QVERIFY(ClipboardTools::copyWithXclip("after"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts().value(0), u"after"_s, 10000);
        QCOMPARE(rig.texts().mid(1), text.isEmpty() ? QStringList() : QStringList { text });
        QVERIFY(!rig.clips().last().imageFilename);
    }

    // An owner that takes the selection again hundreds of times a second:
    // what is recorded is in the order it was offered, ends with the last
    // offer, and the next normal copy goes on top.
    void ownerChurningTheSelection()
    {
        Rig rig;
        QVERIFY(m_tools.startOwner({ { u"UTF8_STRING"_s, "churn" } }, { u"--churn"_s, u"300"_s }));
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts().value(0), u"churn 300"_s, 20000);
        int previous = 301;
        for (const QString &recorded : rig.texts()) {
            // The first offer, before any churn, counts as number 0.
            QVERIFY2(recorded.startsWith(QLatin1String("churn")), qPrintable(recorded));
            const int number = recorded.mid(6).toInt();
            QVERIFY2(number < previous, qPrintable(rig.texts().join(QLatin1Char(','))));
            previous = number;
        }
        QVERIFY(ClipboardTools::copyWithXclip("after"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts().value(0), u"after"_s, 10000);
    }

    // The per-clip limit applies to what is stored: a bitmap whose PNG fits,
    // or UTF-16 HTML whose UTF-8 form fits, is recorded although the bytes
    // offered are more; one byte less and it is not.
    void limitAppliesToWhatIsStored_data()
    {
        QTest::addColumn<ClipboardTools::Offers>("offers");
        QTest::newRow("bitmap only") << ClipboardTools::Offers { { u"image/bmp"_s,
            encodedImage("BMP", QSize(900, 700), QColor(40, 90, 160)) } };
        const QString html = QStringLiteral(
            "<div style=\"margin: 0px; padding: 0px; border: 0px\"><i>\u00e9</i></div>")
                                 .repeated(400);
        QByteArray utf16("\xff\xfe");
        utf16 += QByteArray(reinterpret_cast<const char *>(html.utf16()), html.size() * 2);
        QTest::newRow("UTF-16 HTML") << ClipboardTools::Offers { { u"text/html"_s, utf16 } };
    }

    void limitAppliesToWhatIsStored()
    {
        QFETCH(ClipboardTools::Offers, offers);
        const qint64 offered = offers.first().second.size(); // one offer each
        qint64 stored = 0;
        {
            Rig rig;
            QVERIFY(m_tools.startOwner(offers));
            QTRY_COMPARE_WITH_TIMEOUT(rig.clips().size(), 1, 10000);
            stored = rig.clips().first().byteSize;
            QVERIFY(stored < offered);
        }
        for (const qint64 limit : { stored, stored - 1 }) {
            Rig rig;
            rig.f.settings->setMaxClipBytes(limit);
            QVERIFY(m_tools.startOwner(offers));
            // The copy after it is recorded after it, if at all.
            QSignalSpy changed(&rig.pasteboard, &Pasteboard::changed);
            QVERIFY(changed.wait(10000));
            QVERIFY(ClipboardTools::copyWithXclip("after"));
            QTRY_COMPARE_WITH_TIMEOUT(rig.texts().value(0), u"after"_s, 10000);
            QCOMPARE(rig.clips().size(), limit == stored ? 2 : 1);
            // No image file is left behind by what was not recorded.
            QCOMPARE(QDir(rig.f.store->mediaPath()).isEmpty(),
                limit < stored || !offers.first().first.startsWith(u"image/"_s));
        }
    }
};

QTEST_MAIN(tst_CaptureX11)
#include "tst_CaptureX11.moc"
