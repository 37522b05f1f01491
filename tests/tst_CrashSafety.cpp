// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ClipArchive.h"
#include "model/ClipStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

// A process that saves the history over and over is killed with SIGKILL at
// random moments; the files it leaves must always hold a complete history.
class tst_CrashSafety : public QObject
{
    Q_OBJECT
    static QString writerPath()
    {
        return qEnvironmentVariable("QUILLSTACK_TEST_BINARY_DIR") + u"/tests/qs-store-writer"_s;
    }

private slots:
    // A crash cannot lose what the kernel holds, so a kill alone would not
    // notice a missing sync. A change is a journal line synced in place (L);
    // a whole archive is synced (A), renamed (R), its folder synced (D), and
    // only then is its new journal written the same way (J, Q, D). A journal
    // begun for an archive already there is the last three alone.
    void everySaveSyncsBeforeAndAfterTheRename()
    {
        QTemporaryDir dir;
        const QString trace = dir.filePath(u"trace"_s);
        QProcess strace;
        strace.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // The leak checker cannot run under a tracer.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"ASAN_OPTIONS"_s, u"detect_leaks=0"_s);
        strace.setProcessEnvironment(environment);
        QString steps;
        // The first run starts a history, the second extends it.
        for (int run = 0; run < 2; ++run) {
            strace.start(u"strace"_s,
                { u"-f"_s, u"-y"_s, u"-e"_s, u"trace=fsync,fdatasync,rename,renameat,renameat2"_s,
                    u"-o"_s, trace, writerPath(), dir.filePath(u"data"_s), u"6"_s });
            QVERIFY2(
                strace.waitForFinished(120000), "strace (scripts/packages.txt) did not finish");
            QCOMPARE(strace.exitCode(), 0);
            QFile file(trace);
            QVERIFY(file.open(QIODevice::ReadOnly));
            for (const QByteArray &line : file.readAll().split('\n')) {
                if (line.contains("rename") && line.contains("clips.json.tmp\""))
                    steps += QLatin1Char('R');
                else if (line.contains("rename") && line.contains("clips.journal.tmp\""))
                    steps += QLatin1Char('Q');
                else if (line.contains("sync(") && line.contains("/clips.json.tmp>"))
                    steps += QLatin1Char('A');
                else if (line.contains("sync(") && line.contains("/clips.journal.tmp>"))
                    steps += QLatin1Char('J');
                else if (line.contains("fdatasync(") && line.contains("/clips.journal>"))
                    steps += QLatin1Char('L');
                else if (line.contains("sync(") && line.contains("/Quillstack>"))
                    steps += QLatin1Char('D');
            }
            steps += QLatin1Char('|');
        }
        // Six adds with a compaction asked for after the fourth, and one at quit.
        QVERIFY2(QRegularExpression(u"^ARDJQD(L|ARDJQD)+ARDJQD\\|JQD(L|ARDJQD)+ARDJQD\\|$"_s)
                     .match(steps)
                     .hasMatch(),
            qPrintable(steps));
        QVERIFY2(steps.count(QLatin1Char('L')) >= 6, qPrintable(steps));
    }

    // Killed at random moments, while lines are appended and while the
    // archive is replaced: every start finds the history as it was after the
    // last change it acknowledged as saved, or a later one.
    void killedWhileSavingLosesNothingAcknowledged()
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
        const QString root = dir.path() + u"/Quillstack"_s;
        // The writer keeps the default limit of 200 clips, so that lines
        // dropping the oldest are part of the loop too.
        constexpr qint64 limit = 200;
        quint64 acknowledged = 0;
        quint64 newest = 0;
        for (int round = 0; round < 200; ++round) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(writer, { dir.path(), u"0"_s, QString::number(newest + 1) });
            QVERIFY(child.waitForStarted());
            QTRY_VERIFY_WITH_TIMEOUT(child.canReadLine(), 20000);
            QCOMPARE(child.readLine().trimmed(),
                "ready " + QByteArray::number(std::min<qint64>(qint64(newest), limit)));
            // Let it add a random number of clips, then kill it mid-flight.
            const int adds = int(random.bounded(1, 30));
            quint64 added = newest;
            QByteArray output;
            QTRY_VERIFY_WITH_TIMEOUT((output += child.readAll()).count("added ") >= adds, 20000);
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished(10000));
            output += child.readAll();
            for (const QByteArray &line : output.split('\n')) {
                if (line.startsWith("added "))
                    added = line.mid(6).toULongLong();
                else if (line.startsWith("saved "))
                    acknowledged = line.mid(6).toULongLong();
            }

            QString error;
            const auto json = ClipStore::exportFromFiles(dir.path(), &error);
            QVERIFY2(json, qPrintable(u"round %1: %2"_s.arg(round).arg(error)));
            const QList<Clip> clips = ClipArchive::decode(*json).clips;
            QVERIFY(!clips.isEmpty());
            newest = clips.first().preview.section(QLatin1Char(' '), 1, 1).toULongLong();
            // The add under way at the kill may have reached the disk before
            // the writer could print it.
            QVERIFY2(newest >= acknowledged && newest <= added + 1,
                qPrintable(u"round %1: history ends at %2, acknowledged %3, added %4"_s.arg(round)
                               .arg(newest)
                               .arg(acknowledged)
                               .arg(added)));
            // Whole: the newest clips, consecutive, up to the limit.
            QCOMPARE(clips.size(), std::min<qint64>(qint64(newest), limit));
            for (qsizetype i = 0; i < clips.size(); ++i)
                QCOMPARE(clips[i].preview.section(QLatin1Char(' '), 1, 1).toULongLong(),
                    newest - quint64(i));
            QVERIFY(QDir(root).entryList({ u"*.corrupt-*"_s }, QDir::Files).isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(tst_CrashSafety)
#include "tst_CrashSafety.moc"
