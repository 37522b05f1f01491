// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreFixture.h"
#include "model/ArchiveWriter.h"
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

using namespace Qt::StringLiterals;

using Change = std::function<void(StoreFixture &)>;
Q_DECLARE_METATYPE(Change)

namespace {

QString journalPath(const StoreFixture &f)
{
    return f.rootDir() + u"/clips.journal"_s;
}

QList<Clip> archiveAlone(const StoreFixture &f)
{
    return ClipArchive::decode(readFile(f.archivePath())).clips;
}

// The files as a crash would leave them: the store goes without its
// compaction at quit.
void crash(StoreFixture &f)
{
    f.store->flush();
    const QByteArray archive = readFile(f.archivePath());
    const QByteArray journal = readFile(journalPath(f));
    f.store.reset();
    writeFile(f.archivePath(), archive);
    writeFile(journalPath(f), journal);
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
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return {};
    if (readerLeaves)
        ::close(ends[0]);
    std::optional<QString> error;
    store.exportTo(ends[1], [&](const QString &message) { error = message; });
    QByteArray bytes;
    char buffer[4096];
    ssize_t got = 0;
    while (!readerLeaves && (got = ::read(ends[0], buffer, sizeof buffer)) > 0)
        bytes.append(buffer, got);
    if (!readerLeaves)
        ::close(ends[0]);
    if (!QTest::qWaitFor([&] { return error.has_value(); }))
        return { bytes, u"no answer"_s };
    return { bytes, *error };
}

const Clip &clipWithText(const ClipStore &store, const QString &text)
{
    for (const Clip &clip : store.clips()) {
        if (clip.text.value_or(clip.preview) == text)
            return clip;
    }
    return store.clips().first();
}

} // namespace

class tst_ClipJournal : public QObject
{
    Q_OBJECT
private slots:
    void replayGivesTheLiveHistory_data()
    {
        QTest::addColumn<Change>("change");
        const auto add = [](const char *text) {
            return [text](StoreFixture &f) {
                f.store->add(StoreFixture::text(QString::fromLatin1(text)));
            };
        };
        QTest::newRow("add") << Change(add("new"));
        QTest::newRow("add an image")
            << Change([](StoreFixture &f) { f.store->add(StoreFixture::image("other png")); });
        QTest::newRow("copied again, with a new rendering") << Change([](StoreFixture &f) {
            f.store->add(StoreFixture::text(u"a"_s, QByteArray("{\\rtf1 a}")));
        });
        QTest::newRow("edit") << Change([](StoreFixture &f) {
            f.store->updateText(clipWithText(*f.store, u"a"_s).id, u"edited\nline"_s, std::nullopt,
                QByteArray("<b>edited</b>"));
        });
        QTest::newRow("keep, then unkeep another") << Change([](StoreFixture &f) {
            f.store->setKept(clipWithText(*f.store, u"a"_s).id, true);
            f.store->setKept(clipWithText(*f.store, u"c"_s).id, true);
            f.store->setKept(clipWithText(*f.store, u"c"_s).id, false);
        });
        QTest::newRow("delete the image") << Change([](StoreFixture &f) {
            const Clip image = clipWithText(*f.store, u"Image"_s);
            const QString file = f.store->imagePath(image);
            f.store->deleteClip(image.id);
            f.store->flush();
            QVERIFY(!QFile::exists(file));
        });
        QTest::newRow("clear, keeping one") << Change([](StoreFixture &f) {
            f.store->setKept(clipWithText(*f.store, u"c"_s).id, true);
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
        QVERIFY(readFile(journalPath(f)).count('\n') > 1);
        const QList<Clip> live = store.clips();
        QCOMPARE(f.onDisk(), live);
        QCOMPARE(ClipArchive::decode(*store.exportArchive()).clips, live);
        const auto [streamed, error] = exportThroughPipe(store);
        QCOMPARE(error, QString());
        QCOMPARE(streamed, *store.exportArchive());
        // A reader that goes away ends an export with an error, not the
        // program; the saves behind it go on.
        QVERIFY(exportThroughPipe(store, true).second.startsWith(u"cannot write the export"));

        f.store.reset();
        QCOMPARE(archiveAlone(f), live);
        QCOMPARE(readFile(journalPath(f)).count('\n'), 1);
        QCOMPARE(f.open().clips(), live);
    }

    void damagedJournal_data()
    {
        QTest::addColumn<int>("line"); // of the three changes after the first line
        QTest::addColumn<QByteArray>("replacement");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("setAside");
        const QStringList one { u"x"_s, u"c"_s, u"Image"_s, u"a"_s };
        const QStringList two = QStringList { u"y"_s } + one;
        QTest::newRow("not JSON") << 2 << QByteArray("{\"op\":\"add\",\"cl\n") << one << true;
        QTest::newRow("unknown change") << 2 << QByteArray("{\"op\":\"rename\"}\n") << one << true;
        QTest::newRow("deletes a clip that is not there")
            << 2
            << QByteArray(
                   "{\"op\":\"delete\",\"ids\":[\"2F1D5A4C-0000-4000-8000-000000000000\"]}\n")
            << one << true;
        QTest::newRow("a clip without its date") << 2 << QByteArray() << one << true;
        QTest::newRow("the first change is bad")
            << 1 << QByteArray("[]\n") << QStringList { u"c"_s, u"Image"_s, u"a"_s } << true;
        QTest::newRow("torn last line")
            << 3 << QByteArray("{\"op\":\"add\",\"clip\":{\"byteSize\"") << two << false;
    }

    // Lines before a damaged one are kept and the journal is set aside and
    // told about; a torn last line, from a crash while appending, is dropped.
    void damagedJournal()
    {
        QFETCH(int, line);
        QFETCH(QByteArray, replacement);
        QFETCH(QStringList, expected);
        QFETCH(bool, setAside);
        StoreFixture f;
        ClipStore &store = openCompacted(f);
        for (const char *text : { "x", "y", "z" })
            store.add(StoreFixture::text(QString::fromLatin1(text)));
        crash(f);
        QList<QByteArray> lines = readFile(journalPath(f)).split('\n');
        QCOMPARE(lines.size(), 5); // the first line, three changes and nothing after the last
        if (replacement.isEmpty())
            replacement = lines[line].replace("\"createdAt\"", "\"created\"") + '\n';
        lines[line] = replacement.chopped(replacement.endsWith('\n') ? 1 : 0);
        if (!replacement.endsWith('\n'))
            lines.removeLast();
        const QByteArray damaged = lines.join('\n');
        writeFile(journalPath(f), damaged);

        ClipStore &reopened = f.open();
        QSignalSpy told(&reopened, &ClipStore::journalSetAside);
        QCOMPARE(texts(reopened.clips()), expected);
        const QStringList asides
            = QDir(f.rootDir()).entryList({ u"clips.journal.corrupt-*"_s }, QDir::Files);
        QCOMPARE(asides.size(), setAside ? 1 : 0);
        if (setAside) {
            QCOMPARE(readFile(f.rootDir() + QLatin1Char('/') + asides.first()), damaged);
            QTRY_COMPARE(told.count(), 1);
            QCOMPARE(
                told.first().first().toString(), f.rootDir() + QLatin1Char('/') + asides.first());
        }
        // What was replayed is taken into the archive at once.
        reopened.flush();
        QCOMPARE(texts(archiveAlone(f)), expected);
        QCOMPARE(readFile(journalPath(f)).count('\n'), 1);
        QCOMPARE(told.count(), setAside ? 1 : 0);
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
        store.deleteClip(clipWithText(store, u"a"_s).id);
        crash(f);
        QByteArray bytes = readFile(f.archivePath());
        if (archive == 1)
            bytes.replace("\"c\"", "\"d\"");
        else if (archive == 0)
            bytes = ClipArchive::archiveParts({}).join();
        else
            QVERIFY(QFile::remove(journalPath(f)));
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
        const QString named = store.imagePath(clipWithText(store, u"Image"_s));
        writeFile(media + u"old-orphan.png"_s, "x");
        writeFile(media + u"new-orphan.png"_s, "x");
        for (const QString &path : { media + u"old-orphan.png"_s, named }) {
            QFile old(path);
            QVERIFY(old.open(QIODevice::ReadWrite));
            QVERIFY(old.setFileTime(
                QDateTime::currentDateTimeUtc().addSecs(-3600), QFileDevice::FileModificationTime));
        }

        const QByteArray archive = readFile(f.archivePath());
        qint64 journalBefore = 0;
        qint64 lineBytes = 0;
        for (int added = 0; readFile(f.archivePath()) == archive; ++added) {
            QVERIFY2(added < 40, "no compaction");
            journalBefore = QFileInfo(journalPath(f)).size();
            store.add(StoreFixture::text(big + QString::number(added)));
            store.flush();
            lineBytes = std::max(lineBytes, QFileInfo(journalPath(f)).size() - journalBefore);
            QCoreApplication::processEvents(); // the store answers the writer's call
            store.flush();
        }
        // The line that crossed the threshold asked for the compaction.
        threshold <<= 20;
        QVERIFY2(journalBefore <= threshold + (archiveClips > 0 ? 64 * 1024 : 0)
                && journalBefore + lineBytes > threshold,
            qPrintable(u"compacted after %1 bytes"_s.arg(journalBefore)));
        QCOMPARE(readFile(journalPath(f)).count('\n'), 1);
        QCOMPARE(archiveAlone(f), store.clips());
        QVERIFY(!QFile::exists(media + u"old-orphan.png"_s));
        QVERIFY(QFile::exists(media + u"new-orphan.png"_s));
        QVERIFY(QFile::exists(named));
    }

    void unwritableJournalIsToldOnceAndRecovers_data()
    {
        QTest::addColumn<bool>("full");
        QTest::newRow("a folder in its place") << false;
        QTest::newRow("no room for the lines") << true;
    }

    // A journal that cannot be written is told once; the history stays in
    // memory and reaches the disk once the cause is gone. A folder in its
    // place is not ours: it is left as it is and told as such, not as a
    // lack of space. When the lines do not fit, the journal is cut back to
    // its last whole line and the next change appends them after all: the
    // archive is not rewritten. A file size limit fills the disk at an exact
    // byte, the same on every machine.
    void unwritableJournalIsToldOnceAndRecovers()
    {
        QFETCH(bool, full);
        StoreFixture f;
        openCompacted(f);
        if (!full) {
            f.store.reset();
            QVERIFY(QFile::remove(journalPath(f)));
            QVERIFY(QDir().mkpath(journalPath(f) + u"/x"_s));
            QVERIFY(QFile::setPermissions(journalPath(f), QFileDevice::Permissions(0x7755)));
            f.open();
        }
        ClipStore &store = *f.store;
        QSignalSpy failed(&store, &ClipStore::saveFailed);
        QSignalSpy recovered(&store, &ClipStore::saveRecovered);
        QSignalSpy foreign(&store, &ClipStore::foreignItemFound);
        const QByteArray archive = readFile(f.archivePath());
        const QByteArray journal = readFile(journalPath(f));
        rlimit limit {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &limit), 0);
        const rlimit saved = limit;
        limit.rlim_cur = rlim_t(journal.size() + 16);
        const auto noSignal = ::signal(SIGXFSZ, SIG_IGN);
        if (full)
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        for (const char *text : { "one", "two", "three" }) {
            store.add(StoreFixture::text(QString::fromLatin1(text)));
            store.flush();
        }
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &saved), 0);
        ::signal(SIGXFSZ, noSignal);
        if (full) {
            QTRY_COMPARE(failed.count(), 1);
            QCOMPARE(readFile(journalPath(f)), journal);
        } else {
            QTRY_COMPARE(foreign.count(), 1);
            QCOMPARE(foreign.first().first().toString(), journalPath(f));
            QCOMPARE(
                foreign.first().last().value<ClipStore::Foreign>(), ClipStore::Foreign::folder);
            QCOMPARE(StoreFixture::mode(journalPath(f)), 0755);
            QVERIFY(QDir(journalPath(f)).removeRecursively());
        }
        QVERIFY(recovered.isEmpty());

        store.add(StoreFixture::text(u"four"_s));
        store.flush();
        QCoreApplication::processEvents();
        QCOMPARE(recovered.count(), full ? 1 : 0);
        QCOMPARE(failed.count(), full ? 1 : 0);
        QCOMPARE(foreign.count(), full ? 0 : 1);
        QCOMPARE(f.onDisk(), store.clips());
        QCOMPARE(store.clips().size(), 7);
        if (full) {
            QCOMPARE(readFile(f.archivePath()), archive);
            QCOMPARE(readFile(journalPath(f)).count('\n'), 5);
        } else {
            QCOMPARE(texts(archiveAlone(f)).first(), u"four"_s);
        }
    }
};

QTEST_GUILESS_MAIN(tst_ClipJournal)
#include "tst_ClipJournal.moc"
