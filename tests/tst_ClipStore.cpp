// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreFixture.h"
#include "model/ClipArchive.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

using Change = std::function<void(ClipStore &)>;
Q_DECLARE_METATYPE(Change)

class tst_ClipStore : public QObject
{
    Q_OBJECT
private slots:
    void makePreview_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString ellipsis(QChar(0x2026)), y = u"y"_s.repeated(220);
        QTest::newRow("spaces, line feeds and a tab")
            << u"  one\n\ntwo\tthree  "_s << u"one two three"_s;
        QTest::newRow("unicode spaces") << u"a\u00a0\u2028\u3000b\u0085c"_s << u"a b c"_s;
        QTest::newRow("only blanks") << u" \n\t "_s << QString();
        QTest::newRow("NUL, escape and other control characters")
            << QString::fromUtf16(u"\0a\0b\x1b[1mc\x7f\x9b d\a", 14) << u"a b [1mc d"_s;
        QTest::newRow("exactly 220") << y << y;
        QTest::newRow("221") << y + u"y"_s << y + ellipsis;
        const QString accented = u"e\u0301"_s.repeated(230);
        QTest::newRow("combining marks count once") << accented << accented.left(440) + ellipsis;
        QTest::newRow("220 combining sequences stay whole")
            << accented.left(440) << accented.left(440);
        const QString flags = u"\U0001F1E9\U0001F1EA"_s.repeated(221);
        QTest::newRow("flags are one character each") << flags << flags.left(880) + ellipsis;
        QTest::newRow("white space inside the cut")
            << y.left(219) + u"     b"_s + y.left(50) << y.left(219) + u" "_s + ellipsis;
        QString big(4'000'000, QLatin1Char(' '));
        big[3'999'000] = QLatin1Char('z');
        QTest::newRow("long blank prefix") << big << u"z"_s;
    }

    void makePreview()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(::makePreview(text), expected);
    }

    void sha256_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("streamed");
        QTest::newRow("empty") << QByteArray() << false;
        // Longer than one read of a device, and not a multiple of it.
        QByteArray large(5 * 1024 * 1024 / 2 + 7, Qt::Uninitialized);
        for (qsizetype i = 0; i < large.size(); ++i)
            large[i] = char(i * 31 % 251);
        QTest::newRow("large, in memory") << large << false;
        QTest::newRow("large, from a device") << large << true;
    }

    void sha256()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, streamed);
        const QByteArray expected
            = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
        Sha256 hash;
        if (streamed) {
            QBuffer device(&bytes);
            QVERIFY(device.open(QIODevice::ReadOnly));
            QVERIFY(hash.addData(device));
        } else {
            hash.addData(bytes.first(bytes.size() / 3));
            hash.addData(bytes.sliced(bytes.size() / 3));
        }
        QCOMPARE(hash.hexResult(), expected);
        QCOMPARE(::sha256Hex(bytes), QString::fromLatin1(expected));
        QBuffer closed;
        QTest::ignoreMessage(QtWarningMsg, "QIODevice::read (QBuffer): device not open");
        QVERIFY(!Sha256().addData(closed));
    }

    // A copy of what the history holds moves it to the front, now: a
    // rendering it lacks is added, with where it came from, and a present
    // one is never replaced; the larger size stays. The list is over the
    // new count limit, but a copy again does not prune it.
    void copiedAgain()
    {
        StoreFixture f;
        ClipStore &store = f.open();
        Clip a = StoreFixture::add(
            store, StoreFixture::text(u"a"_s, std::nullopt, QByteArray("<i>a</i>")), true);
        Clip b = StoreFixture::add(store, StoreFixture::text(u"/home/u/b.txt"_s));
        f.settings->setMaxClipBytes(10);
        f.settings->setMaxClipCount(1);
        f.now = f.now.addSecs(60);
        QSignalSpy spy(&store, &ClipStore::storeDidChange);
        ClipContent again
            = StoreFixture::text(u"a"_s, QByteArray("{\\rtf1 a}"), QByteArray("<b>a</b>"));
        again.preview = u"different preview"_s;
        again.rtfFromHtml = true;
        again.byteSize = 10; // at the size limit
        store.add(again);
        a.createdAt = f.now;
        a.rtf = again.rtf;
        a.rtfFromHtml = true;
        a.byteSize = 10;
        QCOMPARE(store.clips(), (QList<Clip> { a, b }));
        // A file list with a text clip's text, a poorer capture and one over
        // the size limit.
        ClipContent files = StoreFixture::text(u"/home/u/b.txt"_s, QByteArray());
        files.kind = ClipKind::fileURLs;
        files.preview = u"b.txt"_s;
        files.byteSize = 5; // the larger size stays
        f.now = f.now.addSecs(60);
        store.add(files);
        b.createdAt = f.now;
        ClipContent over = StoreFixture::text(u"a"_s);
        over.byteSize = 11;
        store.add(over);
        QCOMPARE(store.clips(), (QList<Clip> { b, a }));
        QCOMPARE(spy.count(), 2);
        QCOMPARE(f.onDisk(), store.clips());
    }

    void limits_data()
    {
        QTest::addColumn<int>("maxCount");
        QTest::addColumn<qint64>("maxTotal");
        QTest::addColumn<qint64>("maxAgeHours");
        QTest::addColumn<qint64>("later"); // seconds the clock moves on first
        QTest::addColumn<bool>("byAdding"); // of "new", else by applying the limits
        QTest::addColumn<QStringList>("left");
        const auto row = [](const char *name, int count, qint64 total, bool adding,
                             const QStringList &left, qint64 age = 0, qint64 later = 0) {
            QTest::newRow(name) << count << total << age << later << adding << left;
        };
        const QString a(10, QLatin1Char('a')), b(10, QLatin1Char('b')), image = u"Image"_s;
        const QString cc = u"cc"_s, added = u"new"_s;
        const QStringList all { added, cc, b, a, image };
        const qint64 day = 24 * 3600, year = 365 * day;
        row("no limit", 200, 0, false, { cc, b, a, image });
        row("count drops the oldest unkept", 3, 0, false, { cc, b, a });
        row("count, on adding", 3, 0, true, { added, cc, a });
        row("kept clips outnumber the count", 1, 0, true, { a });
        row("total drops the oldest unkept", 200, 14, false, { cc, a });
        row("kept alone above the total", 200, 5, false, { a });
        row("no age limit", 200, 0, true, all, 0, 10 * year);
        row("a negative age is no limit", 200, 0, true, all, -1, day + 1);
        row("one second too old", 200, 0, true, { added, a }, 24, day + 1);
        row("exactly at the age limit", 200, 0, true, all, 24, day);
        row("absurd age limit", 200, 0, true, all, qint64(1) << 62, 100 * year);
    }

    // Oldest first, unkept clips go until the history fits, and those too
    // old; kept ones stay whatever the limits, and a dropped image's file
    // goes with its clip.
    void limits()
    {
        QFETCH(int, maxCount);
        QFETCH(qint64, maxTotal);
        QFETCH(qint64, maxAgeHours);
        QFETCH(qint64, later);
        QFETCH(bool, byAdding);
        QFETCH(QStringList, left);
        StoreFixture f;
        ClipStore &store = f.open();
        store.add(StoreFixture::image(QByteArray("png-one"))); // 12 bytes, with its preview
        const QString imageFile = store.imagePath(store.clips().first());
        QCOMPARE(StoreFixture::mode(imageFile), 0600);
        store.add(StoreFixture::text(QString(10, QLatin1Char('a'))));
        store.setKept(store.clips().first().id, true);
        store.add(StoreFixture::text(QString(10, QLatin1Char('b'))));
        store.add(StoreFixture::text(u"cc"_s));
        f.settings->setMaxClipCount(maxCount);
        f.settings->setMaxTotalBytes(maxTotal);
        f.settings->setMaxAgeHours(maxAgeHours);
        f.now = f.now.addSecs(later);
        QSignalSpy spy(&store, &ClipStore::storeDidChange);
        if (byAdding)
            store.add(StoreFixture::text(u"new"_s));
        else
            store.applyLimits();
        QCOMPARE(texts(store.clips()), left);
        // Once for the pruning, once more for an add.
        QCOMPARE(spy.count(), int(left.size() < 4) + int(byAdding));
        QCOMPARE(f.onDisk(), store.clips());
        QCOMPARE(QFile::exists(imageFile), left.contains(u"Image"_s));
    }

    void changes_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<int>("announced"); // none: nothing is saved either
        QTest::addColumn<bool>("imageLeft");
        const QStringList all { u"loose"_s, u"k2"_s, u"Image"_s, u"k1"_s };
        const auto id = [](ClipStore &store, const QString &text) {
            const QStringList shown = texts(store.clips());
            return store.clips().at(shown.indexOf(text)).id;
        };
        QTest::newRow("clear keeps the kept in order")
            << Change([](ClipStore &store) { store.clearHistory(); })
            << QStringList { u"k2"_s, u"k1"_s } << 1 << false;
        QTest::newRow("a kept image whose file is gone is deleted") << Change(
            [id](ClipStore &store) {
                const QUuid image = id(store, u"Image"_s);
                store.setKept(image, true);
                QVERIFY(QFile::remove(store.imagePath(*store.clip(image))));
                store.deleteClip(image);
            }) << QStringList { u"loose"_s, u"k2"_s, u"k1"_s } << 2 << false;
        QTest::newRow("keeping announces even when unchanged") << Change([id](ClipStore &store) {
            store.setKept(id(store, u"k2"_s), true);
            store.setKept(id(store, u"loose"_s), false);
        }) << all << 2 << true;
        QTest::newRow("nothing to do") << Change([](ClipStore &store) {
            const QUuid unknown = QUuid::createUuid();
            store.applyLimits();
            store.deleteClip(unknown);
            store.setKept(unknown, true);
            store.updateText(unknown, u"x"_s, std::nullopt, std::nullopt);
        }) << all << 0 << true;
        QTest::newRow("clearing only kept clips") << Change([id](ClipStore &store) {
            store.deleteClip(id(store, u"loose"_s));
            store.deleteClip(id(store, u"Image"_s));
            store.clearHistory();
            store.applyLimits();
        }) << QStringList { u"k2"_s, u"k1"_s } << 2
                                                  << false;
        QTest::newRow("an image that cannot be written is not recorded") << Change(
            [](ClipStore &store) {
                QVERIFY(
                    QDir(QFileInfo(store.imagePath(store.clips()[2])).path()).removeRecursively());
                store.add(StoreFixture::image("new png"));
            }) << all << 0 << false;
    }

    void changes()
    {
        QFETCH(Change, change);
        QFETCH(QStringList, left);
        QFETCH(int, announced);
        QFETCH(bool, imageLeft);
        StoreFixture f;
        ClipStore &store = f.open();
        store.clearHistory(); // an empty history: nothing to save
        store.flush();
        QVERIFY(!QFile::exists(f.archivePath()));
        store.add(StoreFixture::text(u"k1"_s));
        store.setKept(store.clips().first().id, true);
        store.add(StoreFixture::image(QByteArray("img")));
        const QString image = store.imagePath(store.clips().first());
        store.add(StoreFixture::text(u"k2"_s));
        store.setKept(store.clips().first().id, true);
        store.add(StoreFixture::text(u"loose"_s));
        store.flush();
        const QByteArray journal = readFile(f.journalPath());
        QSignalSpy spy(&store, &ClipStore::storeDidChange);
        change(store);
        QCOMPARE(texts(store.clips()), left);
        QCOMPARE(spy.count(), announced);
        QCOMPARE(f.onDisk(), store.clips());
        if (announced == 0)
            QCOMPARE(readFile(f.journalPath()), journal);
        QCOMPARE(QFile::exists(image), imageLeft);
    }

    void updateTextRecomputesDerivedFields()
    {
        StoreFixture f;
        ClipStore &store = f.open();
        const Clip other = StoreFixture::add(store, StoreFixture::text(u"  same "_s));
        ClipContent captured
            = StoreFixture::text(u"old"_s, QByteArray("{\\rtf1 old}"), QByteArray("<p>old</p>"));
        captured.rtfFromHtml = true;
        Clip clip = StoreFixture::add(store, captured, true);
        f.now = f.now.addSecs(30);
        QSignalSpy spy(&store, &ClipStore::storeDidChange);
        // No duplicate check: editing may make two clips alike.
        store.updateText(clip.id, u"  same "_s, std::nullopt, QByteArray("<b>same</b>"));
        QCOMPARE(spy.count(), 1);
        clip.text = u"  same "_s;
        clip.preview = u"same"_s;
        clip.rtf.reset();
        clip.rtfFromHtml = false; // what the editor saves is all made here
        clip.html = QByteArray("<b>same</b>");
        clip.byteSize = 7 + 11;
        clip.contentHash = ::sha256Hex("  same ");
        QCOMPARE(store.clips(), (QList<Clip> { clip, other }));
        QCOMPARE(f.onDisk(), store.clips());
        // An edit's preview is cut where a copy's is.
        store.updateText(clip.id, QString(221, QLatin1Char('e')), std::nullopt, std::nullopt);
        QCOMPARE(store.clips().first().preview, QString(220, QLatin1Char('e')) + QChar(0x2026));
    }

    void search_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("text beyond the preview") << u"hidden"_s << QStringList { u"second line"_s };
        QTest::newRow("only in the RTF") << u"secret"_s << QStringList {};
        QTest::newRow("in list order")
            << QStringLiteral("l") << QStringList { u"second line"_s, u"Hello World"_s };
    }

    void search()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, found);
        StoreFixture f;
        ClipStore &store = f.open();
        store.add(StoreFixture::text(u"Hello World"_s));
        ClipContent long_ = StoreFixture::text(QString(300, QLatin1Char('.')) + u" hidden"_s);
        long_.preview = u"second line"_s;
        store.add(long_);
        store.add(StoreFixture::text(u"Rich"_s, QByteArray("{\\rtf1 secret}")));
        QStringList previews;
        for (const Clip &clip : store.search(query))
            previews.append(clip.preview);
        QCOMPARE(previews, found);
    }
};

QTEST_GUILESS_MAIN(tst_ClipStore)
#include "tst_ClipStore.moc"
