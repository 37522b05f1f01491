#include "ClipArchive.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// A process that saves the history over and over is killed with SIGKILL at
// random moments; the archive it leaves must always be complete.
class tst_CrashSafety : public QObject
{
    Q_OBJECT
    static QString writerPath()
    {
        return qEnvironmentVariable("QUILLSTACK_TEST_BINARY_DIR") + QStringLiteral("/tests/qs-store-writer");
    }

private slots:
    // A crash cannot lose what the kernel holds, so a kill alone would not
    // notice a missing sync: every save must sync the new file, rename it
    // over the archive, then sync the folder, in that order.
    void everySaveSyncsBeforeAndAfterTheRename()
    {
        QTemporaryDir dir;
        const QString trace = dir.filePath(QStringLiteral("trace"));
        QProcess strace;
        strace.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // The leak checker cannot run under a tracer.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        strace.setProcessEnvironment(environment);
        strace.start(QStringLiteral("strace"),
                     {QStringLiteral("-f"), QStringLiteral("-y"), QStringLiteral("-e"),
                      QStringLiteral("trace=fsync,fdatasync,rename,renameat,renameat2"), QStringLiteral("-o"), trace,
                      writerPath(), dir.filePath(QStringLiteral("data")), QStringLiteral("6")});
        QVERIFY2(strace.waitForFinished(120000), "strace (scripts/packages.txt) did not finish");
        QCOMPARE(strace.exitCode(), 0);
        QFile file(trace);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QString steps;
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (line.contains("rename") && line.contains("clips.json.tmp\""))
                steps += QLatin1Char('R');
            else if (line.contains("sync(") && line.contains("/clips.json.tmp>"))
                steps += QLatin1Char('F');
            else if (line.contains("sync(") && line.contains("/Quillstack>"))
                steps += QLatin1Char('D');
        }
        QVERIFY2(QRegularExpression(QStringLiteral("^(FRD)+$")).match(steps).hasMatch(), qPrintable(steps));
        QVERIFY(steps.size() >= 3);
    }

    void killedWhileSavingLeavesACompleteArchive()
    {
        const QString writer = writerPath();
        QVERIFY2(QFile::exists(writer), qPrintable(writer));
        // Seeded, so that a failing run can be repeated with QUILLSTACK_TEST_SEED.
        const quint32 seed = qEnvironmentVariableIsSet("QUILLSTACK_TEST_SEED")
            ? quint32(qEnvironmentVariableIntValue("QUILLSTACK_TEST_SEED"))
            : QRandomGenerator::system()->generate();
        qInfo("seed %u", seed);
        QRandomGenerator random(seed);
        QTemporaryDir dir;
        const QString archive = dir.path() + QStringLiteral("/Quillstack/clips.json");
        qsizetype previous = 0;
        int killedWithArchive = 0;
        for (int round = 0; round < 40; ++round) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(writer, {dir.path()});
            QVERIFY(child.waitForStarted());
            QTRY_VERIFY_WITH_TIMEOUT(child.canReadLine(), 20000);
            const QByteArray ready = child.readLine();
            QVERIFY2(ready.startsWith("ready "), ready.constData());
            QCOMPARE(ready.mid(6).trimmed().toLongLong(), previous);
            // Let it add a random number of clips, then kill it mid-flight.
            const int adds = int(random.bounded(1, 40));
            int seen = 0;
            QTRY_VERIFY_WITH_TIMEOUT((seen += child.readAll().count("added")) >= adds, 20000);
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished(10000));

            if (!QFile::exists(archive))
                continue;
            ++killedWithArchive;
            QFile file(archive);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const ClipArchive::DecodeResult result = ClipArchive::decode(file.readAll());
            QVERIFY2(result.ok, qPrintable(QStringLiteral("round %1: %2").arg(round).arg(result.error)));
            // Nothing that had reached the disk goes missing (the count limit is far away).
            QVERIFY(result.clips.size() >= previous);
            previous = result.clips.size();
            QVERIFY(QDir(dir.path() + QStringLiteral("/Quillstack"))
                        .entryList({QStringLiteral("clips.json.corrupt-*")}, QDir::Files)
                        .isEmpty());
        }
        QVERIFY(killedWithArchive > 30);
        QVERIFY(previous > 0);
    }
};

QTEST_GUILESS_MAIN(tst_CrashSafety)
#include "tst_CrashSafety.moc"
