// SPDX-License-Identifier: GPL-3.0-or-later
// Two machines sharing their history through two real Syncthing instances:
// each writes its sealed journal into its side of the folder and merges what
// the other's Syncthing delivers, whole or half-synced, crashed or not.
#include "SyncthingPair.h"
#include "sync/HybridClock.h"
#include "sync/MergedHistory.h"
#include "sync/SharedFolder.h"
#include "sync/SharedJournalReader.h"
#include "sync/SharedJournalWriter.h"
#include "sync/SharingKey.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString passphrase = u"correct horse battery staple"_s;

// One machine: its view of the shared folder, its key, its own journal, and
// the merge of its own events with every other machine's journal it read.
struct Machine
{
    Machine(const QString &root, const QString &keyFile)
        : shared(root, SharedFolder::newMachineId())
        , clock(shared.machine())
        , storedKey(keyFile)
    {
    }

    bool setUp(const QString &words, QString *error)
    {
        if (!SharingKey::setUp(shared.root(), shared.machine(), words, storedKey,
                SealedBox::minimumLimits(), error))
            return false;
        key = SharingKey::readStored(storedKey).value_or(SharingKey::Stored {}).key;
        writer = std::make_unique<SharedJournalWriter>(shared, key);
        QList<SyncEvent> written;
        if (!writer->open(&written, error))
            return false;
        for (const SyncEvent &event : std::as_const(written))
            take(event);
        return true;
    }

    bool write(SyncEvent event)
    {
        event.stamp = clock.next();
        history.apply(event);
        QString error;
        return writer->append({ event }, &error);
    }

    bool compact()
    {
        QList<SyncEvent> own;
        for (const MergedHistory::Entry &entry : history.entries()) {
            if (entry.content.machine != shared.machine())
                continue;
            SyncEvent put;
            put.op = SyncEvent::Op::put;
            put.stamp = entry.content;
            put.key = entry.clip.contentHash;
            put.clip = entry.clip;
            own.append(put);
        }
        QString error;
        return writer->compact(own, &error);
    }

    // Reads what is new in every other machine's journal; what a person
    // would see of the history then, sorted.
    QStringList shown()
    {
        for (const QByteArray &peer : shared.machines()) {
            if (peer == shared.machine())
                continue;
            auto reader = readers.try_emplace(peer, shared.journalPath(peer), peer).first;
            const SharedJournalReader::Batch batch = reader->second.read(key);
            damaged += batch.damaged;
            for (const SyncEvent &event : batch.events)
                take(event);
        }
        QStringList lines;
        for (const MergedHistory::Entry &entry : history.entries()) {
            if (entry.present())
                lines.append(
                    entry.clip.text.value_or(QString()) + (entry.kept ? u" (kept)"_s : QString()));
        }
        lines.sort();
        return lines;
    }

    void take(const SyncEvent &event)
    {
        clock.observe(event.stamp);
        history.apply(event);
    }

    SharedFolder shared;
    HybridClock clock;
    QString storedKey;
    QByteArray key;
    std::unique_ptr<SharedJournalWriter> writer;
    std::map<QByteArray, SharedJournalReader> readers;
    MergedHistory history;
    int damaged = 0;
};

QString hashOf(const QString &text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex());
}

} // namespace

class tst_SharingOverSyncthing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exchange_data();
    void exchange();
    void wrongPassphrase();

private:
    Machine &machine(SyncthingPair::Side side) { return *m_machines[side]; }

    SyncthingPair m_pair;
    QTemporaryDir m_homes;
    std::unique_ptr<Machine> m_machines[2];
};

void tst_SharingOverSyncthing::initTestCase()
{
    QVERIFY2(m_pair.isValid(), qPrintable(m_pair.error()));
    QVERIFY(m_homes.isValid());
    for (const SyncthingPair::Side side : { SyncthingPair::A, SyncthingPair::B }) {
        m_machines[side] = std::make_unique<Machine>(
            m_pair.folder(side), m_homes.filePath(u"key-%1"_s.arg(int(side))));
    }
    // The second machine adopts the first one's salt, once Syncthing has
    // brought its key record over.
    QString error;
    QVERIFY2(machine(SyncthingPair::A).setUp(passphrase, &error), qPrintable(error));
    const QString recordOnB = SharedFolder(m_pair.folder(SyncthingPair::B), {})
                                  .keyPath(machine(SyncthingPair::A).shared.machine());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(recordOnB), 60000);
    QVERIFY2(machine(SyncthingPair::B).setUp(passphrase, &error), qPrintable(error));
}

void tst_SharingOverSyncthing::exchange_data()
{
    QTest::addColumn<SyncthingPair::Side>("writer");
    QTest::addColumn<int>("killed"); // a side whose Syncthing is down meanwhile, or -1
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("seen");

    QTest::newRow("a copy on A appears on B")
        << SyncthingPair::A << -1 << u"put"_s << u"first copy"_s << QStringList { u"first copy"_s };
    QTest::newRow("a keep on B shows on A")
        << SyncthingPair::B << -1 << u"keep"_s << u"first copy"_s
        << QStringList { u"first copy (kept)"_s };
    QTest::newRow("copies on A while A's Syncthing is down")
        << SyncthingPair::A << int(SyncthingPair::A) << u"put"_s << u"second copy"_s
        << QStringList { u"first copy (kept)"_s, u"second copy"_s };
    QTest::newRow("copies on B while A's Syncthing is down")
        << SyncthingPair::B << int(SyncthingPair::A) << u"put"_s << u"third copy"_s
        << QStringList { u"first copy (kept)"_s, u"second copy"_s, u"third copy"_s };
    QTest::newRow("A's journal written anew")
        << SyncthingPair::A << -1 << u"compact"_s << QString()
        << QStringList { u"first copy (kept)"_s, u"second copy"_s, u"third copy"_s };
    QTest::newRow("a copy on A after that")
        << SyncthingPair::A << -1 << u"put"_s << u"fourth copy"_s
        << QStringList { u"first copy (kept)"_s, u"fourth copy"_s, u"second copy"_s,
               u"third copy"_s };
}

void tst_SharingOverSyncthing::exchange()
{
    QFETCH(SyncthingPair::Side, writer);
    QFETCH(int, killed);
    QFETCH(QString, change);
    QFETCH(QString, text);
    QFETCH(QStringList, seen);
    Machine &source = machine(writer);
    Machine &target = machine(SyncthingPair::other(writer));
    const auto down = SyncthingPair::Side(killed);

    if (killed >= 0)
        QVERIFY2(m_pair.kill(down), qPrintable(m_pair.error()));
    SyncEvent event;
    event.key = hashOf(text);
    if (change == u"put"_s) {
        event.op = SyncEvent::Op::put;
        event.clip.id = QUuid::createUuid();
        event.clip.createdAt = QDateTime::currentDateTimeUtc();
        event.clip.text = text;
        event.clip.preview = text;
        event.clip.contentHash = event.key;
        QVERIFY(source.write(event));
    } else if (change == u"keep"_s) {
        event.op = SyncEvent::Op::keep;
        event.kept = true;
        QVERIFY(source.write(event));
    } else {
        QVERIFY(source.compact());
    }
    QCOMPARE(source.shown(), seen);
    if (killed >= 0)
        QVERIFY2(m_pair.start(down), qPrintable(m_pair.error()));

    QTRY_COMPARE_WITH_TIMEOUT(target.shown(), seen, 60000);
    QCOMPARE(target.damaged, 0);
    for (const SyncthingPair::Side side : { SyncthingPair::A, SyncthingPair::B })
        QCOMPARE(m_pair.leftovers(side), QStringList());
}

void tst_SharingOverSyncthing::wrongPassphrase()
{
    // A third machine that shares B's Syncthing, set up with a passphrase
    // that is not the others'.
    Machine third(m_pair.folder(SyncthingPair::B), m_homes.filePath(u"key-third"_s));
    QString error;
    QVERIFY(!third.setUp(u"not the passphrase"_s, &error));
    QVERIFY2(error.contains(u"passphrase"_s), qPrintable(error));
    QVERIFY(!QFile::exists(third.storedKey));
    // Nothing was written into the shared folder, so nothing of it can
    // reach the other machines.
    QStringList ids { QString::fromLatin1(machine(SyncthingPair::A).shared.machine()),
        QString::fromLatin1(machine(SyncthingPair::B).shared.machine()) };
    ids.sort();
    QCOMPARE(
        QDir(m_pair.folder(SyncthingPair::B)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
        ids);
    QCOMPARE(machine(SyncthingPair::B).shown(), machine(SyncthingPair::A).shown());
    QCOMPARE(machine(SyncthingPair::B).damaged, 0);
}

QTEST_GUILESS_MAIN(tst_SharingOverSyncthing)
#include "tst_SharingOverSyncthing.moc"
