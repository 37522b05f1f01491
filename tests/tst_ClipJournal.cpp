// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreFixture.h"
#include "model/ClipArchive.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>
#include <utime.h>

using namespace Qt::StringLiterals;

using Change = std::function<void(StoreFixture &)>;
Q_DECLARE_METATYPE(Change)

namespace {

// The files as a crash would leave them: the store goes without its
// compaction at quit.
void crash(StoreFixture &f)
{
    f.store->flush();
    const QByteArray archive = readFile(f.archivePath());
    const QByteArray journal = readFile(f.journalPath());
    f.store.reset();
    writeFile(f.archivePath(), archive);
    writeFile(f.journalPath(), journal);
}

// A store whose archive holds "a", an image and "c", with an empty journal.
ClipStore &openCompacted(StoreFixture &f)
{
    ClipStore &store = f.open();
    store.add(StoreFixture::text(u"a"_s));
    f.now = f.now.addSecs(60);
    store.add(StoreFixture::image(QByteArray("png bytes")));
    f.now = f.now.addSecs(60);
    store.add(StoreFixture::text(u"c"_s, std::nullopt, QByteArray("<p>c</p>")));
    f.now = f.now.addSecs(60);
    store.save();
    store.flush();
    return store;
}

// What a reader of a pipe receives of the export, and the error it ends
// with; with `readerLeaves`, the reader has closed its end before.
std::pair<QByteArray, QString> exportThroughPipe(ClipStore &store, bool readerLeaves = false)
{
    int ends[2];
    QFile reader;
    if (::pipe2(ends, O_CLOEXEC) != 0
        || !reader.open(ends[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return {};
    if (readerLeaves)
        reader.close();
    std::optional<QString> error;
    store.exportTo(ends[1], [&](const QString &message) { error = message; });
    const QByteArray bytes = readerLeaves ? QByteArray() : reader.readAll();
    reader.close();
    const bool answered = QTest::qWaitFor([&] { return error.has_value(); });
    return { bytes, answered ? *error : u"no answer"_s };
}

QUuid idOf(const StoreFixture &f, const QString &text)
{
    const QList<Clip> clips = f.store->clips();
    return clips.at(texts(clips).indexOf(text)).id;
}

} // namespace

class tst_ClipJournal : public QObject
{
    Q_OBJECT
private slots:
    void replayGivesTheLiveHistory_data()
    {
        QTest::addColumn<Change>("change");
        QTest::newRow("add") << Change(
            [](StoreFixture &f) { f.store->add(StoreFixture::text(u"new"_s)); });
        QTest::newRow("add an image")
            << Change([](StoreFixture &f) { f.store->add(StoreFixture::image("other png")); });
        QTest::newRow("copied again, with a new rendering") << Change([](StoreFixture &f) {
            f.store->add(StoreFixture::text(u"a"_s, QByteArray("{\\rtf1 a}")));
        });
        QTest::newRow("edit") << Change([](StoreFixture &f) {
            f.store->updateText(
                idOf(f, u"a"_s), u"edited\nline"_s, std::nullopt, QByteArray("<b>edited</b>"));
        });
        QTest::newRow("keep, then unkeep another") << Change([](StoreFixture &f) {
            f.store->setKept(idOf(f, u"a"_s), true);
            f.store->setKept(idOf(f, u"c"_s), true);
            f.store->setKept(idOf(f, u"c"_s), false);
        });
        QTest::newRow("delete the image") << Change([](StoreFixture &f) {
            const QString file = f.store->imagePath(*f.store->clip(idOf(f, u"Image"_s)));
            f.store->deleteClip(idOf(f, u"Image"_s));
            f.store->flush();
            QVERIFY(!QFile::exists(file));
        });
        QTest::newRow("clear, keeping one") << Change([](StoreFixture &f) {
            f.store->setKept(idOf(f, u"c"_s), true);
            f.store->clearHistory();
        });
        QTest::newRow("limits") << Change([](StoreFixture &f) {
            f.settings->setMaxClipCount(1);
            f.store->applyLimits();
        });
        QTest::newRow("add beyond the limit") << Change([](StoreFixture &f) {
            f.settings->setMaxClipCount(3);
            f.store->add(StoreFixture::text(u"fourth"_s));
        });
    }

    // Each change reaches the journal, not the archive; the files then read
    // back as the live history, and after quit the archive alone holds it.
    void replayGivesTheLiveHistory()
    {
        QFETCH(Change, change);
        StoreFixture f;
        ClipStore &store = openCompacted(f);
        const QByteArray archive = readFile(f.archivePath());
        change(f);
        store.flush();
        QCOMPARE(readFile(f.archivePath()), archive);
        QVERIFY(readFile(f.journalPath()).count('\n') > 1);
        const QList<Clip> live = store.clips();
        QCOMPARE(f.onDisk(), live);
        const auto [streamed, error] = exportThroughPipe(store);
        QCOMPARE(error, QString());
        QCOMPARE(ClipArchive::decode(streamed).clips, live);
        QCOMPARE(streamed, *store.exportArchive());
        // A reader that goes away ends an export with an error, not the
        // program; the saves behind it go on.
        QVERIFY(exportThroughPipe(store, true).second.startsWith(u"cannot write the export"));

        f.store.reset();
        QCOMPARE(f.archived(), live);
        QCOMPARE(readFile(f.journalPath()).count('\n'), 1);
        QCOMPARE(f.open().clips(), live);
    }

    void damagedJournal_data()
    {
        QTest::addColumn<int>("line"); // of the three changes after the first line
        // Empty: that line without its date; without a line end: torn.
        QTest::addColumn<QByteArray>("replacement");
        QTest::addColumn<QStringList>("expected");
        const QStringList one { u"x"_s, u"c"_s, u"Image"_s, u"a"_s };
        QTest::newRow("not JSON") << 2 << QByteArray("{\"op\":\"add\",\"cl\n") << one;
        QTest::newRow("unknown change") << 2 << QByteArray("{\"op\":\"rename\"}\n") << one;
        QTest::newRow("deletes a clip that is not there")
            << 2
            << QByteArray(
                   "{\"op\":\"delete\",\"ids\":[\"2F1D5A4C-0000-4000-8000-000000000000\"]}\n")
            << one;
        QTest::newRow("a clip without its date") << 2 << QByteArray() << one;
        QTest::newRow("the first change is bad") << 1 << QByteArray("[]\n") << one.mid(1);
        QTest::newRow("torn last line")
            << 3 << QByteArray(R"({"op":"add","clip":{"byteSize")") << QStringList { u"y"_s } + one;
    }

    // Lines before a damaged one are kept and the journal is set aside and
    // told about; a torn last line, from a crash while appending, is dropped.
    void damagedJournal()
    {
        QFETCH(int, line);
        QFETCH(QByteArray, replacement);
        QFETCH(QStringList, expected);
        const bool torn = !replacement.isEmpty() && !replacement.endsWith('\n');
        StoreFixture f;
        ClipStore &store = openCompacted(f);
        for (const char *text : { "x", "y", "z" })
            store.add(StoreFixture::text(QString::fromLatin1(text)));
        crash(f);
        QList<QByteArray> lines = readFile(f.journalPath()).split('\n');
        QCOMPARE(lines.size(), 5); // the first line, three changes and nothing after the last
        if (replacement.isEmpty())
            replacement = lines[line].replace("\"createdAt\"", "\"created\"") + '\n';
        lines[line] = replacement.chopped(torn ? 0 : 1);
        if (torn)
            lines.removeLast();
        const QByteArray damaged = lines.join('\n');
        writeFile(f.journalPath(), damaged);

        ClipStore &reopened = f.open();
        QSignalSpy told(&reopened, &ClipStore::journalSetAside);
        QCOMPARE(texts(reopened.clips()), expected);
        // What was replayed is taken into the archive at once.
        reopened.flush();
        QCOMPARE(texts(f.archived()), expected);
        QCOMPARE(readFile(f.journalPath()).count('\n'), 1);
        QTRY_COMPARE(told.count(), torn ? 0 : 1);
        const QStringList asides
            = QDir(f.rootDir()).entryList({ u"clips.journal.corrupt-*"_s }, QDir::Files);
        QCOMPARE(asides.size(), told.count());
        if (!torn)
            QCOMPARE(readFile(told.first().first().toString()), damaged);
    }

    void journalNotApplied_data()
    {
        QTest::addColumn<int>("archive"); // 0 another one, 1 same size, other bytes, 2 no journal
        QTest::newRow("another archive") << 0;
        QTest::newRow("same size, other bytes") << 1;
        QTest::newRow("no journal yet") << 2;
    }

    // An archive written by something else since (an older version, a
    // restored backup) makes the journal stale: it is not applied to it. A
    // history written before there was a journal loads as it is. Neither
    // archive is rewritten by the next change: a journal is begun beside it.
    void journalNotApplied()
    {
        QFETCH(int, archive);
        StoreFixture f;
        ClipStore &store = openCompacted(f);
        store.deleteClip(idOf(f, u"a"_s));
        crash(f);
        QByteArray bytes = readFile(f.archivePath());
        if (archive == 1)
            bytes.replace("\"c\"", "\"d\"");
        else if (archive == 0)
            bytes = ClipArchive::archiveParts({}).join();
        else
            QVERIFY(QFile::remove(f.journalPath()));
        writeFile(f.archivePath(), bytes);
        ClipStore &reopened = f.open();
        const QStringList loaded = texts(ClipArchive::decode(bytes).clips);
        QCOMPARE(texts(reopened.clips()), loaded);
        QCOMPARE(texts(f.onDisk()), loaded);
        reopened.add(StoreFixture::text(u"after"_s));
        reopened.flush();
        QCOMPARE(readFile(f.archivePath()), bytes);
        QCOMPARE(f.onDisk(), reopened.clips());
        QVERIFY(QDir(f.rootDir()).entryList({ u"*.corrupt-*"_s }, QDir::Files).isEmpty());
    }

    void compactionFollowsGrowthAndSweepsImages_data()
    {
        QTest::addColumn<int>("archiveClips"); // of 100 KiB each
        QTest::addColumn<qint64>("threshold");
        QTest::newRow("small archive: at 1 MiB of journal") << 0 << qint64(1);
        QTest::newRow("8 MiB archive: at 2 MiB of journal") << 80 << qint64(2);
    }

    // The journal is taken into the archive once it outgrows a quarter of
    // it, or 1 MiB for a small one, and the images that nothing names any
    // more go with that compaction, unless they are recent enough to belong
    // to a clip still on its way. An image a clip names stays, however old.
    void compactionFollowsGrowthAndSweepsImages()
    {
        QFETCH(int, archiveClips);
        QFETCH(qint64, threshold);
        StoreFixture f;
        f.settings->setMaxClipCount(1000);
        ClipStore &store = openCompacted(f);
        const QString big(100 * 1024, QLatin1Char('b'));
        for (int i = 0; i < archiveClips; ++i) {
            store.add(StoreFixture::text(big + u"archived %1"_s.arg(i)));
            store.flush();
            QCoreApplication::processEvents(); // calls for a compaction are answered
        }
        store.save();
        store.flush();
        QCoreApplication::processEvents();
        const QString media = f.rootDir() + u"/media/"_s;
        const QString named = store.imagePath(*store.clip(idOf(f, u"Image"_s)));
        writeFile(media + u"old-orphan.png"_s, "x");
        writeFile(media + u"new-orphan.png"_s, "x");
        const utimbuf old { ::time(nullptr) - 3600, ::time(nullptr) - 3600 };
        for (const QString &path : { media + u"old-orphan.png"_s, named })
            QCOMPARE(::utime(QFile::encodeName(path).constData(), &old), 0);

        const QByteArray archive = readFile(f.archivePath());
        qint64 journalBefore = 0;
        qint64 lineBytes = 0;
        for (int added = 0; readFile(f.archivePath()) == archive; ++added) {
            QVERIFY2(added < 40, "no compaction");
            journalBefore = QFileInfo(f.journalPath()).size();
            store.add(StoreFixture::text(big + QString::number(added)));
            store.flush();
            lineBytes = std::max(lineBytes, QFileInfo(f.journalPath()).size() - journalBefore);
            QCoreApplication::processEvents(); // the store answers the writer's call
            store.flush();
        }
        // The line that crossed the threshold asked for the compaction.
        threshold <<= 20;
        QVERIFY2(journalBefore <= threshold + (archiveClips > 0 ? 64 * 1024 : 0)
                && journalBefore + lineBytes > threshold,
            qPrintable(u"compacted after %1 bytes"_s.arg(journalBefore)));
        QCOMPARE(readFile(f.journalPath()).count('\n'), 1);
        QCOMPARE(f.archived(), store.clips());
        QVERIFY(!QFile::exists(media + u"old-orphan.png"_s));
        QVERIFY(QFile::exists(media + u"new-orphan.png"_s));
        QVERIFY(QFile::exists(named));
    }

    // A journal that cannot be written is told once; the history stays in
    // memory. The journal is cut back to its last whole line and the next
    // change appends the lines after all: the archive is not rewritten. A
    // file size limit fills the disk at an exact byte, the same on every
    // machine.
    void fullJournalIsToldOnceAndRecovers()
    {
        StoreFixture f;
        ClipStore &store = openCompacted(f);
        QSignalSpy failed(&store, &ClipStore::saveFailed);
        QSignalSpy recovered(&store, &ClipStore::saveRecovered);
        const QByteArray archive = readFile(f.archivePath());
        const QByteArray journal = readFile(f.journalPath());
        rlimit limit {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &limit), 0);
        const rlimit saved = limit;
        limit.rlim_cur = rlim_t(journal.size() + 16);
        const auto noSignal = ::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        for (const char *text : { "one", "two", "three" }) {
            store.add(StoreFixture::text(QString::fromLatin1(text)));
            store.flush();
        }
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &saved), 0);
        ::signal(SIGXFSZ, noSignal);
        QTRY_COMPARE(failed.count(), 1);
        QCOMPARE(readFile(f.journalPath()), journal);
        QVERIFY(recovered.isEmpty());

        store.add(StoreFixture::text(u"four"_s));
        store.flush();
        QTRY_COMPARE(recovered.count(), 1);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(f.onDisk(), store.clips());
        QCOMPARE(store.clips().size(), 7);
        QCOMPARE(readFile(f.archivePath()), archive);
        QCOMPARE(readFile(f.journalPath()).count('\n'), 5);
    }
};

QTEST_GUILESS_MAIN(tst_ClipJournal)
#include "tst_ClipJournal.moc"
