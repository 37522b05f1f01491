// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreFixture.h"
#include "model/ArchiveWriter.h"
#include "model/AtomicFile.h"
#include "model/ClipArchive.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>
#include <utime.h>

using namespace Qt::StringLiterals;

namespace {

Clip clipAt(const QDateTime &when, const QString &text)
{
    Clip clip;
    clip.id = QUuid::createUuid();
    clip.createdAt = when;
    clip.kind = ClipKind::text;
    clip.text = text;
    clip.preview = text;
    clip.byteSize = text.toUtf8().size();
    clip.contentHash = sha256Hex(text.toUtf8());
    return clip;
}

QByteArray archiveOf(const QList<Clip> &clips)
{
    QList<QByteArray> encoded;
    for (const Clip &clip : clips)
        encoded.append(ClipArchive::encodeClip(clip));
    return ClipArchive::archiveParts(encoded).join();
}

// Each file and folder under `root` with its modes and contents, as lstat
// sees them: a link is its target's name, never what it points at.
QStringList snapshot(const QString &root)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
        QDirIterator::Subdirectories);
    QStringList paths { root };
    while (it.hasNext())
        paths.append(it.next());
    paths.sort();
    for (const QString &path : std::as_const(paths)) {
        struct stat st;
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
            continue;
        const QFileInfo info(path);
        QString entry = path + u" %1 %2"_s.arg(st.st_mode, 0, 8).arg(st.st_mtime);
        if (info.isSymLink())
            entry += u" -> "_s + info.symLinkTarget();
        else if (info.isFile())
            entry += QLatin1Char(' ') + QString::fromLatin1(readFile(path).toHex());
        out.append(entry);
    }
    return out;
}

QStringList asides(const StoreFixture &f)
{
    return QDir(f.rootDir()).entryList({ u"clips.json.corrupt-*"_s }, QDir::Files, QDir::Name);
}

} // namespace

class tst_ClipStorePersistence : public QObject
{
    Q_OBJECT
private slots:
    void firstStartCreatesPrivateFolders()
    {
        StoreFixture f;
        ClipStore &store = f.open();
        QVERIFY(store.clips().isEmpty());
        QCOMPARE(StoreFixture::mode(f.rootDir()), 0700);
        QCOMPARE(StoreFixture::mode(f.rootDir() + u"/media"_s), 0700);
        store.flush();
        QVERIFY(!QFile::exists(f.archivePath()));

        store.add(StoreFixture::text(u"one"_s));
        store.flush();
        QCOMPARE(StoreFixture::mode(f.archivePath()), 0600);
        store.add(StoreFixture::text(u"two"_s));
        store.flush();
        QCOMPARE(QDir(f.rootDir()).entryList(QDir::Files),
            (QStringList { u"clips.journal"_s, u"clips.json"_s }));
        QCOMPARE(StoreFixture::mode(f.rootDir() + u"/clips.journal"_s), 0600);
        f.open();
        QCOMPARE(texts(f.store->clips()), (QStringList { u"two"_s, u"one"_s }));
    }

    void foreignItemsAreLeftAlone_data()
    {
        QTest::addColumn<QString>("shape");
        QTest::addColumn<QString>("told"); // under the data folder; empty for nothing
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("saved");
        const int link = int(ClipStore::Foreign::link);
        QTest::newRow("loose modes are tightened") << "loose"
                                                   << "" << link << true;
        QTest::newRow("image name leads out") << "name"
                                              << "" << link << true;
        QTest::newRow("media folder is a link") << "media"
                                                << "media" << link << true;
        QTest::newRow("image file is a link") << "image"
                                              << "" << link << true;
        QTest::newRow("archive is a link") << "clips.json"
                                           << "clips.json" << link << false;
        QTest::newRow("data folder is a link") << "root"
                                               << "." << link << false;
        QTest::newRow("archive is a folder")
            << "archive folder"
            << "clips.json" << int(ClipStore::Foreign::folder) << false;
    }

    // Links planted in the data folder lead to a folder and a file of the
    // user's elsewhere: start, a change and quit leave them exactly as they
    // were. Nothing is read, made private, replaced or swept through a
    // link; the user is told once; what can still be saved is.
    void foreignItemsAreLeftAlone()
    {
        QFETCH(QString, shape);
        QFETCH(QString, told);
        QFETCH(int, kind);
        QFETCH(bool, saved);
        StoreFixture f;
        const QString outside = f.dir.filePath(u"outside"_s);
        const QString victim = outside + u"/victim.png"_s;
        Clip other = clipAt(f.now.addSecs(-7200), u"outside"_s);
        writeFile(victim, archiveOf({ other }));
        QVERIFY(QFile::setPermissions(victim, QFileDevice::Permissions(0x6644)));
        QVERIFY(QFile::setPermissions(outside, QFileDevice::Permissions(0x7755)));
        const utimbuf old { ::time(nullptr) - 3600, ::time(nullptr) - 3600 };
        QCOMPARE(::utime(QFile::encodeName(victim).constData(), &old), 0);

        const QString media = f.rootDir() + u"/media"_s;
        const QString linkedImage = u"6F9619FF-8B86-D011-B42D-00C04FC964FF.png"_s;
        Clip image = clipAt(f.now, u"image"_s);
        image.kind = ClipKind::image;
        image.imageFilename
            = shape == QLatin1String("name") ? u"../../../outside/victim.png"_s : linkedImage;
        writeFile(f.archivePath(), archiveOf({ image, clipAt(f.now, u"mine"_s) }));
        QVERIFY(QDir().mkpath(media));
        const auto plant = [](const QString &target, const QString &at) {
            QVERIFY(!QFileInfo(at).exists() || QFile::remove(at) || QDir(at).removeRecursively());
            QVERIFY(QFile::link(target, at));
        };
        if (shape == QLatin1String("media")) {
            plant(outside, media);
        } else if (shape == QLatin1String("image")) {
            plant(victim, media + QLatin1Char('/') + linkedImage);
            // Old enough to be swept, and named by nothing.
            plant(victim, media + u"/orphan.png"_s);
            plant(victim, media + u"/4F9619FF-8B86-D011-B42D-00C04FC964FF.png.tmp"_s);
        } else if (shape == QLatin1String("clips.json")) {
            plant(victim, f.archivePath());
        } else if (shape == QLatin1String("root")) {
            QVERIFY(QDir(f.rootDir()).removeRecursively());
            plant(outside, f.rootDir());
        } else if (shape == QLatin1String("loose")) {
            writeFile(media + u"/plain.png"_s, "png");
            for (const QString &path : { f.rootDir(), media })
                QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions(0x7755)));
            for (const QString &path : { f.archivePath(), media + u"/plain.png"_s })
                QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions(0x6644)));
        } else if (shape == QLatin1String("archive folder")) {
            QVERIFY(QFile::remove(f.archivePath()));
            QVERIFY(QDir().mkpath(f.archivePath()));
            QVERIFY(QFile::setPermissions(f.archivePath(), QFileDevice::Permissions(0x7755)));
        }
        const QStringList before = snapshot(outside);
        const int plantedMode = StoreFixture::mode(f.archivePath());

        ClipStore &store = f.open();
        QSignalSpy foreign(&store, &ClipStore::foreignItemFound);
        QSignalSpy failed(&store, &ClipStore::saveFailed);
        QCOMPARE(snapshot(outside), before);
        if (shape == QLatin1String("loose")) {
            for (const QString &path : { f.rootDir(), media })
                QCOMPARE(StoreFixture::mode(path), 0700);
            for (const QString &path : { f.archivePath(), media + u"/plain.png"_s })
                QCOMPARE(StoreFixture::mode(path), 0600);
        }
        QVERIFY(!texts(store.clips()).contains(u"outside"_s));
        for (const Clip &clip : store.clips())
            QVERIFY(!store.imageData(clip)); // linked, or not there
        store.add(StoreFixture::text(u"after"_s));
        store.add(StoreFixture::image("new png"));
        // Only into a media folder of our own, and over a link, not through it.
        QCOMPARE(bool(ClipStore::writeImageFile(
                     media, QUuid(u"4F9619FF-8B86-D011-B42D-00C04FC964FF"_s), "x")),
            shape != QLatin1String("media") && shape != QLatin1String("root"));
        if (const std::optional<Clip> named = store.clip(image.id))
            store.deleteClip(named->id);
        store.flush();
        QCoreApplication::processEvents(); // what the store tells
        QCOMPARE(snapshot(outside), before);
        f.store.reset(); // quit: a compaction, and a sweep of the media folder
        QCOMPARE(snapshot(outside), before);

        QCOMPARE(foreign.count(), told.isEmpty() ? 0 : 1);
        if (!told.isEmpty()) {
            QCOMPARE(foreign.first().first().toString(),
                QDir::cleanPath(f.rootDir() + QLatin1Char('/') + told));
            QCOMPARE(int(foreign.first().last().value<ClipStore::Foreign>()), kind);
        }
        QVERIFY(failed.isEmpty()); // the advice to free disk space is not given
        if (shape == QLatin1String("image")) {
            QVERIFY(QFileInfo(media + u"/orphan.png"_s).isSymLink());
            QVERIFY(QFileInfo(media + QLatin1Char('/') + linkedImage).isSymLink());
        } else if (shape == QLatin1String("archive folder")) {
            QCOMPARE(StoreFixture::mode(f.archivePath()), plantedMode);
        }
        const QStringList stored = texts(ClipArchive::decode(
            readFile(shape == QLatin1String("root") ? QString() : f.archivePath()))
                                             .clips);
        QCOMPARE(stored.contains(u"after"_s), saved);
    }

    void preloadedHistory_data()
    {
        QTest::addColumn<QString>("preloaded");
        QTest::addColumn<QStringList>("expected");
        const QStringList history { u"one"_s, u"two"_s };
        QTest::newRow("this folder") << u"share"_s << history;
        QTest::newRow("another folder") << u"elsewhere"_s << history;
        QTest::newRow("only the legacy folder") << u"legacy"_s << QStringList { u"legacy"_s };
        QTest::newRow("the legacy folder is left beside ours") << u"both"_s << history;
    }

    // A start reads the history while it sets up the display; the read may
    // only ever stand in for the very next store of the same folder. The
    // folder of the program's earlier name moves over, images and all,
    // unless there is a history of ours already.
    void preloadedHistory()
    {
        QFETCH(QString, preloaded);
        QFETCH(QStringList, expected);
        StoreFixture f;
        const QList<Clip> history { clipAt(f.now, u"one"_s), clipAt(f.now.addSecs(-1), u"two"_s) };
        const QString elsewhere = f.dir.filePath(u"elsewhere"_s);
        writeFile(elsewhere + u"/Quillstack/clips.json"_s,
            archiveOf({ clipAt(f.now, u"not this one"_s) }));
        const QString legacy = f.supportDir() + u"/Tallowen"_s;
        Clip image = clipAt(f.now, u"legacy"_s);
        image.kind = ClipKind::image;
        image.imageFilename = u"IMG.png"_s;
        if (preloaded == QLatin1String("legacy") || preloaded == QLatin1String("both")) {
            writeFile(legacy + u"/clips.json"_s, archiveOf({ image }));
            writeFile(legacy + u"/media/IMG.png"_s, QByteArray("png bytes"));
        }
        if (preloaded != QLatin1String("legacy"))
            writeFile(f.archivePath(), archiveOf(history));

        {
            const ClipStore::Preload preload(
                f.dir.filePath(preloaded == QLatin1String("elsewhere") ? preloaded : u"share"_s));
            ClipStore &store = f.open();
            QCOMPARE(texts(store.clips()), expected);
            if (preloaded == QLatin1String("legacy")) {
                QVERIFY(!QFile::exists(legacy));
                QCOMPARE(readFile(store.imagePath(store.clips().first())), QByteArray("png bytes"));
            }
            store.add(StoreFixture::text(u"three"_s));
            f.store.reset();
        }
        if (preloaded == QLatin1String("both")) {
            QCOMPARE(readFile(legacy + u"/clips.json"_s), archiveOf({ image }));
            QCOMPARE(readFile(legacy + u"/media/IMG.png"_s), QByteArray("png bytes"));
        }
        // The next start reads again, and sees what the last one saved.
        const ClipStore::Preload preload(f.supportDir());
        expected.prepend(u"three"_s);
        QCOMPARE(texts(f.open().clips()), expected);
        // A read no store takes is simply let go.
        const ClipStore::Preload unused(elsewhere);
    }

    // The archive's clips load newest first, ties in the order written, and
    // the count limit applies at once and reaches the files.
    void loadsNewestFirstWithinTheLimits()
    {
        StoreFixture f;
        f.settings->setMaxClipCount(3);
        const QDateTime t = f.now.addSecs(-3600);
        writeFile(f.archivePath(),
            archiveOf({ clipAt(t, u"oldest"_s), clipAt(t.addSecs(10), u"tie 1"_s),
                clipAt(t.addSecs(10), u"tie 2"_s), clipAt(t.addSecs(20), u"newest"_s) }));
        ClipStore &store = f.open();
        QCOMPARE(texts(store.clips()), (QStringList { u"newest"_s, u"tie 1"_s, u"tie 2"_s }));
        QCOMPARE(f.onDisk(), store.clips());
    }

    void unreadableArchiveIsSetAside_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = archiveOf({ clipAt(QDateTime::currentDateTimeUtc(), u"good"_s) });
        QTest::newRow("truncated") << good.left(good.size() / 2);
        QTest::newRow("object, not array") << QByteArray("{\"clips\": []}");
        QTest::newRow("not an array of objects") << QByteArray("[\"a\", 1]");
        QTest::newRow("bad Base64")
            << QByteArray(good).replace("\"preview\"", "\"rtf\": \"@@@\", \"preview\"");
        QTest::newRow("fractional seconds") << QByteArray(good).replace("Z\"", ".25Z\"");
        QTest::newRow("unknown kind") << QByteArray(good).replace("\"text\",\n", "\"sound\",\n");
        QTest::newRow("binary garbage") << QByteArray("\x89PNG\r\n\x1a\n\x00\x00", 10);
        QTest::newRow("empty file") << QByteArray();
    }

    void unreadableArchiveIsSetAside()
    {
        QFETCH(QByteArray, bytes);
        StoreFixture f;
        writeFile(f.archivePath(), bytes);
        ClipStore &store = f.open();
        QVERIFY(store.clips().isEmpty());
        QSignalSpy setAside(&store, &ClipStore::archiveSetAside);
        store.flush();
        QCOMPARE(readFile(f.archivePath()), bytes); // untouched at start
        QVERIFY(asides(f).isEmpty());

        store.add(StoreFixture::text(u"after"_s));
        store.flush();
        const QStringList kept = asides(f);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(setAside.count(), 1);
        QCOMPARE(
            setAside.first().first().toString(), f.rootDir() + QLatin1Char('/') + kept.first());
        QCOMPARE(readFile(f.rootDir() + QLatin1Char('/') + kept.first()), bytes);
        QVERIFY(ClipArchive::decode(readFile(f.archivePath())).ok);
    }

    // An archive far larger than the size limit lets a history grow is set
    // aside at start without being read, and told at once. Sparse, so that
    // it costs no disk.
    void oversizedArchiveIsSetAsideUnread()
    {
        StoreFixture f;
        f.settings->setMaxTotalBytes(1 << 20);
        const qint64 size = qint64(100) << 20;
        writeFile(f.archivePath(), QByteArray());
        QVERIFY(QFile(f.archivePath()).resize(size));
        writeFile(f.rootDir() + u"/clips.journal"_s, "journal");
        ClipStore &store = f.open();
        QSignalSpy setAside(&store, &ClipStore::archiveSetAside);
        QVERIFY(store.clips().isEmpty());
        QCOMPARE(asides(f).size(), 1);
        const QString aside = f.rootDir() + QLatin1Char('/') + asides(f).first();
        QCOMPARE(QFileInfo(aside).size(), size);
        QVERIFY(!QFile::exists(f.archivePath()));
        QTRY_COMPARE(setAside.count(), 1);
        QCOMPARE(setAside.first().first().toString(), aside);
        store.add(StoreFixture::text(u"after"_s));
        store.flush();
        QCOMPARE(texts(ClipArchive::decode(readFile(f.archivePath())).clips),
            QStringList { u"after"_s });
        QCOMPARE(setAside.count(), 1);
        // Just within the limit (twice the size limit and 64 MiB) it is read.
        f.store.reset();
        writeFile(f.archivePath(), QByteArray());
        QVERIFY(QFile(f.archivePath()).resize(qint64(66) << 20));
        f.open();
        QCOMPARE(asides(f).size(), 1);
    }

    void onlyTheNewestUnreadableArchivesAreKept()
    {
        StoreFixture f;
        for (int round = 0; round < 5; ++round) {
            writeFile(f.archivePath(), "not json " + QByteArray::number(round));
            f.now = f.now.addSecs(60);
            f.open().add(StoreFixture::text(u"x"_s));
            f.store->flush();
        }
        const QStringList kept = asides(f);
        QCOMPARE(kept.size(), 3);
        QCOMPARE(readFile(f.rootDir() + QLatin1Char('/') + kept.last()), QByteArray("not json 4"));
        QCOMPARE(readFile(f.rootDir() + QLatin1Char('/') + kept.first()), QByteArray("not json 2"));
    }

    void failedImageWriteRecordsNothing()
    {
        StoreFixture f;
        ClipStore &store = f.open();
        QVERIFY(QDir(f.rootDir() + u"/media"_s).removeRecursively());
        QSignalSpy spy(&store, &ClipStore::storeDidChange);
        store.add(StoreFixture::image("png"));
        QVERIFY(store.clips().isEmpty());
        QCOMPARE(spy.count(), 0);
    }

    void atomicWriteLeavesNoTemporaryOnFailure()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(u"missing/sub/file"_s);
        QString error;
        QVERIFY(!AtomicFile::write(target, QByteArray("x"), &error));
        QVERIFY(!error.isEmpty());
        // A directory in the way of the rename: the temporary file is removed.
        const QString blocked = dir.filePath(u"blocked"_s);
        QVERIFY(QDir().mkpath(blocked + u"/child"_s));
        QVERIFY(!AtomicFile::write(blocked, QByteArray("x"), &error));
        QVERIFY(!QFile::exists(blocked + u".tmp"_s));
        // Many parts, more than one writev batch, arrive in order.
        QList<QByteArray> parts;
        QByteArray expected;
        for (int i = 0; i < 3000; ++i) {
            parts.append(QByteArray::number(i) + (i % 7 == 0 ? QByteArray() : QByteArray(",")));
            expected += parts.last();
        }
        const QString many = dir.filePath(u"many"_s);
        QVERIFY(AtomicFile::write(many, parts));
        QCOMPARE(readFile(many), expected);
    }

    // Lines and compactions still waiting when a newer compaction arrives
    // are held by it: the archive ends as the newest, the journal empty.
    void writerFoldsWaitingWorkIntoTheNewestCompaction()
    {
        QTemporaryDir dir;
        const QString archive = dir.filePath(u"a.json"_s);
        const QString journal = dir.filePath(u"a.journal"_s);
        const QString gone = dir.filePath(u"gone.png"_s);
        writeFile(gone, "png");
        const QDateTime when = QDateTime::currentDateTimeUtc();
        Clip a = clipAt(when, u"a"_s);
        const Clip b = clipAt(when, u"b"_s);
        {
            ArchiveWriter writer(archive, journal, dir.filePath(u"media"_s));
            for (int i = 0; i < 200; ++i) {
                a.text = a.preview = QString::number(i);
                writer.compact({ a, b });
                writer.append(QByteArrayLiteral("{\"op\":\"clear\"}\n"), { gone });
            }
            writer.compact({ a, b });
        } // the destructor does what is pending
        const auto result = ClipArchive::decode(readFile(archive));
        QVERIFY(result.ok);
        QCOMPARE(texts(result.clips), (QStringList { u"199"_s, u"b"_s }));
        QCOMPARE(readFile(journal).count('\n'), 1); // its first line only
        QVERIFY(!QFile::exists(gone));
    }

    // A history that cannot be written stays whole in memory, is told once,
    // and reaches the disk with the first change after the cause is gone.
    void unwritableArchiveIsRetriedAtTheNextChange()
    {
        StoreFixture f;
        ClipStore &store = f.open();
        QSignalSpy failed(&store, &ClipStore::saveFailed);
        QSignalSpy recovered(&store, &ClipStore::saveRecovered);
        // Something in the way of the temporary file: permissions would not
        // stop a test that runs as root.
        const QString blocker = f.archivePath() + u".tmp"_s;
        QVERIFY(QDir().mkpath(blocker + u"/x"_s));
        for (const char *text : { "one", "two", "three" })
            store.add(StoreFixture::text(QString::fromLatin1(text)));
        store.flush();
        QTRY_COMPARE(failed.count(), 1);
        QVERIFY(!QFile::exists(f.archivePath()));
        QCOMPARE(store.clips().size(), 3);
        QVERIFY(recovered.isEmpty());

        QVERIFY(QDir(blocker).removeRecursively());
        store.add(StoreFixture::text(u"four"_s));
        store.flush();
        QTRY_COMPARE(recovered.count(), 1);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(texts(ClipArchive::decode(readFile(f.archivePath())).clips),
            (QStringList { u"four"_s, u"three"_s, u"two"_s, u"one"_s }));
    }
};

QTEST_GUILESS_MAIN(tst_ClipStorePersistence)
#include "tst_ClipStorePersistence.moc"
