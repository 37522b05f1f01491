#include "ClipArchive.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// A process that saves the history over and over is killed with SIGKILL at
// random moments; the archive it leaves must always be complete.
class tst_CrashSafety : public QObject
{
    Q_OBJECT
private slots:
    void killedWhileSavingLeavesACompleteArchive()
    {
        const QString writer =
            qEnvironmentVariable("QUILLSTACK_TEST_BINARY_DIR") + QStringLiteral("/tests/qs-store-writer");
        QVERIFY2(QFile::exists(writer), qPrintable(writer));
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
            const int adds = int(QRandomGenerator::global()->bounded(1, 40));
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
