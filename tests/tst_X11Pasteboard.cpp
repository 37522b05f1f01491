// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClipboardTools.h"
#include "pasteboard/ClipboardReading.h"
#include "platform/x11/X11Pasteboard.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <memory>
#include <vector>

using Offers = ClipboardTools::Offers;

namespace {

const QString textPlain = PasteboardType::plainText;

QByteArray pngBytes()
{
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(QColor(10, 200, 30, 128));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray randomBytes(qsizetype words)
{
    QList<quint32> random(words);
    QRandomGenerator::global()->fillRange(random.data(), random.size());
    return QByteArray(reinterpret_cast<const char *>(random.constData()),
        random.size() * qsizetype(sizeof(quint32)));
}

void sortByType(QList<std::pair<QString, QByteArray>> &data)
{
    std::sort(
        data.begin(), data.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
}

} // namespace

class tst_X11Pasteboard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void copiesArriveInOrder();
    void offeredTargets_data();
    void offeredTargets();
    void sizeCap_data();
    void sizeCap();
    void ownWrites_data();
    void ownWrites();
    void stoppedOwner_data();
    void stoppedOwner();
    void initialContentsLeaveCountAlone();
    void destroyedWhileWaitingOnOwner();

private:
    // Starts the owner helper and returns once it owns the clipboard.
    QProcess *startOwner(const Offers &offers, const QStringList &options = {})
    {
        return m_tools->startOwner(offers, options);
    }
    static bool copyWithXclip(const QByteArray &bytes)
    {
        return ClipboardTools::copyWithXclip(bytes);
    }
    static QByteArray readWithXclip(const QString &target)
    {
        return ClipboardTools::readWithXclip(target);
    }

    std::unique_ptr<ClipboardTools> m_tools = std::make_unique<ClipboardTools>();
};

void tst_X11Pasteboard::initTestCase()
{
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty(),
        "xclip is needed (scripts/packages.txt)");
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
}

void tst_X11Pasteboard::cleanup()
{
    // Leave a live owner behind, so that no test sees the previous one's
    // owner leave; the old owners lose the selection before they are killed.
    auto previous = std::move(m_tools);
    m_tools = std::make_unique<ClipboardTools>();
    startOwner({ { QStringLiteral("UTF8_STRING"), "idle" } });
    previous.reset();
}

void tst_X11Pasteboard::copiesArriveInOrder()
{
    X11Pasteboard pasteboard;
    QVERIFY2(pasteboard.isReading(), qPrintable(pasteboard.errorString()));
    const qint64 before = pasteboard.changeCount();
    QStringList seen;
    connect(&pasteboard, &Pasteboard::changed, this, [&] {
        if (pasteboard.types().contains(textPlain) && !pasteboard.contentsAbandoned())
            seen << pasteboard.stringForType(textPlain).value_or(QString());
    });
    const QStringList copies = { QStringLiteral("Grüße ✓"), QStringLiteral("two"),
        QStringLiteral("three"), QStringLiteral("four"), QStringLiteral("five") };
    // One copy each 0.1 s, each read before the next one replaces it.
    int next = 0;
    QTimer pacer;
    pacer.setInterval(100);
    connect(&pacer, &QTimer::timeout, this, [&] {
        if (next < copies.size())
            copyWithXclip(copies.at(next++).toUtf8());
    });
    pacer.start();
    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), copies.size(), 10000);
    QCOMPARE(seen, copies);
    QCOMPARE(pasteboard.changeCount(), before + copies.size());
}

void tst_X11Pasteboard::offeredTargets_data()
{
    QTest::addColumn<Offers>("offers");
    QTest::addColumn<Offers>("expectedData");
    QTest::addColumn<QStringList>("expectedTypes");

    const QString utf8 = QStringLiteral("UTF8_STRING");
    const QString html = PasteboardType::html;
    const QString rtf = PasteboardType::rtf;
    const QString uriList = PasteboardType::uriList;
    const QString png = PasteboardType::png;
    const QByteArray umlaut = QStringLiteral("Käse").toUtf8();
    const QByteArray rtfBytes = "{\\rtf1\\ansi {\\b bold} text}";
    const QByteArray htmlBytes = "<b>bold</b> text";
    const QByteArray image = pngBytes();

    QTest::newRow("UTF8_STRING") << Offers { { utf8, umlaut } } << Offers { { textPlain, umlaut } }
                                 << QStringList { textPlain, utf8 };
    QTest::newRow("text/plain;charset=utf-8")
        << Offers { { QStringLiteral("text/plain;charset=utf-8"), umlaut } }
        << Offers { { textPlain, umlaut } } << QStringList { textPlain };
    QTest::newRow("STRING is Latin-1")
        << Offers { { QStringLiteral("STRING"), "K\xe4se" } } << Offers { { textPlain, umlaut } }
        << QStringList { textPlain, QStringLiteral("STRING") };
    QTest::newRow("UTF8_STRING before STRING")
        << Offers { { QStringLiteral("STRING"), "latin" }, { utf8, "utf8" } }
        << Offers { { textPlain, "utf8" } } << QStringList { textPlain };

    for (const QString &marker : { PasteboardType::concealed, PasteboardType::transient,
             PasteboardType::autoGenerated, PasteboardType::kdePasswordManagerHint }) {
        QTest::addRow("marker %s", qPrintable(marker))
            << Offers { { utf8, "secret" }, { html, "<b>secret</b>" }, { marker, "" } } << Offers {}
            << QStringList { textPlain, html, marker };
    }

    const QByteArray files = "file:///tmp/a%20b.txt\r\nfile:///tmp/c.txt\r\n";
    QTest::newRow("uri-list wins over text")
        << Offers { { utf8, "/tmp/a b.txt" }, { uriList, files } } << Offers { { uriList, files } }
        << QStringList { textPlain, uriList };
    // Text of every kind loses the NULs some programs end it with (file
    // managers their lists, office programs their HTML); images keep theirs.
    QTest::newRow("gnome-copied-files ending in a NUL becomes a uri-list")
        << Offers { { PasteboardType::gnomeCopiedFiles,
               QByteArrayLiteral("copy\nfile:///tmp/a%20b.txt\nfile:///tmp/c.txt\0") } }
        << Offers { { uriList, files } }
        << QStringList { uriList, PasteboardType::gnomeCopiedFiles };
    QTest::newRow("uri-list without files falls back to text")
        << Offers { { uriList, "https://example.org/\r\n" }, { utf8, "https://example.org/" } }
        << Offers { { textPlain, "https://example.org/" } } << QStringList { textPlain, uriList };

    QTest::newRow("text, RTF and HTML together, ending in NULs")
        << Offers { { html, htmlBytes + '\0' }, { rtf, rtfBytes + QByteArray(2, '\0') },
               { utf8, QByteArrayLiteral("bold text\0") } }
        << Offers { { textPlain, "bold text" }, { rtf, rtfBytes }, { html, htmlBytes } }
        << QStringList { textPlain, rtf, html };
    QTest::newRow("UTF-16 HTML loses whole NUL characters")
        << Offers { { html, QByteArrayLiteral("\xff\xfe<\0b\0>\0\0\0\0\0") } }
        << Offers { { html, QByteArrayLiteral("\xff\xfe<\0b\0>\0") } } << QStringList { html };
    QTest::newRow("text/richtext is RTF")
        << Offers { { QStringLiteral("text/richtext"), rtfBytes } } << Offers { { rtf, rtfBytes } }
        << QStringList { rtf, QStringLiteral("text/richtext") };
    QTest::newRow("application/rtf is RTF")
        << Offers { { QStringLiteral("application/rtf"), rtfBytes }, { utf8, "bold text" } }
        << Offers { { textPlain, "bold text" }, { rtf, rtfBytes } }
        << QStringList { textPlain, rtf };

    QTest::newRow("PNG unchanged")
        << Offers { { png, image } } << Offers { { png, image } } << QStringList { png };
    QTest::newRow("text wins over image")
        << Offers { { png, image }, { utf8, "caption" } } << Offers { { textPlain, "caption" } }
        << QStringList { textPlain, png };
    QTest::newRow("blank text lets the image through")
        << Offers { { png, image }, { utf8, " \n " } }
        << Offers { { textPlain, " \n " }, { png, image } } << QStringList { textPlain, png };
    QTest::newRow("PNG before TIFF")
        << Offers { { PasteboardType::tiff, "tiff" }, { png, image } } << Offers { { png, image } }
        << QStringList { png, PasteboardType::tiff };
    QTest::newRow("TIFF alone")
        << Offers { { PasteboardType::tiff, QByteArrayLiteral("II*\0tiff\0") } }
        << Offers { { PasteboardType::tiff, QByteArrayLiteral("II*\0tiff\0") } }
        << QStringList { PasteboardType::tiff };
}

void tst_X11Pasteboard::offeredTargets()
{
    QFETCH(Offers, offers);
    QFETCH(Offers, expectedData);
    QFETCH(QStringList, expectedTypes);

    X11Pasteboard pasteboard;
    QVERIFY(pasteboard.isReading());
    QSignalSpy changed(&pasteboard, &Pasteboard::changed);
    QVERIFY(startOwner(offers));
    QVERIFY(changed.wait(5000));

    for (const QString &type : std::as_const(expectedTypes))
        QVERIFY2(pasteboard.types().contains(type), qPrintable(type));
    QVERIFY(!pasteboard.types().contains(QStringLiteral("TARGETS")));
    QVERIFY(!pasteboard.contentsAbandoned());
    Offers data;
    for (const QString &type : pasteboard.types()) {
        if (const auto bytes = pasteboard.dataForType(type))
            data.append({ type, *bytes });
    }
    sortByType(data);
    sortByType(expectedData);
    QCOMPARE(data, expectedData);
}

void tst_X11Pasteboard::sizeCap_data()
{
    QTest::addColumn<qint64>("cap");
    QTest::addColumn<Offers>("offers");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("abandoned");

    const QString utf8 = QStringLiteral("UTF8_STRING");
    const QStringList incr = { QStringLiteral("--incr-above"), QStringLiteral("65536") };
    QTest::newRow("at the cap") << qint64(1000) << Offers { { utf8, QByteArray(1000, 'a') } }
                                << QStringList {} << false;
    QTest::newRow("one byte over")
        << qint64(1000) << Offers { { utf8, QByteArray(1001, 'a') } } << QStringList {} << true;
    QTest::newRow("text and HTML together over")
        << qint64(1000)
        << Offers { { utf8, QByteArray(600, 'a') }, { PasteboardType::html, QByteArray(600, 'b') } }
        << QStringList {} << true;
    QTest::newRow("INCR whole") << qint64(8 << 20) << Offers { { utf8, randomBytes(768 << 10) } }
                                << incr << false;
    QTest::newRow("INCR announced over")
        << qint64(100000) << Offers { { utf8, QByteArray(300000, 'c') } } << incr << true;
    QTest::newRow("INCR announced too small")
        << qint64(100000) << Offers { { utf8, QByteArray(300000, 'c') } }
        << (incr + QStringList { QStringLiteral("--announce"), QStringLiteral("1000") }) << true;
}

void tst_X11Pasteboard::sizeCap()
{
    QFETCH(qint64, cap);
    QFETCH(Offers, offers);
    QFETCH(QStringList, options);
    QFETCH(bool, abandoned);

    X11Pasteboard pasteboard;
    QVERIFY(pasteboard.isReading());
    pasteboard.setMaxReadBytes(cap);
    QSignalSpy changed(&pasteboard, &Pasteboard::changed);
    QVERIFY(startOwner(offers, options));
    QVERIFY(changed.wait(10000));

    QCOMPARE(pasteboard.contentsAbandoned(), abandoned);
    QVERIFY(pasteboard.types().contains(textPlain));
    for (const auto &[target, bytes] : std::as_const(offers)) {
        const QString type = target == QLatin1String("UTF8_STRING") ? textPlain : target;
        if (abandoned)
            QCOMPARE(pasteboard.dataForType(type), std::nullopt);
        else
            QVERIFY(pasteboard.dataForType(type) == bytes);
    }
}

void tst_X11Pasteboard::ownWrites_data()
{
    QTest::addColumn<Offers>("written");
    // Targets another program asks for, and what it must get.
    QTest::addColumn<Offers>("served");
    // What TARGETS must list besides Qt's protocol targets.
    QTest::addColumn<QStringList>("offered");

    const QByteArray text = QStringLiteral("written ✓").toUtf8();
    const QByteArray html = "<p>written <b>✓</b></p>";
    const QByteArray rtf = "{\\rtf1\\ansi written}";
    const QByteArray image = pngBytes();
    const QByteArray uris = "file:///tmp/one.txt\r\nfile:///tmp/two%20words.txt\r\n";

    const QStringList textTargets = { textPlain, QStringLiteral("UTF8_STRING"),
        QStringLiteral("STRING"), QStringLiteral("TEXT") };
    QTest::newRow("text") << Offers { { textPlain, text } }
                          << Offers { { QStringLiteral("UTF8_STRING"), text }, { textPlain, text } }
                          << textTargets;
    QTest::newRow("rich text") << Offers { { PasteboardType::html, html },
        { PasteboardType::rtf, rtf }, { textPlain, text } }
                               << Offers { { PasteboardType::html, html },
                                      { PasteboardType::rtf, rtf },
                                      { QStringLiteral("UTF8_STRING"), text } }
                               << (QStringList { PasteboardType::html, PasteboardType::rtf }
                                      + textTargets);
    QTest::newRow("image") << Offers { { PasteboardType::png, image } }
                           << Offers { { PasteboardType::png, image } }
                           << QStringList { PasteboardType::png };
    QTest::newRow("files")
        << Offers { { textPlain, "/tmp/one.txt\n/tmp/two words.txt" },
               { PasteboardType::uriList, uris } }
        << Offers { { PasteboardType::uriList, uris },
               { PasteboardType::gnomeCopiedFiles,
                   "copy\nfile:///tmp/one.txt\nfile:///tmp/two%20words.txt" },
               { QStringLiteral("UTF8_STRING"), "/tmp/one.txt\n/tmp/two words.txt" } }
        << (QStringList { PasteboardType::uriList, PasteboardType::gnomeCopiedFiles }
               + textTargets);
    QTest::newRow("nothing") << Offers {} << Offers {} << QStringList {};
}

void tst_X11Pasteboard::ownWrites()
{
    QFETCH(Offers, written);
    QFETCH(Offers, served);
    QFETCH(QStringList, offered);

    X11Pasteboard pasteboard;
    QVERIFY(pasteboard.isReading());
    QSignalSpy changed(&pasteboard, &Pasteboard::changed);
    const qint64 before = pasteboard.changeCount();
    PasteboardContents contents;
    for (const auto &[type, bytes] : std::as_const(written))
        contents.setData(type, bytes);

    pasteboard.setContents(contents);
    QCOMPARE(pasteboard.changeCount(), before + 1);
    QCOMPARE(pasteboard.types(), contents.types);
    for (const auto &[type, bytes] : std::as_const(written))
        QCOMPARE(pasteboard.dataForType(type), std::optional<QByteArray>(bytes));

    QStringList targets = QString::fromUtf8(readWithXclip(QStringLiteral("TARGETS")))
                              .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    targets.removeIf([](const QString &target) {
        return target == QLatin1String("TARGETS") || target == QLatin1String("MULTIPLE")
            || target == QLatin1String("TIMESTAMP") || target == QLatin1String("SAVE_TARGETS")
            || target == QLatin1String("text/x-moz-url");
    });
    targets.sort();
    offered.sort();
    QCOMPARE(targets, offered);
    for (const auto &[target, bytes] : std::as_const(served))
        QCOMPARE(readWithXclip(target), bytes);

    // Events arrive in order: had the echo of our write been read, its
    // snapshot would come before this copy's.
    QVERIFY(copyWithXclip("someone else"));
    QVERIFY(changed.wait(5000));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(pasteboard.changeCount(), before + 2);
    QCOMPARE(pasteboard.dataForType(textPlain), std::optional<QByteArray>("someone else"));
}

void tst_X11Pasteboard::stoppedOwner_data()
{
    QTest::addColumn<QString>("then");
    QTest::newRow("killed") << QStringLiteral("kill");
    QTest::newRow("continued") << QStringLiteral("continue");
    QTest::newRow("replaced while stopped") << QStringLiteral("replace");
}

void tst_X11Pasteboard::stoppedOwner()
{
    QFETCH(QString, then);

    X11Pasteboard pasteboard;
    QVERIFY(pasteboard.isReading());
    QSignalSpy changed(&pasteboard, &Pasteboard::changed);
    const qint64 before = pasteboard.changeCount();

    // The UI thread goes on while the reader waits: its timer keeps firing.
    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(10);
    connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
    ticker.start();

    QProcess *stopped = startOwner(
        { { QStringLiteral("UTF8_STRING"), "never read" } }, { QStringLiteral("--stop") });
    QVERIFY(stopped);
    ticks = 0;

    if (then == QLatin1String("replace")) {
        // The new owner ends the wait on the stopped one.
        QVERIFY(copyWithXclip("fresh"));
        QTRY_COMPARE_WITH_TIMEOUT(
            pasteboard.dataForType(textPlain), std::optional<QByteArray>("fresh"), 5000);
        return;
    }

    // Only the reader waits for the stopped owner, and gives up on it.
    QVERIFY(changed.wait(15000));
    QVERIFY(ticks > 1);
    ticker.stop();
    QVERIFY(pasteboard.contentsAbandoned());
    QCOMPARE(pasteboard.changeCount(), before + 1);
    QVERIFY(!pasteboard.dataForType(textPlain));

    if (then == QLatin1String("kill")) {
        ::kill(pid_t(stopped->processId()), SIGKILL);
        // The owner is gone: empty contents, one more change.
        QTRY_COMPARE_WITH_TIMEOUT(pasteboard.changeCount(), before + 2, 5000);
        QVERIFY(pasteboard.types().isEmpty());
        QVERIFY(!pasteboard.contentsAbandoned());
    } else {
        ::kill(pid_t(stopped->processId()), SIGCONT);
    }
    QVERIFY(copyWithXclip("after"));
    QTRY_COMPARE_WITH_TIMEOUT(
        pasteboard.dataForType(textPlain), std::optional<QByteArray>("after"), 5000);
}

void tst_X11Pasteboard::initialContentsLeaveCountAlone()
{
    QVERIFY(startOwner({ { QStringLiteral("UTF8_STRING"), "was here first" } }));
    X11Pasteboard pasteboard;
    QVERIFY(pasteboard.isReading());
    QSignalSpy changed(&pasteboard, &Pasteboard::changed);
    const qint64 before = pasteboard.changeCount();

    QTRY_COMPARE_WITH_TIMEOUT(
        pasteboard.dataForType(textPlain), std::optional<QByteArray>("was here first"), 5000);
    QCOMPARE(pasteboard.changeCount(), before);
    QCOMPARE(changed.size(), 0);
}

void tst_X11Pasteboard::destroyedWhileWaitingOnOwner()
{
    auto pasteboard = std::make_unique<X11Pasteboard>();
    QVERIFY(pasteboard->isReading());
    QProcess *silent = startOwner(
        { { QStringLiteral("UTF8_STRING"), "never sent" } }, { QStringLiteral("--silent") });
    QVERIFY(silent);
    // The reader's TARGETS request has reached the owner, which never answers.
    QTRY_VERIFY_WITH_TIMEOUT(silent->canReadLine() || silent->waitForReadyRead(10), 5000);
    QCOMPARE(silent->readLine().trimmed(), QByteArray("request"));

    QElapsedTimer destroying;
    destroying.start();
    pasteboard.reset();
    // Without waiting out the owner's deadline.
    QVERIFY2(destroying.elapsed() < ClipboardReading::requestDeadline.count(),
        qPrintable(QString::number(destroying.elapsed())));
}

QTEST_MAIN(tst_X11Pasteboard)
#include "tst_X11Pasteboard.moc"
