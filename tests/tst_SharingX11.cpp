// SPDX-License-Identifier: GPL-3.0-or-later
// Two Quillstack programs as on two machines: each with its own home, X
// server and session bus, sharing turned on in its settings file, their
// shared folders carried by two Syncthing instances. A copy on one is in the
// other's history, also when a Syncthing was down meanwhile; a keep made in
// one's panel shows in the other's; a machine with another passphrase is
// told so and keeps its own history as it was.
#include "ClipboardTools.h"
#include "QuillstackProcess.h"
#include "StoreFixture.h"
#include "SyncthingPair.h"
#include "X11TestTools.h"
#include "model/ClipArchive.h"
#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "model/Settings.h"
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

// Turns sharing on in the program's settings file, for every clip; the
// machine's id.
QByteArray turnOnSharing(QuillstackProcess &program, const QString &folder)
{
    Defaults defaults(Defaults::userSettingsFile(program.home.filePath(u"config"_s)));
    SharingSettings sharing(defaults);
    sharing.setEnabled(true);
    sharing.setFolder(folder);
    sharing.setScope(SyncEngine::Scope::all);
    return sharing.machineId();
}

// The same, keeping the key of the passphrase where the settings window would.
QByteArray shareThrough(QuillstackProcess &program, const QString &folder, QString *error)
{
    const QByteArray id = turnOnSharing(program, folder);
    if (!SharingKey::setUp(folder, id, passphrase, SharingSettings::keyPath(dataDir(program)),
            SealedBox::minimumLimits(), error))
        return {};
    return id;
}

// The running program's history as `--list --json` prints it, newest first,
// with the kept clips marked.
QStringList history(const QuillstackProcess &program)
{
    QStringList texts;
    const QuillstackProcess::Result listed = program.run({ u"--list"_s, u"100"_s, u"--json"_s });
    for (const QJsonValue &row : QJsonDocument::fromJson(listed.out.toUtf8()).array())
        texts.append(
            row[u"preview"_s].toString() + (row[u"kept"_s].toBool() ? u" (kept)"_s : u""_s));
    return texts;
}

// xdotool on the program's own X server; its output, or nothing when it failed.
std::optional<QStringList> xdotool(const QuillstackProcess &program, const QStringList &arguments)
{
    QProcess tool;
    tool.setProcessEnvironment(program.environment);
    tool.start(u"xdotool"_s, arguments);
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit
        || tool.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(tool.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

// The program's windows on its screen: its panel and its notices, for want
// of a tray, all go by its name.
QStringList windows(const QuillstackProcess &program)
{
    return xdotool(program, { u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^Quillstack$"_s })
        .value_or(QStringList());
}

// A machine's status as another's `--sync-status --json` tells it.
QJsonObject statusOf(const QuillstackProcess &program, const QByteArray &machine, int exitCode)
{
    const QuillstackProcess::Result status = program.run({ u"--sync-status"_s, u"--json"_s });
    if (status.exitCode != exitCode)
        return {};
    for (const QJsonValue &each :
        QJsonDocument::fromJson(status.out.toUtf8())[u"machines"_s].toArray()) {
        if (each[u"id"_s].toString() == QString::fromLatin1(machine))
            return each.toObject();
    }
    return {};
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
    void keepOnBShowsOnA();
    void wrongPassphraseIsTold();

private:
    // Starts the program in a private X11 session of its own
    // (tests/support/x11-harness.sh), as on another machine.
    void startInOwnSession(QuillstackProcess &program);

    SyncthingPair m_pair;
    // A runs on the test's own X server and bus; B in a private X11 session
    // of its own (tests/support/x11-harness.sh), as another machine.
    QuillstackProcess m_a;
    QuillstackProcess m_b;
    QByteArray m_idA;
    // A machine beside B whose key is of another passphrase.
    QuillstackProcess m_c;
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
    startInOwnSession(m_b);
    // Each program writes its journal into the folder as sharing starts;
    // once each has the other's, both run and Syncthing carries.
    QTRY_VERIFY_WITH_TIMEOUT(
        QFile::exists(SharedFolder(m_pair.folder(SyncthingPair::B), {}).journalPath(idA)), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(
        QFile::exists(SharedFolder(m_pair.folder(SyncthingPair::A), {}).journalPath(idB)), 60000);
}

void tst_SharingX11::startInOwnSession(QuillstackProcess &program)
{
    // The session tells its display and bus, for asking the program from here.
    const QString session = program.home.filePath(u"session"_s);
    program.program.setArguments({ u"sh"_s, u"-c"_s,
        uR"(printf '%s\n%s\n' "$DISPLAY" "$DBUS_SESSION_BUS_ADDRESS" >"$0.new" && mv "$0.new" "$0"
            "$1" & program=$!
            # It ends with the test, however the test ends.
            while kill -0 "$2" && kill -0 "$program"; do sleep 0.5; done 2>/dev/null
            kill "$program" 2>/dev/null; wait "$program")"_s,
        session, program.program.program(), QString::number(QCoreApplication::applicationPid()) });
    program.program.setProgram(QStringLiteral(QS_X11_HARNESS));
    // Its own process group, so that ending it ends its X server too.
    program.program.setChildProcessModifier([] { ::setpgid(0, 0); });
    program.start();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(session), 60000);
    QFile file(session);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLocal8Bit(file.readAll()).split(u'\n');
    QCOMPARE(lines.size(), 3);
    program.environment.insert(u"DISPLAY"_s, lines[0]);
    program.environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, lines[1]);
}

void tst_SharingX11::cleanupTestCase()
{
    m_a.run({ u"--quit"_s });
    m_a.program.waitForFinished(30000);
    for (QuillstackProcess *other : { &m_b, &m_c }) {
        if (other->program.state() != QProcess::NotRunning) {
            ::kill(-pid_t(other->program.processId()), SIGTERM);
            other->program.waitForFinished(30000);
        }
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

void tst_SharingX11::keepOnBShowsOnA()
{
    // B's status names A, with the copies above, all made on A.
    const QJsonObject machineA = statusOf(m_b, m_idA, 0);
    QCOMPARE(machineA[u"state"_s].toString(), u"ok"_s);
    QCOMPARE(machineA[u"clips"_s].toInt(), 6);
    const QString text = u"kept on B %1"_s.arg(QUuid::createUuid().toString(QUuid::WithoutBraces));
    QVERIFY(ClipboardTools::copyWithXclip(text.toUtf8()));
    QVERIFY(waitFor([&] { return history(m_b).value(0) == text; }, 40000));
    QVERIFY(history(m_a).contains(text)); // not kept

    // B's user opens the panel, where the newest clip is highlighted, and
    // keeps it from the row's menu.
    const QStringList notices = windows(m_b);
    QCOMPARE(m_b.run({ u"--show"_s }).exitCode, 0);
    QString panel;
    QVERIFY(waitFor([&] {
        for (const QString &window : windows(m_b))
            panel = notices.contains(window) ? panel : window;
        return !panel.isEmpty()
            && xdotool(m_b, { u"getwindowfocus"_s }).value_or(QStringList()) == QStringList(panel);
    }));
    for (const QString &key : { u"Menu"_s, u"Down"_s, u"Return"_s })
        QVERIFY(xdotool(m_b, { u"key"_s, key }));
    QVERIFY(waitFor([&] { return history(m_b).contains(text + u" (kept)"_s); }));
    QVERIFY(xdotool(m_b, { u"key"_s, u"Escape"_s }));
    QVERIFY(waitFor([&] { return history(m_a).contains(text + u" (kept)"_s); }, 40000));
}

void tst_SharingX11::wrongPassphraseIsTold()
{
    // C has a history of its own, and the folder's salt with a key from a
    // passphrase the others do not use.
    const QString folder = m_pair.folder(SyncthingPair::B);
    turnOnSharing(m_c, folder);
    {
        Defaults defaults(Defaults::userSettingsFile(m_c.home.filePath(u"config"_s)));
        Settings settings(defaults);
        ClipStore store(settings, dataDir(m_c));
        StoreFixture::add(store, StoreFixture::text(u"C's own"_s));
        StoreFixture::add(store, StoreFixture::text(u"C's kept"_s), true);
        store.flush();
    }
    const auto record = SharingKey::parseRecord(
        SharingKey::readSharedFile(SharedFolder(folder, {}).keyPath(m_idA), 4096)
            .value_or(QByteArray()));
    QVERIFY(record);
    const auto key = SealedBox::deriveKey(u"another passphrase"_s, record->salt, record->limits);
    QVERIFY(key);
    QString error;
    QVERIFY2(SharingKey::writeStored(
                 SharingSettings::keyPath(dataDir(m_c)), { record->salt, *key }, &error),
        qPrintable(error));
    // Read from its files: no program of C's runs yet, and A's is on this bus.
    m_c.environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, u"unix:path=/nonexistent"_s);
    const QuillstackProcess::Result before = m_c.run({ u"--export"_s });
    QVERIFY2(before.exitCode == 0 && before.out.contains(u"C's own"_s), qPrintable(before.err));

    startInOwnSession(m_c);
    // Told on C's screen, without a tray in a window of its own: one more
    // than B, in the same session but for its key, shows; and in its log.
    QByteArray log;
    QVERIFY(waitFor(
        [&] {
            log += m_c.program.readAllStandardError();
            return log.contains("Sharing the history: Another machine shares this folder with a "
                                "different passphrase");
        },
        40000));
    QVERIFY(waitFor([&] { return windows(m_c).size() == windows(m_b).size() + 1; }));
    QCOMPARE(statusOf(m_c, m_idA, 1)[u"state"_s].toString(), u"wrong-passphrase"_s);

    // What A shares next reaches B's folder, and C takes none of it.
    const QString text = u"not for C %1"_s.arg(QUuid::createUuid().toString(QUuid::WithoutBraces));
    QVERIFY(ClipboardTools::copyWithXclip(text.toUtf8()));
    QVERIFY(waitFor([&] { return history(m_b).contains(text); }, 40000));
    QVERIFY(!waitFor([&] { return m_c.run({ u"--export"_s }).out != before.out; }, 5000));
    QCOMPARE(history(m_c), (QStringList { u"C's kept (kept)"_s, u"C's own"_s }));
}

QTEST_MAIN(tst_SharingX11)
#include "tst_SharingX11.moc"
