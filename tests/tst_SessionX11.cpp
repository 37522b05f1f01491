// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClipboardTools.h"
#include "QuillstackProcess.h"
#include "StoreFixture.h"
#include "X11TestTools.h"
#include "model/ClipArchive.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

const QString serviceName = u"io.github.quillstack.Quillstack"_s;
const QString objectPath = u"/io/github/quillstack/Quillstack"_s;
const QString propertiesInterface = u"org.freedesktop.DBus.Properties"_s;

QDBusMessage busCall(const QString &interface, const QString &member, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(serviceName, objectPath, interface, member);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 60000);
}

QVariant recording()
{
    return busCall(propertiesInterface, u"Get"_s, { serviceName, u"Recording"_s })
        .arguments()
        .value(0)
        .value<QDBusVariant>()
        .variant();
}

// A line of /proc/<pid>/status, in kB.
qint64 statusKb(qint64 pid, QByteArrayView field)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

bool serviceRunning()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(serviceName);
}

// The running program's history as `--list --json` prints it.
QJsonArray history(const QuillstackProcess &quillstack)
{
    const QuillstackProcess::Result listed = quillstack.run({ u"--list"_s, u"100"_s, u"--json"_s });
    if (listed.exitCode != 0)
        return {};
    return QJsonDocument::fromJson(listed.out.toUtf8()).array();
}

QString clipboardText()
{
    return QString::fromUtf8(ClipboardTools::readWithXclip(u"UTF8_STRING"_s));
}

} // namespace

// The first functions share one running program, in the order declared:
// each takes it from where the one before left it.
class tst_SessionX11 : public QObject
{
    Q_OBJECT
private slots:
    void startsOnceAndAnswers();
    void listsAndCopies();
    void pauseAndRecording();
    void stalledProgramIsGivenUp();
    void quitEndsIt();
    void withoutSessionBusRunsAlone();
    void largeHistoryAndMissingImage();
    void cleanupTestCase();

private:
    QuillstackProcess m_running;
    QProcess m_tray;
};

void tst_SessionX11::startsOnceAndAnswers()
{
    QVERIFY(!serviceRunning());
    QCOMPARE(m_running.run({ u"--toggle"_s }).err, u"quillstack: Quillstack is not running.\n"_s);
    m_tray.start(u"trayer"_s, { u"--edge"_s, u"top"_s });
    m_running.start();
    QVERIFY(waitFor([] { return serviceRunning(); }));

    // A second start leaves the first alone.
    const QuillstackProcess::Result second = m_running.run({});
    QCOMPARE(second.exitCode, 0);
    QCOMPARE(m_running.program.state(), QProcess::Running);
}

void tst_SessionX11::listsAndCopies()
{
    QuillstackProcess &quillstack = m_running;
    QVERIFY(ClipboardTools::copyWithXclip("first"));
    QVERIFY(waitFor([&] { return quillstack.previews() == QStringList { u"first"_s }; }));
    QVERIFY(ClipboardTools::copyWithXclip("second"));
    QVERIFY(waitFor([&] {
        return quillstack.previews() == QStringList { u"second"_s, u"first"_s };
    }));
    const QJsonArray rows = history(quillstack);
    const QString id = rows[0][QLatin1String("id")].toString();
    QVERIFY(QDateTime::fromString(rows[0][QLatin1String("date")].toString(), Qt::ISODateWithMs)
                .isValid());
    // As text: index, id, kind, date and preview, a line each.
    const QString newest = quillstack.run({ u"--list"_s, u"1"_s }).out;
    QVERIFY2(newest.startsWith(u"0\t%1\ttext\t"_s.arg(id)) && newest.endsWith(u"\tsecond\n"_s)
            && newest.count(u'\n') == 1,
        qPrintable(newest));

    // Copying by index and by id writes the clip and leaves the history as it was.
    QCOMPARE(quillstack.run({ u"--copy"_s, u"1"_s }).exitCode, 0);
    QCOMPARE(clipboardText(), u"first"_s);
    QCOMPARE(quillstack.run({ u"--copy"_s, id }).exitCode, 0);
    QCOMPARE(clipboardText(), u"second"_s);
    QCOMPARE(history(quillstack), rows);
    const QuillstackProcess::Result missing = quillstack.run({ u"--copy"_s, QString(300, u'f') });
    QCOMPARE(missing.exitCode, 1);
    QCOMPARE(missing.err, u"quillstack: There is no clip %1….\n"_s.arg(QString(80, u'f')));
}

void tst_SessionX11::pauseAndRecording()
{
    QuillstackProcess &quillstack = m_running;
    // Nothing copied while paused is recorded, not even after resuming.
    QCOMPARE(quillstack.run({ u"--pause"_s }).exitCode, 0);
    // Resumed only once the program has read that copy, so that the copy
    // is not still being read when recording starts again.
    ClipboardTools tools;
    QProcess *owner = tools.startOwner({ { u"UTF8_STRING"_s, "while paused" } }, { u"--report"_s });
    QVERIFY(owner);
    QVERIFY(HelperProcesses::waitForLine(*owner, "taken TARGETS"));
    QVERIFY(HelperProcesses::waitForLine(*owner, "taken UTF8_STRING"));
    QCOMPARE(quillstack.run({ u"--resume"_s }).exitCode, 0);
    QVERIFY(ClipboardTools::copyWithXclip("after"));
    QVERIFY(waitFor([&] { return quillstack.previews().value(0) == u"after"_s; }));
    QCOMPARE(quillstack.previews(), (QStringList { u"after"_s, u"second"_s, u"first"_s }));

    // Recording takes a boolean from any program on the bus; anything else
    // is refused and leaves it as it was.
    const QString invalidArgs = u"org.freedesktop.DBus.Error.InvalidArgs"_s;
    const QList<std::tuple<QVariant, QString, bool>> recordingWrites {
        { u"no"_s, invalidArgs, true }, { 0, invalidArgs, true }, { false, QString(), false },
        { u"yes"_s, invalidArgs, false }, { true, QString(), true }
    };
    for (const auto &[value, error, after] : recordingWrites) {
        const QDBusMessage reply = busCall(propertiesInterface, u"Set"_s,
            { serviceName, u"Recording"_s, QVariant::fromValue(QDBusVariant(value)) });
        QCOMPARE(reply.errorName(), error);
        QCOMPARE(recording(), QVariant(after));
    }
    QCOMPARE(busCall(serviceName, u"Paste"_s, {}).errorName(),
        u"org.freedesktop.DBus.Error.UnknownMethod"_s);
    // The panel's commands are read back by a screen reader in the
    // accessibility test; clearing empties the history here.
    QCOMPARE(quillstack.run({ u"--clear"_s }).exitCode, 0);
    QCOMPARE(quillstack.previews(), QStringList());
}

void tst_SessionX11::stalledProgramIsGivenUp()
{
    // A program that cannot answer is given up after a second.
    const auto pid = pid_t(m_running.program.processId());
    QVERIFY(pid > 0);
    ::kill(pid, SIGSTOP);
    const QuillstackProcess::Result stalled = m_running.run({ u"--show"_s });
    ::kill(pid, SIGCONT);
    QCOMPARE(stalled.exitCode, 1);
    QCOMPARE(stalled.err, u"quillstack: Quillstack did not answer within a second.\n"_s);
}

void tst_SessionX11::quitEndsIt()
{
    QCOMPARE(m_running.run({ u"--quit"_s }).exitCode, 0);
    QVERIFY(m_running.program.waitForFinished(30000));
    QCOMPARE(m_running.program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_running.program.exitCode(), 0);
    QVERIFY(!serviceRunning());
    // The tests after this one start without a tray.
    m_tray.kill();
    m_tray.waitForFinished();
}

void tst_SessionX11::cleanupTestCase()
{
    // A failure part-way leaves the shared program running.
    if (m_running.program.state() != QProcess::NotRunning) {
        m_running.program.kill();
        m_running.program.waitForFinished();
    }
    m_tray.kill();
    m_tray.waitForFinished();
}

void tst_SessionX11::withoutSessionBusRunsAlone()
{
    QuillstackProcess quillstack;
    quillstack.environment.remove(u"DBUS_SESSION_BUS_ADDRESS"_s);
    quillstack.environment.insert(u"XDG_RUNTIME_DIR"_s, quillstack.home.path());
    quillstack.program.setProcessChannelMode(QProcess::SeparateChannels);

    // A reader of the files (an export while none runs) holds the folder
    // shared: a start waits for it rather than take it for a running program.
    const QString folder = quillstack.home.filePath(u"data/Quillstack"_s);
    const QString lock = folder + u"/lock"_s;
    QVERIFY(QDir().mkpath(folder));
    QProcess reader;
    reader.start(u"flock"_s, { u"--shared"_s, u"--close"_s, lock, u"cat"_s });
    QVERIFY(waitFor([&] { return !runToolOk(u"flock"_s, { u"--nonblock"_s, lock, u"true"_s }); }));
    quillstack.start();
    QVERIFY(quillstack.program.waitForStarted());
    const auto waitsOnTheLock = [&] {
        const QDir fds(u"/proc/%1/fd"_s.arg(quillstack.program.processId()));
        const QStringList names
            = fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        return std::any_of(names.cbegin(), names.cend(),
            [&](const QString &name) { return QFile::symLinkTarget(fds.filePath(name)) == lock; });
    };
    QVERIFY(waitFor(
        [&] { return quillstack.program.state() != QProcess::Running || waitsOnTheLock(); }));
    QCOMPARE(quillstack.program.state(), QProcess::Running);
    reader.kill();
    reader.waitForFinished();

    QByteArray err;
    QVERIFY(waitFor([&] {
        err += quillstack.program.readAllStandardError();
        return err.contains(
                   "The command line cannot reach this Quillstack (there is no session bus)")
            && err.contains("No system tray was found.");
    }));
    QVERIFY(!serviceRunning());

    // Without a tray the notices come in a window of their own; the icon
    // shows once a tray appears.
    const QString pid = QString::number(quillstack.program.processId());
    auto visible = [&](const char *name) {
        return runToolOk(u"xdotool"_s,
            { u"search"_s, u"--all"_s, u"--onlyvisible"_s, u"--pid"_s, pid, u"--name"_s,
                QString::fromLatin1(name) });
    };
    QVERIFY(waitFor([&] { return visible("^Quillstack$"); }));
    QVERIFY(!visible("^$"));
    QProcess tray;
    tray.start(u"trayer"_s, { u"--edge"_s, u"top"_s });
    QVERIFY(waitFor([&] { return visible("^$"); }));

    // One writer per history folder: a second start, with no bus to hand
    // over through, says so and leaves the history to the first; the files
    // are not read from under it either.
    const QuillstackProcess::Result second = quillstack.run({});
    QCOMPARE(second.exitCode, 1);
    QCOMPARE(second.err,
        QStringLiteral("quillstack: Another Quillstack is already running with the history in "
                       "%1, and it cannot be reached without a session bus.\n")
            .arg(folder));
    const QuillstackProcess::Result busy = quillstack.run({ u"--export"_s });
    QCOMPARE(busy.exitCode, 1);
    QVERIFY2(busy.err.contains(folder + u" is in use"_s), qPrintable(busy.err));

    QVERIFY(ClipboardTools::copyWithXclip("recorded alone"));
    QVERIFY(
        waitFor([&] { return readFile(folder + u"/clips.json"_s).contains("recorded alone"); }));
    quillstack.program.terminate();
    QVERIFY(quillstack.program.waitForFinished(30000));
    QCOMPARE(quillstack.program.exitCode(), 0);
    const QuillstackProcess::Result exported = quillstack.run({ u"--export"_s });
    QCOMPARE(exported.exitCode, 0);
    QVERIFY(exported.out.contains(u"recorded alone"_s));
    err += quillstack.program.readAllStandardError();
    QCOMPARE(err.count("cannot reach"), 1);
    QCOMPARE(err.count("No system tray was found."), 1);
    tray.kill();
    tray.waitForFinished();
}

// A history larger than a bus message may carry streams out whole while
// the program runs on, without its memory growing by the history's size;
// an image clip whose file is gone leaves the clipboard as it was.
void tst_SessionX11::largeHistoryAndMissingImage()
{
    QuillstackProcess quillstack;
    // A sanitizer build keeps freed memory aside for a while: what is
    // measured here is what the program itself holds.
    quillstack.environment.insert(u"ASAN_OPTIONS"_s,
        quillstack.environment.value(u"ASAN_OPTIONS"_s) + u":quarantine_size_mb=0"_s);
    // Recent enough for the age limit; the archive holds whole seconds.
    const QDateTime newest
        = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
    Clip image;
    image.id = QUuid::createUuid();
    image.kind = ClipKind::image;
    image.createdAt = newest;
    image.preview = u"Image"_s;
    image.imageFilename = image.id.toString(QUuid::WithoutBraces) + u".png"_s;
    image.byteSize = 100;
    image.contentHash = u"image"_s;
    QList<QByteArray> encoded { ClipArchive::encodeClip(image) };
    constexpr qsizetype clipChars = qsizetype(4) << 20;
    for (int i = 0; i < 25; ++i) {
        Clip clip;
        clip.id = QUuid::createUuid();
        clip.createdAt = newest.addSecs(-1 - i);
        clip.text = QString(clipChars, QChar(u'a' + i));
        clip.preview = clip.text->left(40);
        clip.byteSize = clipChars;
        clip.contentHash = QString::number(i);
        encoded.append(ClipArchive::encodeClip(clip));
    }
    const QByteArray archive = ClipArchive::archiveParts(encoded).join();
    encoded.clear();
    QVERIFY(archive.size() > 100'000'000);
    writeFile(quillstack.home.filePath(u"data/Quillstack/clips.json"_s), archive);

    quillstack.start();
    QVERIFY(waitFor([&] { return quillstack.run({ u"--pause"_s }).exitCode == 0; }, 120000));
    QVERIFY(ClipboardTools::copyWithXclip("before"));
    const QuillstackProcess::Result copied
        = quillstack.run({ u"--copy"_s, image.id.toString(QUuid::WithoutBraces) });
    QCOMPARE(copied.exitCode, 1);
    QCOMPARE(copied.err,
        u"quillstack: The image file of that clip is missing, so the clipboard was left as it was.\n"_s);
    QCOMPARE(clipboardText(), u"before"_s);

    const qint64 pid = quillstack.program.processId();
    QFile peak(u"/proc/%1/clear_refs"_s.arg(pid));
    QVERIFY(peak.open(QIODevice::WriteOnly) && peak.write("5") == 1); // the peak starts afresh
    peak.close();
    const qint64 peakBefore = statusKb(pid, "VmHWM:");
    QProcess exporter;
    exporter.setProcessEnvironment(quillstack.environment);
    const QString exported = quillstack.home.filePath(u"exported.json"_s);
    exporter.setStandardOutputFile(exported);
    exporter.start(quillstack.program.program(), { u"--export"_s });
    QVERIFY(exporter.waitForFinished(300000));
    QCOMPARE(exporter.exitStatus(), QProcess::NormalExit);
    QCOMPARE(exporter.exitCode(), 0);
    const qint64 peakAfter = statusKb(pid, "VmHWM:");
    QVERIFY(peakBefore > 0);
    QVERIFY2(peakAfter - peakBefore < archive.size() / 1024 / 4,
        qPrintable(u"history %1 kB, peak %2 kB, then %3 kB"_s.arg(archive.size() / 1024)
                       .arg(peakBefore)
                       .arg(peakAfter)));
    QVERIFY2(readFile(exported) == archive, "the export differs from the history");

    // Too large for one message: refused, and the program answers on.
    QCOMPARE(busCall(serviceName, u"Export"_s, {}).errorName(),
        u"org.freedesktop.DBus.Error.LimitsExceeded"_s);
    QCOMPARE(quillstack.run({ u"--quit"_s }).exitCode, 0);
    QVERIFY(quillstack.program.waitForFinished(60000));
    QCOMPARE(quillstack.program.exitCode(), 0);
}

QTEST_GUILESS_MAIN(tst_SessionX11)
#include "tst_SessionX11.moc"
