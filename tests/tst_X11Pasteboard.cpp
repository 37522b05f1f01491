// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClipboardTools.h"
#include "TestImages.h"
#include "pasteboard/ClipboardReading.h"
#include "platform/x11/X11Pasteboard.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

using Offers = ClipboardTools::Offers;
// What the clipboard holds, by type.
using Data = QMap<QString, QByteArray>;

namespace {

// What an owner offers and what is read of it, with the reader's cap (0:
// its own) and the owner's options.
struct Read
{
    Offers offers;
    Data data = {};
    qint64 cap = 0;
    QStringList options = {};
    bool abandoned = false;
};

} // namespace

Q_DECLARE_METATYPE(Read)

namespace {

const QString textPlain = PasteboardType::plainText;

QByteArray randomBytes(qsizetype words)
{
    QList<quint32> random(words);
    QRandomGenerator::global()->fillRange(random.data(), random.size());
    return QByteArray(reinterpret_cast<const char *>(random.constData()),
        random.size() * qsizetype(sizeof(quint32)));
}

} // namespace

class tst_X11Pasteboard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void offeredTargets_data();
    void offeredTargets();
    void ownWrites_data();
    void ownWrites();
    void readOvertakenByOwnWrite();
    void initialContentsAndStoppedOwner();
    void destroyedWhileWaitingOnOwner();

private:
    std::unique_ptr<ClipboardTools> m_tools = std::make_unique<ClipboardTools>();
};

void tst_X11Pasteboard::initTestCase()
{
    QVERIFY2(!QStandardPaths::findExecutable(u"xclip"_s).isEmpty(),
        "xclip is needed (scripts/packages.txt)");
    QCOMPARE(QGuiApplication::platformName(), u"xcb"_s);
}

void tst_X11Pasteboard::cleanup()
{
    // Leave a live owner behind, so that no test sees the previous one's
    // owner leave; the old owners lose the selection before they are killed.
    auto previous = std::move(m_tools);
    m_tools = std::make_unique<ClipboardTools>();
    m_tools->startOwner({ { u"UTF8_STRING"_s, "idle" } });
    previous.reset();
}

void tst_X11Pasteboard::offeredTargets_data()
{
    QTest::addColumn<Read>("read");

    const QString utf8 = u"UTF8_STRING"_s;
    const QString html = PasteboardType::html;
    const QString rtf = PasteboardType::rtf;
    const QString uriList = PasteboardType::uriList;
    const QString png = PasteboardType::png;
    const QByteArray umlaut = u"Käse"_s.toUtf8();
    const QByteArray rtfBytes = "{\\rtf1\\ansi {\\b bold} text}";
    const QByteArray htmlBytes = "<b>bold</b> text";
    const QByteArray image = encodedImage();

    QTest::newRow("UTF8_STRING") << Read { { { utf8, umlaut } }, { { textPlain, umlaut } } };
    QTest::newRow("text/plain;charset=utf-8")
        << Read { { { u"text/plain;charset=utf-8"_s, umlaut } }, { { textPlain, umlaut } } };
    QTest::newRow("STRING is Latin-1")
        << Read { { { u"STRING"_s, "K\xe4se" } }, { { textPlain, umlaut } } };
    QTest::newRow("UTF8_STRING before STRING")
        << Read { { { u"STRING"_s, "latin" }, { utf8, "utf8" } }, { { textPlain, "utf8" } } };

    // Every marker is checked against the monitor; each skips the reading.
    const QString marker = PasteboardType::kdePasswordManagerHint;
    QTest::newRow("marked") << Read {
        { { utf8, "secret" }, { html, "<b>secret</b>" }, { marker, "" } }, {}
    };

    const QByteArray files = "file:///tmp/a%20b.txt\r\nfile:///tmp/c.txt\r\n";
    const QByteArray gnomeFiles
        = QByteArrayLiteral("copy\nfile:///tmp/a%20b.txt\nfile:///tmp/c.txt\0");
    // Text of every kind loses the NULs some programs end it with (file
    // managers their lists, office programs their HTML); images keep theirs.
    QTest::newRow("gnome-copied-files ending in a NUL becomes a uri-list")
        << Read { { { PasteboardType::gnomeCopiedFiles, gnomeFiles } }, { { uriList, files } } };
    QTest::newRow("files as PCManFM offers them win over text") << Read {
        { { utf8, "/tmp/a b.txt" },
            { uriList, QByteArrayLiteral("file:///tmp/a%20b.txt\r\nfile:///tmp/c.txt\0") },
            { PasteboardType::gnomeCopiedFiles, gnomeFiles } },
        { { uriList, files.chopped(2) } }
    };
    QTest::newRow("uri-list without files falls back to text")
        << Read { { { uriList, "https://example.org/\r\n" }, { utf8, "https://example.org/" } },
               { { textPlain, "https://example.org/" } } };

    QTest::newRow("text, RTF and HTML together, ending in NULs")
        << Read { { { html, htmlBytes + '\0' }, { rtf, rtfBytes + QByteArray(2, '\0') },
                      { utf8, QByteArrayLiteral("bold text\0") } },
               { { textPlain, "bold text" }, { rtf, rtfBytes }, { html, htmlBytes } } };
    QTest::newRow("UTF-16 HTML loses whole NUL characters")
        << Read { { { html, QByteArrayLiteral("\xff\xfe<\0b\0>\0\0\0\0\0") } },
               { { html, QByteArrayLiteral("\xff\xfe<\0b\0>\0") } } };
    QTest::newRow("text/richtext is RTF")
        << Read { { { u"text/richtext"_s, rtfBytes } }, { { rtf, rtfBytes } } };
    QTest::newRow("application/rtf is RTF")
        << Read { { { u"application/rtf"_s, rtfBytes }, { utf8, "bold text" } },
               { { textPlain, "bold text" }, { rtf, rtfBytes } } };

    QTest::newRow("PNG unchanged") << Read { { { png, image } }, { { png, image } } };
    QTest::newRow("text wins over image")
        << Read { { { png, image }, { utf8, "caption" } }, { { textPlain, "caption" } } };
    QTest::newRow("blank text lets the image through")
        << Read { { { png, image }, { utf8, " \n " } }, { { textPlain, " \n " }, { png, image } } };
    QTest::newRow("PNG before TIFF")
        << Read { { { PasteboardType::tiff, "tiff" }, { png, image } }, { { png, image } } };
    QTest::newRow("TIFF alone") << Read {
        { { PasteboardType::tiff, QByteArrayLiteral("II*\0tiff\0") } },
        { { PasteboardType::tiff, QByteArrayLiteral("II*\0tiff\0") } }
    };
    // The reader's cap counts what it is handed, of all text kinds together.
    const QStringList incr = { u"--incr-above"_s, u"65536"_s };
    QTest::newRow("at the cap") << Read { { { utf8, QByteArray(1000, 'a') } },
        { { textPlain, QByteArray(1000, 'a') } }, 1000 };
    QTest::newRow("one byte over")
        << Read { { { utf8, QByteArray(1001, 'a') } }, {}, 1000, {}, true };
    QTest::newRow("text and HTML together over")
        << Read { { { utf8, QByteArray(600, 'a') }, { html, QByteArray(600, 'b') } }, {}, 1000, {},
               true };
    const QByteArray random = randomBytes(768 << 10);
    QTest::newRow("INCR whole") << Read { { { utf8, random } }, { { textPlain, random } }, 8 << 20,
        incr };
    QTest::newRow("INCR announced too small") << Read { { { utf8, QByteArray(300000, 'c') } }, {},
        100000, incr + QStringList { u"--announce"_s, u"1000"_s }, true };
}

void tst_X11Pasteboard::offeredTargets()
{
    QFETCH(Read, read);
    X11Pasteboard pasteboard;
    QVERIFY(pasteboard.isReading());
    if (read.cap > 0)
        pasteboard.setMaxReadBytes(read.cap);
    QSignalSpy changed(&pasteboard, &Pasteboard::changed);
    QVERIFY(m_tools->startOwner(read.offers, read.options));
    QVERIFY(changed.wait(10000));

    QCOMPARE(pasteboard.contentsAbandoned(), read.abandoned);
    Data data;
    for (const QString &type : pasteboard.types()) {
        if (const auto bytes = pasteboard.dataForType(type))
            data.insert(type, *bytes);
    }
    QCOMPARE(data, read.data);
}

void tst_X11Pasteboard::ownWrites_data()
{
    QTest::addColumn<Offers>("written");
    // Targets another program asks for, and what it must get.
    QTest::addColumn<Offers>("served");
    // What TARGETS must list besides Qt's protocol targets.
    QTest::addColumn<QStringList>("offered");

    const QByteArray text = u"written ✓"_s.toUtf8();
    const QByteArray html = "<p>written <b>✓</b></p>";
    const QByteArray rtf = "{\\rtf1\\ansi written}";
    const QByteArray image = encodedImage();
    const QByteArray uris = "file:///tmp/one.txt\r\nfile:///tmp/two%20words.txt\r\n";

    const QStringList textTargets = { textPlain, u"UTF8_STRING"_s, u"STRING"_s, u"TEXT"_s };
    QTest::newRow("text") << Offers { { textPlain, text } }
                          << Offers { { u"UTF8_STRING"_s, text }, { textPlain, text } }
                          << textTargets;
    QTest::newRow("rich text") << Offers { { PasteboardType::html, html },
        { PasteboardType::rtf, rtf }, { textPlain, text } }
                               << Offers { { PasteboardType::html, html },
                                      { PasteboardType::rtf, rtf }, { u"UTF8_STRING"_s, text } }
                               << (QStringList { PasteboardType::html, PasteboardType::rtf }
                                      + textTargets);
    QTest::newRow("image") << Offers { { PasteboardType::png, image } }
                           << Offers { { PasteboardType::png, image } }
                           << QStringList { PasteboardType::png };
    QTest::newRow("files") << Offers { { textPlain, "/tmp/one.txt\n/tmp/two words.txt" },
        { PasteboardType::uriList, uris } }
                           << Offers { { PasteboardType::uriList, uris },
                                  { PasteboardType::gnomeCopiedFiles,
                                      "copy\nfile:///tmp/one.txt\nfile:///tmp/two%20words.txt" },
                                  { u"UTF8_STRING"_s, "/tmp/one.txt\n/tmp/two words.txt" } }
                           << (QStringList {
                                   PasteboardType::uriList, PasteboardType::gnomeCopiedFiles }
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
    const qint64 before = pasteboard.changeCount();
    PasteboardContents contents;
    for (const auto &[type, bytes] : std::as_const(written))
        contents.setData(type, bytes);

    pasteboard.setContents(contents);
    QCOMPARE(pasteboard.changeCount(), before + 1);

    QStringList targets = QString::fromUtf8(ClipboardTools::readWithXclip(u"TARGETS"_s))
                              .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList protocol { u"TARGETS"_s, u"MULTIPLE"_s, u"TIMESTAMP"_s, u"SAVE_TARGETS"_s,
        u"text/x-moz-url"_s };
    targets.removeIf([&](const QString &target) { return protocol.contains(target); });
    QCOMPARE(QSet<QString>(targets.begin(), targets.end()),
        QSet<QString>(offered.begin(), offered.end()));
    for (const auto &[target, bytes] : std::as_const(served))
        QCOMPARE(ClipboardTools::readWithXclip(target), bytes);
    // That the echo of our write is not read as a copy is checked through
    // the monitor in the X11 capture test.
}

// A copy read just before our write but handed over after it is outdated:
// it neither replaces what we wrote nor counts as a change.
void tst_X11Pasteboard::readOvertakenByOwnWrite()
{
    X11Pasteboard pasteboard;
    QVERIFY(pasteboard.isReading());
    QStringList seen;
    connect(&pasteboard, &Pasteboard::changed, this,
        [&] { seen << pasteboard.stringForType(textPlain).value_or(QString()); });
    QProcess *owner = m_tools->startOwner({ { u"UTF8_STRING"_s, "older" } }, { u"--report"_s });
    QVERIFY(owner);
    // The event loop stands still: the reader has the copy, its hand-over waits.
    QVERIFY(HelperProcesses::waitForLine(*owner, "taken TARGETS"));
    QVERIFY(HelperProcesses::waitForLine(*owner, "taken UTF8_STRING"));
    PasteboardContents ours;
    ours.setData(textPlain, "ours");
    pasteboard.setContents(ours);
    QCOMPARE(ClipboardTools::readWithXclip(u"UTF8_STRING"_s), QByteArray("ours"));

    QVERIFY(ClipboardTools::copyWithXclip("sentinel"));
    QTRY_COMPARE_WITH_TIMEOUT(seen.value(seen.size() - 1), u"sentinel"_s, 5000);
    QCOMPARE(seen, QStringList { u"sentinel"_s });
}

// What was copied before the pasteboard existed is read without counting
// as a change. An owner that stopped (SIGSTOP) holds the read only until
// another program copies; one that never answers is in the capture test.
void tst_X11Pasteboard::initialContentsAndStoppedOwner()
{
    QVERIFY(m_tools->startOwner({ { u"UTF8_STRING"_s, "was here first" } }));
    X11Pasteboard pasteboard;
    QVERIFY(pasteboard.isReading());
    QSignalSpy changed(&pasteboard, &Pasteboard::changed);
    const qint64 before = pasteboard.changeCount();
    QTRY_COMPARE_WITH_TIMEOUT(
        pasteboard.dataForType(textPlain), std::optional<QByteArray>("was here first"), 5000);
    QCOMPARE(pasteboard.changeCount(), before);
    QCOMPARE(changed.size(), 0);

    QVERIFY(m_tools->startOwner({ { u"UTF8_STRING"_s, "never read" } }, { u"--stop"_s }));
    QVERIFY(ClipboardTools::copyWithXclip("fresh"));
    QTRY_COMPARE_WITH_TIMEOUT(
        pasteboard.dataForType(textPlain), std::optional<QByteArray>("fresh"), 5000);
}

void tst_X11Pasteboard::destroyedWhileWaitingOnOwner()
{
    auto pasteboard = std::make_unique<X11Pasteboard>();
    QVERIFY(pasteboard->isReading());
    QProcess *silent = m_tools->startOwner(
        { { u"UTF8_STRING"_s, "never sent" } }, { u"--ignore"_s, u"TARGETS"_s });
    QVERIFY(silent);
    // The reader's TARGETS request has reached the owner, which never answers.
    QVERIFY(HelperProcesses::waitForLine(*silent, "request"));

    QElapsedTimer destroying;
    destroying.start();
    pasteboard.reset();
    // Without waiting out the owner's deadline.
    QVERIFY2(destroying.elapsed() < ClipboardReading::requestDeadline.count(),
        qPrintable(QString::number(destroying.elapsed())));
}

QTEST_MAIN(tst_X11Pasteboard)
#include "tst_X11Pasteboard.moc"
