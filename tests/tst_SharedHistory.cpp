// SPDX-License-Identifier: GPL-3.0-or-later
// The shared folder as another machine finds it: sealed lines, torn or
// tampered ones, a wrong passphrase; and two machines sharing one folder.
#include "StoreFixture.h"
#include "model/AtomicFile.h"
#include "model/SettingsKeys.h"
#include "sync/FolderScanner.h"
#include "sync/SharedJournalWriter.h"
#include "sync/SharingSettings.h"
#include "sync/SharingStatus.h"
#include "sync/SyncEngine.h"

#include <QDirIterator>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QByteArray machineA = QByteArray(32, 'a');
const QByteArray machineB = QByteArray(32, 'b');
const QByteArray machineC = QByteArray(32, 'c');
const QString passphrase = QStringLiteral("correct horse battery staple");

SyncEvent putText(const QString &text, qint64 wall)
{
    SyncEvent event;
    event.op = SyncEvent::Op::put;
    event.stamp = { wall, 0, machineA };
    event.key = sha256Hex(text.toUtf8());
    event.clip.id = QUuid::createUuid();
    event.clip.createdAt = QDateTime::fromSecsSinceEpoch(wall / 1000, Qt::UTC);
    event.clip.text = text;
    event.clip.preview = text;
    event.clip.contentHash = event.key;
    return event;
}

// Its line is longer than the block the reader reads at a time.
QString longBeta()
{
    return u"beta "_s + QString(700'000, QChar(0x3b2));
}

QStringList textsOf(const QList<SyncEvent> &events)
{
    QStringList out;
    for (const SyncEvent &event : events)
        out.append(event.clip.text.value_or(QString()));
    return out;
}

QString storedKeyPath(const QTemporaryDir &dir, const QByteArray &machine)
{
    return dir.filePath(QStringLiteral("keys/") + QString::fromLatin1(machine));
}

// A machine set up in the shared folder with the passphrase.
SharingKey::Stored setUpMachine(const QTemporaryDir &dir, const QString &folder,
    const QByteArray &machine, const QString &words = passphrase)
{
    QString error;
    if (!SharingKey::setUp(folder, machine, words, storedKeyPath(dir, machine),
            SealedBox::minimumLimits(), &error))
        qWarning().noquote() << error;
    return SharingKey::readStored(storedKeyPath(dir, machine)).value_or(SharingKey::Stored {});
}

// Every file below `folder`, whole.
QList<QByteArray> everyFile(const QString &folder)
{
    QList<QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(readFile(it.next()));
    return files;
}

} // namespace

class tst_SharedHistory : public QObject
{
    Q_OBJECT

private slots:
    void readingAnotherMachine_data();
    void readingAnotherMachine();
    void twoMachinesShareOneHistory();
};

enum class Fault {
    none,
    tornLastLine,
    tamperedLine,
    swappedLines,
    lineFromAnotherFile,
    wrongPassphrase
};

void tst_SharedHistory::readingAnotherMachine_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("damaged");

    const QStringList all { u"alpha"_s, longBeta(), u"gamma"_s };
    QTest::newRow("whole") << Fault::none << all << u"ok"_s << 0;
    QTest::newRow("torn last line is left for later")
        << Fault::tornLastLine << QStringList { u"alpha"_s, longBeta() } << u"ok"_s << 0;
    QTest::newRow("tampered line is damage, the others are read")
        << Fault::tamperedLine << QStringList { u"alpha"_s, u"gamma"_s } << u"damaged"_s << 1;
    QTest::newRow("lines moved do not open")
        << Fault::swappedLines << QStringList { u"gamma"_s } << u"damaged"_s << 2;
    QTest::newRow("a line from another journal does not open")
        << Fault::lineFromAnotherFile << QStringList { u"alpha"_s, longBeta() } << u"damaged"_s
        << 1;
    QTest::newRow("wrong passphrase is told, not taken for damage")
        << Fault::wrongPassphrase << QStringList {} << u"wrong-passphrase"_s << 0;
}

void tst_SharedHistory::readingAnotherMachine()
{
    QFETCH(Fault, fault);
    QFETCH(QStringList, expected);
    QFETCH(QString, state);
    QFETCH(int, damaged);

    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Sync/Quillstack"));
    const SharingKey::Stored keyA = setUpMachine(dir, folder, machineA);
    const SharingKey::Stored keyB = setUpMachine(dir, folder, machineB,
        fault == Fault::wrongPassphrase ? QStringLiteral("Correct horse battery staple")
                                        : passphrase);
    QCOMPARE(keyA.key.size(), SealedBox::keyBytes);
    if (fault == Fault::wrongPassphrase) {
        // Told at set-up, and nothing of B's is written.
        QVERIFY(keyB.key.isEmpty());
        QVERIFY(!QFileInfo::exists(SharedFolder(folder, machineB).keyPath(machineB)));
    }
    SharedJournalWriter writer(SharedFolder(folder, machineA), keyA.key);
    QList<SyncEvent> written;
    QString error;
    QVERIFY2(writer.open(&written, &error), qPrintable(error));
    QVERIFY(written.isEmpty());
    const QList<SyncEvent> events { putText(u"alpha"_s, 1'000'000), putText(longBeta(), 2'000'000),
        putText(u"gamma"_s, 3'000'000) };
    QVERIFY2(writer.append(events, &error), qPrintable(error));

    const QString journal = SharedFolder(folder, machineA).journalPath(machineA);
    const QByteArray whole = readFile(journal);
    QList<QByteArray> lines = whole.split('\n');
    QCOMPARE(lines.size(), 5); // header, three lines, nothing after the last line feed
    switch (fault) {
    case Fault::tornLastLine:
        writeFile(journal, whole.left(whole.size() - 20));
        break;
    case Fault::tamperedLine:
        lines[2][10] = lines[2][10] == 'A' ? 'B' : 'A';
        writeFile(journal, lines.join('\n'));
        break;
    case Fault::swappedLines:
        std::swap(lines[1], lines[2]);
        writeFile(journal, lines.join('\n'));
        break;
    case Fault::lineFromAnotherFile: {
        // The same event sealed for another machine's journal, same key.
        SharedJournalWriter other(SharedFolder(folder, machineC), keyA.key);
        QList<SyncEvent> none;
        QVERIFY(other.open(&none, &error));
        QVERIFY(other.append({ events[2] }, &error));
        lines[3] = readFile(SharedFolder(folder, machineC).journalPath(machineC)).split('\n')[1];
        writeFile(journal, lines.join('\n'));
        QDir(SharedFolder(folder, machineC).machinePath(machineC)).removeRecursively();
        break;
    }
    case Fault::none:
    case Fault::wrongPassphrase:
        break;
    }

    // B reads with its own key; with the wrong passphrase it has none, so it
    // reads with a key made from the wrong words and A's salt.
    SharingKey::Stored reading = keyB;
    if (fault == Fault::wrongPassphrase) {
        reading.salt = keyA.salt;
        reading.key = *SealedBox::deriveKey(
            QStringLiteral("Correct horse battery staple"), keyA.salt, SealedBox::minimumLimits());
    }
    FolderScanner scanner(SharedFolder(folder, machineB), reading, QString());
    FolderScanner::Scan scan = scanner.scan();
    QCOMPARE(textsOf(scan.events), expected);
    QCOMPARE(scan.machines.size(), 1 + (fault == Fault::wrongPassphrase ? 0 : 1));
    QCOMPARE(MachineStatus::stateName(scan.machines[0].state), state);
    QCOMPARE(scan.machines[0].damagedLines, damaged);

    if (fault == Fault::tornLastLine) {
        // Once the rest of the line arrives it is read, and nothing twice.
        writeFile(journal, whole);
        scan = scanner.scan();
        QCOMPARE(textsOf(scan.events), QStringList { u"gamma"_s });
        QCOMPARE(scan.machines[0].damagedLines, 0);
    }
}

void tst_SharedHistory::twoMachinesShareOneHistory()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Sync/Quillstack"));
    StoreFixture a;
    StoreFixture b;
    a.now = QDateTime(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);
    b.now = a.now.addSecs(3 * 3600); // B's clock is three hours ahead
    ClipStore &storeA = a.open();
    ClipStore &storeB = b.open();
    const SharingKey::Stored keyA = setUpMachine(dir, folder, machineA);
    const SharingKey::Stored keyB = setUpMachine(dir, folder, machineB);
    QCOMPARE(keyA.salt, keyB.salt);
    qint64 wallA = a.now.toMSecsSinceEpoch();
    qint64 wallB = b.now.toMSecsSinceEpoch();
    SyncEngine engineA(storeA,
        { folder, machineA, keyA, SyncEngine::Scope::kept, QStringLiteral("laptop"), 12 },
        [&] { return wallA; });
    SyncEngine engineB(storeB,
        { folder, machineB, keyB, SyncEngine::Scope::kept, QStringLiteral("desktop") },
        [&] { return wallB; });
    const auto exchange = [&] {
        engineA.finish();
        engineB.finish();
        engineA.rescan();
        engineB.rescan();
        engineA.finish();
        engineB.finish();
    };
    storeB.add(StoreFixture::text(QStringLiteral("on B before sharing")));
    engineA.start();
    engineB.start();

    // Kept clips only: an unkept copy stays on its machine; keeping it shares it.
    storeA.add(StoreFixture::text(QStringLiteral("secret-free words")));
    storeA.add(StoreFixture::text(QStringLiteral("only on A")));
    exchange();
    QCOMPARE(texts(storeB.clips()), QStringList { u"on B before sharing"_s });
    const QUuid wordsOnA = storeA.clips()[1].id;
    wallA += 1000;
    storeA.setKept(wordsOnA, true);
    exchange();
    // Placed by its date (B's clock is ahead, so after B's own), kept; the
    // clipboard's clip stays first.
    QCOMPARE(
        texts(storeB.clips()), (QStringList { u"on B before sharing"_s, u"secret-free words"_s }));
    QVERIFY(storeB.clips()[1].isKept);
    QCOMPARE(storeB.clips()[1].createdAt, a.now);
    // B's own files hold it in the same place for its next start.
    QCOMPARE(b.onDisk(), storeB.clips());

    // Edit on B shows on A, as the same clip.
    const QUuid wordsOnB = storeB.clips()[1].id;
    wallB += 1000;
    storeB.updateText(wordsOnB, QStringLiteral("words, edited on B"), {}, {});
    exchange();
    QCOMPARE(storeA.clip(wordsOnA)->text, QStringLiteral("words, edited on B"));

    // Unkept on A and deleted on B at the same moment: the delete saw
    // nothing of the unkeeping, and an unkeeping keeps nothing alive.
    wallA += 1000;
    wallB += 1000;
    storeA.setKept(wordsOnA, false);
    storeB.deleteClip(wordsOnB);
    exchange();
    QVERIFY(!storeA.clip(wordsOnA));
    QVERIFY(!storeB.clip(wordsOnB));
    QCOMPARE(texts(storeA.clips()), QStringList { u"only on A"_s });

    // Both machines see each other: where each clip came from, when each
    // was last heard from.
    const QUuid onlyOnA = storeA.clips()[0].id;
    wallA += 1000;
    storeA.setKept(onlyOnA, true);
    exchange();
    QCOMPARE(texts(storeB.clips()), (QStringList { u"on B before sharing"_s, u"only on A"_s }));
    const QList<MachineStatus> seenByB = engineB.machines();
    QCOMPARE(seenByB.size(), 2);
    QCOMPARE(seenByB[0].id, machineA);
    QCOMPARE(seenByB[0].name, u"laptop"_s);
    QCOMPARE(seenByB[0].state, MachineStatus::State::ok);
    QCOMPARE(seenByB[0].clips, 1);
    const QDateTime heard = seenByB[0].lastHeard;
    QVERIFY(heard.isValid() && heard <= QDateTime::currentDateTimeUtc());
    QCOMPARE(heard, QFileInfo(SharedFolder(folder, machineA).journalPath(machineA)).lastModified());
    QCOMPARE(seenByB[1].state, MachineStatus::State::self);
    QCOMPARE(seenByB[1].clips, 0);

    // A's journal, once it holds far more lines than it needs, is written
    // anew; a machine reading the folder from scratch sees the same history.
    const QString journalA = SharedFolder(folder, machineA).journalPath(machineA);
    for (int i = 0; i < 32; ++i) {
        wallA += 1000;
        storeA.setKept(onlyOnA, i % 2 == 1);
    }
    exchange();
    QVERIFY(readFile(journalA).count('\n') < 20);
    QVERIFY(storeB.clip(storeB.clips()[1].id)->isKept);
    FolderScanner fresh(SharedFolder(folder, machineC), keyA, QString());
    MergedHistory fromScratch;
    for (const SyncEvent &event : fresh.scan().events)
        fromScratch.apply(event);
    QStringList present;
    for (const MergedHistory::Entry &entry : fromScratch.entries()) {
        if (entry.present())
            present.append(*entry.clip.text + (entry.kept ? u" (kept)"_s : QString()));
    }
    QCOMPARE(present, QStringList { u"only on A (kept)"_s });

    // The same from the files alone, as `--sync-status` prints it; a third
    // machine with another passphrase is told, and fails the status.
    Defaults settingsB(dir.filePath(u"b.ini"_s));
    SharingSettings sharingB(settingsB);
    sharingB.setEnabled(true);
    sharingB.setFolder(folder);
    settingsB.setObject(
        QLatin1String(SettingsKeys::sharingMachineId), QString::fromLatin1(machineB));
    QString error;
    QVERIFY(SharingKey::writeStored(SharingSettings::keyPath(b.supportDir()), keyB, &error));
    const QString statusLineA
        = u"machine\t%1\tlaptop\t%2\t1\tok\n"_s.arg(QString::fromLatin1(machineA),
            QFileInfo(journalA).lastModified().toUTC().toString(Qt::ISODate));
    SharingStatus::Report report = SharingStatus::read(settingsB, b.supportDir());
    QVERIFY2(SharingStatus::asText(report).contains(statusLineA),
        qPrintable(SharingStatus::asText(report)));
    QCOMPARE(SharingStatus::exitCode(report), 0);
    const SharedFolder shared(folder, machineC);
    QVERIFY(AtomicFile::makePrivateDir(shared.machinePath(machineC)));
    const QByteArray otherKey
        = *SealedBox::deriveKey(u"another"_s, keyA.salt, SealedBox::minimumLimits());
    QVERIFY(AtomicFile::write(shared.keyPath(machineC),
        SharingKey::recordBytes(
            SharingKey::makeRecord(otherKey, keyA.salt, SealedBox::minimumLimits(), machineC))));
    report = SharingStatus::read(settingsB, b.supportDir());
    QCOMPARE(report.machines.size(), 3);
    QCOMPARE(report.machines[2].state, MachineStatus::State::wrongPassphrase);
    QCOMPARE(report.machines[2].damagedLines, 0);
    QCOMPARE(SharingStatus::exitCode(report), 1);
    QSignalSpy told(&engineB, &SyncEngine::problem);
    engineB.rescan();
    engineB.finish();
    QCOMPARE(told.size(), 1);
    QCOMPARE(texts(storeB.clips()), (QStringList { u"on B before sharing"_s, u"only on A"_s }));

    // An image travels sealed, and arrives whole.
    const QByteArray png
        = QByteArray("\x89PNG\r\n\x1a\n") + QByteArray(3000, 'p') + "picture-bytes";
    storeA.add(StoreFixture::image(png));
    wallA += 1000;
    storeA.setKept(storeA.clips()[0].id, true);
    exchange();
    const auto picture = std::find_if(storeB.clips().cbegin(), storeB.clips().cend(),
        [](const Clip &clip) { return clip.kind == ClipKind::image; });
    QVERIFY(picture != storeB.clips().cend());
    QVERIFY(picture->isKept);
    QCOMPARE(storeB.imageData(*picture), png);

    // Nothing in the folder is plaintext.
    const QList<QByteArray> files = everyFile(folder);
    QVERIFY(files.size() >= 4);
    for (const QByteArray &file : files) {
        for (const char *text :
            { "secret-free", "edited on B", "only on A", "laptop", "picture-bytes" })
            QVERIFY2(!file.contains(text), text);
    }
}

QTEST_GUILESS_MAIN(tst_SharedHistory)
#include "tst_SharedHistory.moc"
