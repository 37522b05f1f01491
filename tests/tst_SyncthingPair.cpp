// SPDX-License-Identifier: GPL-3.0-or-later
// The two Syncthing instances the sharing tests run on, proven on their own
// where those tests do not show it: a file renamed over reaches the other
// side, and a Syncthing killed in the middle of a file ends with it whole.
#include "SyncthingPair.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Written beside and renamed over, as a journal is compacted.
bool write(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
}

} // namespace

class tst_SyncthingPair : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void replacedFileArrives();
    void killedMidTransfer_data();
    void killedMidTransfer();

private:
    SyncthingPair m_pair;
};

void tst_SyncthingPair::initTestCase()
{
    QVERIFY2(m_pair.isValid(), qPrintable(m_pair.error()));
}

// As a compaction leaves a journal; new files and appended lines cross in
// every sharing test.
void tst_SyncthingPair::replacedFileArrives()
{
    const QString source = m_pair.folder(SyncthingPair::A) + u"/m1/journal"_s;
    const QString target = m_pair.folder(SyncthingPair::B) + u"/m1/journal"_s;
    QVERIFY(write(source, "old 1\nold 2\n"));
    QTRY_COMPARE_WITH_TIMEOUT(contents(target), QByteArray("old 1\nold 2\n"), 60000);
    QVERIFY(write(source, "new\n"));
    // Only the file watcher tells Syncthing: its next full scan is an hour away.
    QTRY_COMPARE_WITH_TIMEOUT(contents(target), QByteArray("new\n"), 60000);
    QCOMPARE(m_pair.leftovers(SyncthingPair::B), QStringList());
}

void tst_SyncthingPair::killedMidTransfer_data()
{
    QTest::addColumn<SyncthingPair::Side>("killed");
    QTest::addColumn<QString>("name");

    QTest::newRow("the receiving side") << SyncthingPair::B << u"big-1.bin"_s;
    QTest::newRow("the sending side") << SyncthingPair::A << u"big-2.bin"_s;
}

void tst_SyncthingPair::killedMidTransfer()
{
    QFETCH(SyncthingPair::Side, killed);
    QFETCH(QString, name);
    const QString source = m_pair.folder(SyncthingPair::A) + u'/' + name;
    const QString target = m_pair.folder(SyncthingPair::B) + u'/' + name;
    const QString partial = m_pair.folder(SyncthingPair::B) + u"/.syncthing."_s + name + u".tmp"_s;

    // Sending slowly makes the transfer last however fast the machine is:
    // 4 MiB at 256 KiB/s takes some sixteen seconds.
    QVERIFY2(m_pair.limitSending(SyncthingPair::A, 256), qPrintable(m_pair.error()));
    QByteArray data(4 << 20, Qt::Uninitialized);
    QRandomGenerator random(name.size() + killed);
    random.fillRange(reinterpret_cast<quint32 *>(data.data()), data.size() / sizeof(quint32));
    QVERIFY(write(source, data));

    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(partial).size() > 0, 60000);
    QVERIFY2(m_pair.kill(killed), qPrintable(m_pair.error()));
    QVERIFY(!m_pair.get(killed, u"/rest/system/ping"_s));
    QVERIFY2(!QFile::exists(target), "the transfer ended before the kill");

    QVERIFY2(m_pair.start(killed), qPrintable(m_pair.error()));
    QVERIFY2(m_pair.limitSending(SyncthingPair::A, 0), qPrintable(m_pair.error()));
    QTRY_VERIFY_WITH_TIMEOUT(m_pair.inSync(), 120000);
    QCOMPARE(QCryptographicHash::hash(contents(target), QCryptographicHash::Sha256),
        QCryptographicHash::hash(data, QCryptographicHash::Sha256));
    QCOMPARE(m_pair.leftovers(SyncthingPair::A), QStringList());
    QCOMPARE(m_pair.leftovers(SyncthingPair::B), QStringList());
}

QTEST_GUILESS_MAIN(tst_SyncthingPair)
#include "tst_SyncthingPair.moc"
