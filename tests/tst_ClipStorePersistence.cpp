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

// Each file and folder under `root`, itself included, with its modes, time
// and contents. Nothing in it is a link.
QStringList snapshot(const QString &root)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotDot | QDir::Hidden | QDir::System,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        out.append(u"%1 %2 %3 "_s.arg(path)
                       .arg(StoreFixture::mode(path), 0, 8)
                       .arg(it.fileInfo().lastModified().toSecsSinceEpoch())
            + QString::fromLatin1(readFile(path).toHex()));
    }
    out.sort();
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
    // Nothing is written for an empty history; what is written is private.
    void firstStartCreatesPrivateFolders()
    {
        StoreFixture f;
        f.open().flush();
        QCOMPARE(QDir(f.rootDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
            QStringList { u"media"_s });
        f.store->add(StoreFixture::text(u"one"_s));
        f.store->add(StoreFixture::text(u"two"_s));
        f.store->flush();
        QStringList modes;
        for (const QString &name : QDir(f.rootDir()).entryList(QDir::AllEntries | QDir::NoDotDot))
            modes.append(
                u"%1 %2"_s.arg(name).arg(StoreFixture::mode(f.rootDir() + u'/' + name), 0, 8));
        QCOMPARE(modes,
            (QStringList {
                u". 700"_s, u"clips.journal 600"_s, u"clips.json 600"_s, u"media 700"_s }));
        QCOMPARE(texts(f.open().clips()), (QStringList { u"two"_s, u"one"_s }));
    }

    void foreignItemsAreLeftAlone_data()
    {
        QTest::addColumn<QString>("shape");
        QTest::addColumn<QString>("told"); // where under the data folder, and what is there
        QTest::addColumn<bool>("saved");
        const auto row = [](const char *name, const char *shape, const char *told, bool saved) {
            QTest::newRow(name) << QString::fromLatin1(shape) << QString::fromLatin1(told) << saved;
        };
        row("loose modes are tightened", "loose", "", true);
        row("image name leads out", "name", "", true);
        row("media folder is a link", "media", "media link", true);
        row("image file is a link", "image", "", true);
        row("archive is a link", "clips.json", "clips.json link", false);
        row("data folder is a link", "root", ". link", false);
        row("archive is a folder", "archive folder", "clips.json folder", false);
    }

    // Links planted in the data folder lead to a folder and a file of the
    // user's elsewhere: start, a change and quit leave them exactly as they
    // were. Nothing is read, made private, replaced or swept through a
    // link; the user is told once; what can still be saved is.
    void foreignItemsAreLeftAlone()
    {
        QFETCH(QString, shape);
        QFETCH(QString, told);
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
        f.store.reset(); // quit: a compaction, and a sweep of the media folder
        QCOMPARE(snapshot(outside), before);

        QStringList seen;
        for (const QList<QVariant> &item : std::as_const(foreign)) {
            seen.append(QDir(f.rootDir()).relativeFilePath(item.first().toString())
                + (item.last().value<ClipStore::Foreign>() == ClipStore::Foreign::link
                        ? u" link"_s
                        : u" folder"_s));
        }
        QCOMPARE(seen.join(u'|'), told);
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
        QTest::addColumn<qint64>("zeros"); // the file made this long; sparse, so it costs no disk
        const QByteArray good = archiveOf({ clipAt(QDateTime::currentDateTimeUtc(), u"good"_s) });
        QTest::newRow("truncated") << good.left(good.size() / 2) << qint64(0);
        QTest::newRow("binary garbage") << QByteArray("\x89PNG\r\n\x1a\n\x00\x00", 10) << qint64(0);
        QTest::newRow("empty file") << QByteArray() << qint64(0);
        // A history may grow to twice its size limit and 64 MiB: 66 MiB here.
        QTest::newRow("just within the size a history grows to")
            << QByteArray() << (qint64(66) << 20);
        QTest::newRow("far larger: set aside unread at start")
            << QByteArray() << (qint64(100) << 20);
    }

    // An archive that cannot be read is left as it is until the first
    // change, then set aside and told once; one far larger than a history
    // can grow is set aside at start without being read, and told at once.
    // Of those set aside, the newest three are kept.
    void unreadableArchiveIsSetAside()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, zeros);
        StoreFixture f;
        f.settings->setMaxTotalBytes(1 << 20);
        writeFile(f.archivePath(), bytes);
        QVERIFY(!zeros || QFile(f.archivePath()).resize(zeros));
        const auto hash = fileSha256Hex(f.archivePath());
        writeFile(f.journalPath(), "journal");
        const QStringList older { u"clips.json.corrupt-20200101T000000Z"_s,
            u"clips.json.corrupt-20200102T000000Z"_s, u"clips.json.corrupt-20200103T000000Z"_s };
        for (const QString &name : older)
            writeFile(f.rootDir() + u'/' + name, "old");
        ClipStore &store = f.open();
        QSignalSpy setAside(&store, &ClipStore::archiveSetAside);
        QVERIFY(store.clips().isEmpty());
        const bool atStart = zeros > (qint64(66) << 20);
        QTRY_COMPARE(setAside.count(), int(atStart));
        store.flush();
        QCOMPARE(fileSha256Hex(f.archivePath()), atStart ? std::nullopt : hash);

        store.add(StoreFixture::text(u"after"_s));
        store.flush();
        QCOMPARE(setAside.count(), 1);
        const QString aside = setAside.first().first().toString();
        QCOMPARE(fileSha256Hex(aside), hash);
        QCOMPARE(asides(f), (QStringList { older[1], older[2], QFileInfo(aside).fileName() }));
        QCOMPARE(texts(f.archived()), QStringList { u"after"_s });
    }

    void atomicWriteLeavesNoTemporaryOnFailure()
    {
        QTemporaryDir dir;
        // A directory in the way of the rename: the temporary file is removed.
        const QString blocked = dir.filePath(u"blocked"_s);
        QVERIFY(QDir().mkpath(blocked + u"/child"_s));
        QVERIFY(!AtomicFile::write(blocked, QByteArray("x")));
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
};

QTEST_GUILESS_MAIN(tst_ClipStorePersistence)
#include "tst_ClipStorePersistence.moc"