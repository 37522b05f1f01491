// SPDX-License-Identifier: GPL-3.0-or-later
// Two Quillstack programs as on two machines: each with its own home, X
// server and session bus, sharing turned on in its settings file, their
// shared folders carried by two Syncthing instances. A copy on one is in the
// other's history, also when a Syncthing was down meanwhile.
#include "ClipboardTools.h"
#include "QuillstackProcess.h"
#include "SyncthingPair.h"
#include "X11TestTools.h"
#include "model/ClipArchive.h"
#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "sync/SharedFolder.h"
#include "sync/SharingKey.h"
#include "sync/SharingSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QUuid>

#include <csignal>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString passphrase = u"correct horse battery staple"_s;

QString dataDir(const QuillstackProcess &program)
{
    return program.home.filePath(u"data"_s);
}

// Turns sharing on in the program's settings file and keeps the key of the
// passphrase where the settings window would; the machine's id.
QByteArray shareThrough(QuillstackProcess &program, const QString &folder, QString *error)
{
    Defaults defaults(Defaults::userSettingsFile(program.home.filePath(u"config"_s)));
    SharingSettings sharing(defaults);
    sharing.setEnabled(true);
    sharing.setFolder(folder);
    sharing.setScope(SyncEngine::Scope::all);
    const QByteArray id = sharing.machineId();
    if (!SharingKey::setUp(folder, id, passphrase, SharingSettings::keyPath(dataDir(program)),
            SealedBox::minimumLimits(), error))
        return {};
    return id;
}

// The texts of the running program's history, as `--list --json` prints them.
QStringList history(const QuillstackProcess &program)
{
    const QuillstackProcess::Result listed = program.run({ u"--list"_s, u"100"_s, u"--json"_s });
    QStringList texts;
    for (const QJsonValue &row : QJsonDocument::fromJson(listed.out.toUtf8()).array())
        texts.append(row[QLatin1String("preview")].toString());
    return texts;
}

} // namespace

class tst_SharingX11 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void copyArrives_data();
    void copyArrives();
    void statusTellsTheOther_data();
    void statusTellsTheOther();

private:
    SyncthingPair m_pair;
    // A runs on the test's own X server and bus; B in a private X11 session
    // of its own (tests/support/x11-harness.sh), as another machine.
    QuillstackProcess m_a;
    QuillstackProcess m_b;
    QByteArray m_idA;
};

void tst_SharingX11::initTestCase()
{
    QVERIFY2(m_pair.isValid(), qPrintable(m_pair.error()));
    QString error;
    m_idA = shareThrough(m_a, m_pair.folder(SyncthingPair::A), &error);
    const QByteArray &idA = m_idA;
    QVERIFY2(!idA.isEmpty(), qPrintable(error));
    // B adopts A's salt once Syncthing has brought A's key record over.
    QTRY_VERIFY_WITH_TIMEOUT(
        QFile::exists(SharedFolder(m_pair.folder(SyncthingPair::B), {}).keyPath(idA)), 60000);
    const QByteArray idB = shareThrough(m_b, m_pair.folder(SyncthingPair::B), &error);
    QVERIFY2(!idB.isEmpty(), qPrintable(error));

    m_a.start();
    // B's session tells its display and bus, for asking B from here.
    const QString session = m_b.home.filePath(u"session"_s);
    m_b.program.setArguments({ u"sh"_s, u"-c"_s,
        uR"(printf '%s\n%s\n' "$DISPLAY" "$DBUS_SESSION_BUS_ADDRESS" >"$0.new" && mv "$0.new" "$0"
            "$1" & program=$!
            # It ends with the test, however the test ends.
            while kill -0 "$2" && kill -0 "$program"; do sleep 0.5; done 2>/dev/null
            kill "$program" 2>/dev/null; wait "$program")"_s,
        session, m_b.program.program(), QString::number(QCoreApplication::applicationPid()) });
    m_b.program.setProgram(QStringLiteral(QS_X11_HARNESS));
    // Its own process group, so that ending it ends its X server too.
    m_b.program.setChildProcessModifier([] { ::setpgid(0, 0); });
    m_b.start();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(session), 60000);
    QFile file(session);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLocal8Bit(file.readAll()).split(u'\n');
    QCOMPARE(lines.size(), 3);
    m_b.environment.insert(u"DISPLAY"_s, lines[0]);
    m_b.environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, lines[1]);
    // Each program writes its journal into the folder as sharing starts;
    // once each has the other's, both run and Syncthing carries.
    QTRY_VERIFY_WITH_TIMEOUT(
        QFile::exists(SharedFolder(m_pair.folder(SyncthingPair::B), {}).journalPath(idA)), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(
        QFile::exists(SharedFolder(m_pair.folder(SyncthingPair::A), {}).journalPath(idB)), 60000);
}

void tst_SharingX11::cleanupTestCase()
{
    m_a.run({ u"--quit"_s });
    m_a.program.waitForFinished(30000);
    if (m_b.program.state() != QProcess::NotRunning) {
        ::kill(-pid_t(m_b.program.processId()), SIGTERM);
        m_b.program.waitForFinished(30000);
    }
}

void tst_SharingX11::copyArrives_data()
{
    QTest::addColumn<int>("killed"); // a side whose Syncthing is down meanwhile, or -1
    QTest::addColumn<int>("copies");

    QTest::newRow("a copy on A") << -1 << 1;
    QTest::newRow("copies on A while B's Syncthing is down") << int(SyncthingPair::B) << 3;
    QTest::newRow("copies on A while A's Syncthing is down") << int(SyncthingPair::A) << 2;
}

void tst_SharingX11::copyArrives()
{
    QFETCH(int, killed);
    QFETCH(int, copies);
    const auto down = SyncthingPair::Side(killed);

    if (killed >= 0)
        QVERIFY2(m_pair.kill(down), qPrintable(m_pair.error()));
    QStringList copied;
    for (int i = 0; i < copies; ++i) {
        copied.append(u"shared %1"_s.arg(QUuid::createUuid().toString(QUuid::WithoutBraces)));
        QVERIFY(ClipboardTools::copyWithXclip(copied.last().toUtf8()));
        // A has it before the next copy replaces the clipboard.
        // Listing takes a while: waited by the clock, not by a count of turns.
        QVERIFY(waitFor([&] { return history(m_a).contains(copied.last()); }, 30000));
    }
    if (killed >= 0)
        QVERIFY2(m_pair.start(down), qPrintable(m_pair.error()));

    const auto arrived = [&] {
        const QStringList onB = history(m_b);
        return std::all_of(copied.cbegin(), copied.cend(),
            [&](const QString &text) { return onB.contains(text); });
    };
    // On the file system's word: B's own rescan of the folder is a minute away.
    QVERIFY(waitFor(arrived, 40000));
    for (const SyncthingPair::Side side : { SyncthingPair::A, SyncthingPair::B })
        QCOMPARE(m_pair.leftovers(side), QStringList());
}

void tst_SharingX11::statusTellsTheOther_data()
{
    QTest::addColumn<bool>("otherPassphrase");
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("clips");
    QTest::addColumn<int>("exitCode");

    // After the copies above, all made on A.
    QTest::newRow("B") << false << u"ok"_s << 6 << 0;
    QTest::newRow("a machine beside B whose key is of another passphrase")
        << true << u"wrong-passphrase"_s << 0 << 1;
}

void tst_SharingX11::statusTellsTheOther()
{
    QFETCH(bool, otherPassphrase);
    QFETCH(QString, state);
    QFETCH(int, clips);
    QFETCH(int, exitCode);

    QuillstackProcess beside;
    if (otherPassphrase) {
        // The folder's salt, and a key from a passphrase the others do not use.
        const QString folder = m_pair.folder(SyncthingPair::B);
        const auto record = SharingKey::parseRecord(
            SharingKey::readSharedFile(SharedFolder(folder, {}).keyPath(m_idA), 4096)
                .value_or(QByteArray()));
        QVERIFY(record);
        const auto key
            = SealedBox::deriveKey(u"another passphrase"_s, record->salt, record->limits);
        QVERIFY(key);
        Defaults defaults(Defaults::userSettingsFile(beside.home.filePath(u"config"_s)));
        SharingSettings sharing(defaults);
        sharing.setEnabled(true);
        sharing.setFolder(folder);
        QString error;
        QVERIFY2(SharingKey::writeStored(
                     SharingSettings::keyPath(dataDir(beside)), { record->salt, *key }, &error),
            qPrintable(error));
    }
    const QuillstackProcess::Result status
        = (otherPassphrase ? beside : m_b).run({ u"--sync-status"_s, u"--json"_s });
    QCOMPARE(status.exitCode, exitCode);
    QJsonObject machineA;
    for (const QJsonValue &machine :
        QJsonDocument::fromJson(status.out.toUtf8())[u"machines"_s].toArray()) {
        if (machine[u"id"_s].toString() == QString::fromLatin1(m_idA))
            machineA = machine.toObject();
    }
    QCOMPARE(machineA[u"state"_s].toString(), state);
    QCOMPARE(machineA[u"clips"_s].toInt(), clips);
}

QTEST_MAIN(tst_SharingX11)
#include "tst_SharingX11.moc"
