// SPDX-License-Identifier: GPL-3.0-or-later
// Two machines sharing their history through two real Syncthing instances:
// each one's engine writes its sealed journal into its side of the folder
// and, told by the file system as Syncthing delivers the other's, merges it
// into its own history, also after one Syncthing was killed.
#include "StoreFixture.h"
#include "SyncthingPair.h"
#include "sync/SharedFolder.h"
#include "sync/SyncEngine.h"

#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString passphrase = u"correct horse battery staple"_s;

// One machine: its history and the engine that shares it.
struct Machine
{
    QByteArray id = SharedFolder::newMachineId();
    StoreFixture files;
    std::unique_ptr<SyncEngine> engine;

    QString storedKey() const { return files.dir.filePath(u"sharing/key"_s); }

    bool setUp(const QString &folder, const QString &words, QString *error)
    {
        if (!SharingKey::setUp(folder, id, words, storedKey(), SealedBox::minimumLimits(), error))
            return false;
        ClipStore &store = files.open();
        engine = std::make_unique<SyncEngine>(store,
            SyncEngine::Options { folder, id, *SharingKey::readStored(storedKey()),
                SyncEngine::Scope::all, QString::fromLatin1(id.left(8)) });
        engine->start();
        return true;
    }

    // What a person sees of the history: each clip's text and mark, sorted
    // (each machine keeps its own clipboard's clip first).
    QStringList shown() const
    {
        QStringList lines;
        for (const Clip &clip : files.store->clips())
            lines.append(
                clip.text.value_or(clip.preview) + (clip.isKept ? u" (kept)"_s : QString()));
        lines.sort();
        return lines;
    }

    QUuid idOf(const QString &text) const
    {
        for (const Clip &clip : files.store->clips()) {
            if (clip.text == text)
                return clip.id;
        }
        return {};
    }
};

} // namespace

class tst_SharingOverSyncthing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exchange_data();
    void exchange();

private:
    Machine &machine(SyncthingPair::Side side) { return m_machines[side]; }

    SyncthingPair m_pair;
    Machine m_machines[2];
};

void tst_SharingOverSyncthing::initTestCase()
{
    QVERIFY2(m_pair.isValid(), qPrintable(m_pair.error()));
    // The second machine adopts the first one's salt, once Syncthing has
    // brought its key record over.
    QString error;
    QVERIFY2(machine(SyncthingPair::A).setUp(m_pair.folder(SyncthingPair::A), passphrase, &error),
        qPrintable(error));
    const QString recordOnB
        = SharedFolder(m_pair.folder(SyncthingPair::B), {}).keyPath(machine(SyncthingPair::A).id);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(recordOnB), 60000);
    QVERIFY2(machine(SyncthingPair::B).setUp(m_pair.folder(SyncthingPair::B), passphrase, &error),
        qPrintable(error));
}

void tst_SharingOverSyncthing::exchange_data()
{
    QTest::addColumn<SyncthingPair::Side>("writer");
    QTest::addColumn<int>("killed"); // a side whose Syncthing is down meanwhile, or -1
    QTest::addColumn<bool>("keep"); // keeps the clip rather than copying it
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("seen");

    // A copy on A and a keep on B, also with either Syncthing down, are
    // shown by the programs themselves in tst_SharingX11.
    QTest::newRow("a copy on B while A's Syncthing is down")
        << SyncthingPair::B << int(SyncthingPair::A) << false << u"first copy"_s
        << QStringList { u"first copy"_s };
    QTest::newRow("a keep on A while B's Syncthing is down")
        << SyncthingPair::A << int(SyncthingPair::B) << true << u"first copy"_s
        << QStringList { u"first copy (kept)"_s };
}

void tst_SharingOverSyncthing::exchange()
{
    QFETCH(SyncthingPair::Side, writer);
    QFETCH(int, killed);
    QFETCH(bool, keep);
    QFETCH(QString, text);
    QFETCH(QStringList, seen);
    Machine &source = machine(writer);
    Machine &target = machine(SyncthingPair::other(writer));
    const auto down = SyncthingPair::Side(killed);

    if (killed >= 0)
        QVERIFY2(m_pair.kill(down), qPrintable(m_pair.error()));
    if (keep)
        source.files.store->setKept(source.idOf(text), true);
    else
        source.files.store->add(StoreFixture::text(text));
    source.engine->finish();
    QCOMPARE(source.shown(), seen);
    if (killed >= 0)
        QVERIFY2(m_pair.start(down), qPrintable(m_pair.error()));

    // Only the file system's notifications tell the engine: its own rescan
    // is a minute away.
    QTRY_COMPARE_WITH_TIMEOUT(target.shown(), seen, 40000);
    for (const MachineStatus &status : target.engine->machines())
        QCOMPARE(
            MachineStatus::stateName(status.state), status.id == target.id ? u"self"_s : u"ok"_s);
    for (const SyncthingPair::Side side : { SyncthingPair::A, SyncthingPair::B })
        QCOMPARE(m_pair.leftovers(side), QStringList());
}

QTEST_GUILESS_MAIN(tst_SharingOverSyncthing)
#include "tst_SharingOverSyncthing.moc"
