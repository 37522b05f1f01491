// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuillstackProcess.h"
#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "model/Settings.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

// The program itself on a Wayland session, its UI on Xwayland: it takes the
// clipboard from data-control when the compositor offers it, and otherwise
// stays with X11 and says why. Through the GNOME Shell companion it is
// tst_GnomeSession's, in a real GNOME Shell.
class tst_WaylandSession : public QObject
{
    Q_OBJECT

    // A headless sway (or, as the test is told, KWin) of the test's own,
    // which it may end at any moment as a logout does: the compositor, its
    // Xwayland and their children at once.
    struct Compositor
    {
        QTemporaryDir dir;
        QProcessEnvironment env;
        pid_t pid = 0;

        bool start()
        {
            QProcess script;
            script.setProcessChannelMode(QProcess::ForwardedChannels);
            const QString session = qEnvironmentVariable("QUILLSTACK_TEST_SESSION", u"sway"_s);
            script.start(
                QStringLiteral(QS_SESSION_SCRIPTS "/%1-session.sh").arg(session), { dir.path() });
            QFile file(dir.filePath(u"env"_s));
            QFile pidFile(dir.filePath(u"pid"_s));
            if (!script.waitForFinished(30000) || script.exitCode() != 0
                || !file.open(QIODevice::ReadOnly) || !pidFile.open(QIODevice::ReadOnly))
                return false;
            for (const QByteArray &line : file.readAll().split('\n')) {
                const qsizetype equals = line.indexOf('=');
                if (equals > 0)
                    env.insert(QString::fromUtf8(line.left(equals)),
                        QString::fromUtf8(line.mid(equals + 1)));
            }
            pid = pid_t(pidFile.readAll().trimmed().toInt());
            return pid > 0;
        }
        // The compositor outlives the script that started it, so no one here reaps
        // it: an unreaped one counts as ended.
        bool running() const
        {
            QFile stat(u"/proc/%1/stat"_s.arg(pid));
            if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
                return false;
            const QByteArray line = stat.readAll();
            return line.mid(line.lastIndexOf(')') + 2, 1) != "Z";
        }
        void end() const
        {
            if (pid > 0)
                ::kill(-pid, SIGTERM);
        }
        // The Xwayland server that the compositor started, found by its session.
        pid_t xwayland() const
        {
            for (const QString &entry : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
                QFile comm(u"/proc/%1/comm"_s.arg(entry));
                if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "Xwayland"
                    && ::getsid(pid_t(entry.toInt())) == pid)
                    return pid_t(entry.toInt());
            }
            return 0;
        }
        ~Compositor()
        {
            end();
            [[maybe_unused]] const bool ended
                = QTest::qWaitFor([this] { return !running(); }, 10000);
        }
    };

    // The program against this Wayland display (and X server, when the
    // compositor has one), as the desktop names itself.
    struct Program : QuillstackProcess
    {
        QByteArray log;

        Program(const QProcessEnvironment &session, const QString &desktop = QString())
        {
            for (const QString &name : { u"WAYLAND_DISPLAY"_s, u"DISPLAY"_s, u"XAUTHORITY"_s }) {
                if (session.contains(name))
                    environment.insert(name, session.value(name));
            }
            environment.insert(u"XDG_CURRENT_DESKTOP"_s, desktop);
            start();
        }
        // What it has written to stderr holds text, within 10 s.
        bool said(const QByteArray &text)
        {
            return QTest::qWaitFor(
                [&] { return (log += program.readAllStandardError()).contains(text); }, 10000);
        }
    };

private slots:
    void initTestCase()
    {
        QVERIFY2(
            qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && qEnvironmentVariableIsSet("DISPLAY"),
            "run under wayland-harness.sh");
    }

    // The program takes the clipboard from data-control and records copies
    // made in Wayland programs. Then the session ends around it: its
    // compositor, Xwayland or both go away before, during or right after its
    // quit, at times while it puts back a copy whose program quit. It always
    // ends by itself without a fault, and what was copied before is in the
    // history it leaves.
    void quitAsTheSessionEnds_data()
    {
        QTest::addColumn<QString>("shape");
        QTest::newRow("compositor gone, then quit") << u"compositor first"_s;
        // Xwayland outlives it for a moment: the Wayland connection breaks first.
        QTest::newRow("compositor killed alone, then quit") << u"killed"_s;
        QTest::newRow("Xwayland gone, then quit") << u"xwayland first"_s;
        QTest::newRow("quit, compositor gone at once") << u"together"_s;
        QTest::newRow("quit while putting a copy back, compositor gone at once") << u"restore"_s;
    }

    void quitAsTheSessionEnds()
    {
        QFETCH(QString, shape);
        Compositor compositor;
        QVERIFY(compositor.start());
        Program program(compositor.env);
        QVERIFY(program.said("clipboard through Wayland (zwlr_data_control_manager_v1"));
        // Neither session has a portal for global shortcuts: the user binds our command line.
        QVERIFY(program.said("no desktop portal for global shortcuts"));

        QProcessEnvironment copyEnv = QProcessEnvironment::systemEnvironment();
        copyEnv.insert(u"WAYLAND_DISPLAY"_s, compositor.env.value(u"WAYLAND_DISPLAY"_s));
        const QDir data(program.home.filePath(u"data/Quillstack"_s));
        const auto recorded = [&data](const QByteArray &text) {
            for (const QString &name : { u"clips.json"_s, u"clips.journal"_s }) {
                QFile file(data.filePath(name));
                if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text))
                    return true;
            }
            return false;
        };
        // Copies made before the program has finished starting are taken as
        // what was there before it, so the first is repeated until recorded.
        const QString first = "before the end of the session, "_L1 + shape;
        QVERIFY(QTest::qWaitFor(
            [&] {
                QProcess copy;
                copy.setProcessEnvironment(copyEnv);
                copy.setStandardOutputFile(QProcess::nullDevice());
                copy.start(u"wl-copy"_s, { first });
                copy.waitForFinished(5000);
                return QTest::qWaitFor([&] { return recorded(first.toUtf8()); }, 300);
            },
            15000));
        // The last copy stays with its program, which the restore shape ends.
        const QString last = "last copy, "_L1 + shape;
        QProcess owner;
        owner.setProcessEnvironment(copyEnv);
        owner.start(u"wl-copy"_s, { u"--foreground"_s, last });
        QVERIFY(QTest::qWaitFor([&] { return recorded(last.toUtf8()); }, 10000));

        if (shape == "compositor first"_L1 || shape == "killed"_L1) {
            if (shape == "killed"_L1)
                ::kill(compositor.pid, SIGKILL);
            else
                compositor.end();
            QVERIFY(QTest::qWaitFor([&] { return !compositor.running(); }, 10000));
        } else if (shape == "xwayland first"_L1) {
            const pid_t xwayland = compositor.xwayland();
            QVERIFY(xwayland > 0);
            ::kill(xwayland, SIGKILL);
            QVERIFY(QTest::qWaitFor([&] { return ::kill(xwayland, 0) != 0; }, 10000));
        } else if (shape == "restore"_L1) {
            owner.kill();
        }
        program.program.terminate();
        compositor.end();
        // It may have ended already, without its compositor.
        QVERIFY(program.program.state() == QProcess::NotRunning
            || program.program.waitForFinished(30000));
        owner.kill();
        owner.waitForFinished(5000);

        const QByteArray &lines = program.log += program.program.readAllStandardError();
        QVERIFY2(
            !lines.contains("Sanitizer") && !lines.contains("runtime error"), lines.constData());
        QCOMPARE(program.program.exitStatus(), QProcess::NormalExit);
        // One capture path: the X11 reader never ran beside it.
        QCOMPARE(lines.count("clipboard through"), 1);
        // Without its X server Qt ends the program at once, with 1.
        QVERIFY2(program.program.exitCode() == 0
                || (program.program.exitCode() == 1 && lines.contains("The X11 connection broke")),
            lines.constData());

        // The history opens whole, with both copies, newest first.
        Defaults defaults(program.home.filePath(u"check.ini"_s));
        Settings settings(defaults);
        ClipStore store(settings, program.home.filePath(u"data"_s));
        QStringList texts;
        for (const Clip &clip : store.clips())
            texts.append(clip.text.value_or(QString()));
        QCOMPARE(texts.mid(0, 2), (QStringList { last, first }));
        QCOMPARE(data.entryList({ u"*corrupt*"_s }), QStringList());
    }

    // Against our own compositor: the program takes the standard
    // data-control protocol over the wlroots one (alone, the sway session's
    // above), and without one stays with X11; it says which. On GNOME
    // without the companion it tells how to enable it.
    void clipboardChoiceIsLogged_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QByteArray>("line");
        const QByteArray x11("clipboard through X11 (XWayland): the Wayland compositor offers no "
                             "data-control protocol");
        QTest::newRow("no data-control") << QStringList {} << QString() << x11;
        QTest::newRow("both") << QStringList {
            u"--data-control"_s
        } << QString() << "clipboard through Wayland (ext_data_control_manager_v1 version 1)"_ba;
        QTest::newRow("GNOME without its companion")
            << QStringList {} << u"ubuntu:GNOME"_s
            << "gnome-extensions enable quillstack@quillstack.github.io"_ba;
    }

    void clipboardChoiceIsLogged()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, desktop);
        QFETCH(QByteArray, line);
        QProcess compositor;
        compositor.start(QStringLiteral(QS_TEST_COMPOSITOR), options);
        QVERIFY(compositor.waitForReadyRead(5000));
        QProcessEnvironment session;
        session.insert(u"WAYLAND_DISPLAY"_s, QString::fromUtf8(compositor.readLine().trimmed()));
        Program program(session, desktop);
        QVERIFY(program.said("global shortcuts"));
        program.program.terminate();
        QVERIFY(program.program.waitForFinished(10000));
        program.log += program.program.readAllStandardError();
        QVERIFY2(program.log.contains(line), program.log.constData());
        QCOMPARE(program.log.count("clipboard through"), 1);
        QCOMPARE(program.log.contains("gnome-extensions enable"), !desktop.isEmpty());
        compositor.terminate();
        QVERIFY(compositor.waitForFinished(5000));
        QCOMPARE(compositor.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_WaylandSession)
#include "tst_WaylandSession.moc"
