// SPDX-License-Identifier: GPL-3.0-or-later
// The two Syncthing instances the sharing tests run on, proven on their own:
// what Quillstack does to the shared folder reaches the other side, and a
// Syncthing killed in the middle of a file ends with the whole file.
#include "SyncthingPair.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

enum class Change { Create, Append, Replace };

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool write(const QString &path, const QByteArray &data, Change change)
{
    QDir().mkpath(QFileInfo(path).path());
    if (change == Change::Replace) {
        // Written beside and renamed over, as a journal is compacted.
        QSaveFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
    }
    QFile file(path);
    const QIODevice::OpenMode mode
        = change == Change::Append ? QIODevice::Append : QIODevice::WriteOnly;
    return file.open(mode) && file.write(data) == data.size() && file.flush();
}

} // namespace

class tst_SyncthingPair : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void arrives_data();
    void arrives();
    void killedMidTransfer_data();
    void killedMidTransfer();

private:
    SyncthingPair m_pair;
};

void tst_SyncthingPair::initTestCase()
{
    QVERIFY2(m_pair.isValid(), qPrintable(m_pair.error()));
}

void tst_SyncthingPair::arrives_data()
{
    QTest::addColumn<SyncthingPair::Side>("from");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<Change>("change");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("a new file in a machine's folder, A to B")
        << SyncthingPair::A << u"m1/journal"_s << QByteArray() << Change::Create
        << QByteArray("line 1\n");
    QTest::newRow("a line appended, B to A")
        << SyncthingPair::B << u"m2/journal"_s << QByteArray("line 1\n") << Change::Append
        << QByteArray("line 1\nline 2\n");
    QTest::newRow("a file renamed over, A to B")
        << SyncthingPair::A << u"m3/journal"_s << QByteArray("old 1\nold 2\n") << Change::Replace
        << QByteArray("new\n");
    QTest::newRow("an image beside it, B to A")
        << SyncthingPair::B << u"m4/media/1.png"_s << QByteArray() << Change::Create
        << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10);
}

void tst_SyncthingPair::arrives()
{
    QFETCH(SyncthingPair::Side, from);
    QFETCH(QString, path);
    QFETCH(QByteArray, before);
    QFETCH(Change, change);
    QFETCH(QByteArray, after);
    const SyncthingPair::Side to = SyncthingPair::other(from);
    const QString source = m_pair.folder(from) + u'/' + path;
    const QString target = m_pair.folder(to) + u'/' + path;

    if (!before.isEmpty()) {
        QVERIFY(write(source, before, Change::Create));
        QTRY_COMPARE_WITH_TIMEOUT(contents(target), before, 60000);
    }
    const QByteArray written = change == Change::Append ? after.mid(before.size()) : after;
    QVERIFY(write(source, written, change));
    // Only the file watcher tells Syncthing: its next full scan is an hour away.
    QTRY_COMPARE_WITH_TIMEOUT(contents(target), after, 60000);
    QCOMPARE(m_pair.leftovers(to), QStringList());
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
    QVERIFY(write(source, data, Change::Create));

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
