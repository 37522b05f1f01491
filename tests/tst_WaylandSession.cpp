// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeGnomeShell.h"
#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "model/Settings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <optional>

// The program itself on a Wayland session, its UI on Xwayland: it takes the
// clipboard from data-control when the compositor offers it, and otherwise
// stays with X11 and says why.
class tst_WaylandSession : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

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
            const QString session
                = qEnvironmentVariable("QUILLSTACK_TEST_SESSION", QStringLiteral("sway"));
            script.start(
                QStringLiteral(QS_SESSION_SCRIPTS "/%1-session.sh").arg(session), { dir.path() });
            if (!script.waitForFinished(30000) || script.exitCode() != 0)
                return false;
            QFile file(dir.filePath(QStringLiteral("env")));
            QFile pidFile(dir.filePath(QStringLiteral("pid")));
            if (!file.open(QIODevice::ReadOnly) || !pidFile.open(QIODevice::ReadOnly))
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
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
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
            const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
            for (const QString &entry : entries) {
                QFile comm(QStringLiteral("/proc/%1/comm").arg(entry));
                if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != "Xwayland")
                    continue;
                if (::getsid(pid_t(entry.toInt())) == pid)
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

    // Starts the program against waylandDisplay (and the X server display
    // with its key, when given) as the desktop names itself; returns once it
    // has written its start-up lines, or null.
    std::unique_ptr<QProcess> startProgram(const QString &waylandDisplay,
        const QString &display = QString(), const QString &xauthority = QString(),
        const QString &desktop = QString())
    {
        auto program = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), desktop);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), waylandDisplay);
        if (!display.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), display);
        if (!xauthority.isEmpty())
            env.insert(QStringLiteral("XAUTHORITY"), xauthority);
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        program->setProcessEnvironment(env);
        program->start(QStringLiteral(QS_QUILLSTACK));
        if (!waitForStderr(*program, "global shortcuts"))
            return nullptr;
        return program;
    }

    static bool waitForStderr(QProcess &process, const QByteArray &text)
    {
        QElapsedTimer waited;
        waited.start();
        while (
            !process.property("stderr").toByteArray().contains(text) && waited.elapsed() < 10000) {
            process.waitForReadyRead(100);
            process.setProperty("stderr",
                process.property("stderr").toByteArray() + process.readAllStandardError());
        }
        return process.property("stderr").toByteArray().contains(text);
    }

    static QByteArray stop(QProcess &program)
    {
        program.terminate();
        program.waitForFinished(10000);
        return program.property("stderr").toByteArray() + program.readAllStandardError();
    }

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
        QTest::newRow("compositor gone, then quit") << QStringLiteral("compositor first");
        // Xwayland outlives it for a moment: the Wayland connection breaks first.
        QTest::newRow("compositor killed alone, then quit") << QStringLiteral("killed");
        QTest::newRow("Xwayland gone, then quit") << QStringLiteral("xwayland first");
        QTest::newRow("quit, compositor gone at once") << QStringLiteral("together");
        QTest::newRow("quit while putting a copy back, compositor gone at once")
            << QStringLiteral("restore");
    }

    void quitAsTheSessionEnds()
    {
        QFETCH(QString, shape);
        Compositor compositor;
        QVERIFY(compositor.start());
        const QString wayland = compositor.env.value(QStringLiteral("WAYLAND_DISPLAY"));
        const std::unique_ptr<QProcess> program
            = startProgram(wayland, compositor.env.value(QStringLiteral("DISPLAY")),
                compositor.env.value(QStringLiteral("XAUTHORITY")));
        QVERIFY(program);
        QVERIFY(waitForStderr(*program, "clipboard through Wayland (zwlr_data_control_manager_v1"));
        // Neither session has a portal for global shortcuts: the user binds our command line.
        QVERIFY(waitForStderr(*program, "no desktop portal for global shortcuts"));

        QProcessEnvironment copyEnv = QProcessEnvironment::systemEnvironment();
        copyEnv.insert(QStringLiteral("WAYLAND_DISPLAY"), wayland);
        const QString dataDir = m_home.filePath(QStringLiteral("data/Quillstack"));
        const auto recorded = [&dataDir](const QByteArray &text) {
            for (const QString &name :
                { QStringLiteral("clips.json"), QStringLiteral("clips.journal") }) {
                QFile file(dataDir + QLatin1Char('/') + name);
                if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text))
                    return true;
            }
            return false;
        };
        // Copies made before the program has finished starting are taken as
        // what was there before it, so the first is repeated until recorded.
        const QByteArray first = "before the end of the session, " + shape.toUtf8();
        QVERIFY(QTest::qWaitFor(
            [&] {
                QProcess copy;
                copy.setProcessEnvironment(copyEnv);
                copy.setStandardOutputFile(QProcess::nullDevice());
                copy.start(QStringLiteral("wl-copy"), { QString::fromUtf8(first) });
                copy.waitForFinished(5000);
                return QTest::qWaitFor([&] { return recorded(first); }, 300);
            },
            15000));
        // The last copy stays with its program, which the restore shape ends.
        const QByteArray last = "last copy, " + shape.toUtf8();
        QProcess owner;
        owner.setProcessEnvironment(copyEnv);
        owner.start(
            QStringLiteral("wl-copy"), { QStringLiteral("--foreground"), QString::fromUtf8(last) });
        QVERIFY(QTest::qWaitFor([&] { return recorded(last); }, 10000));

        if (shape == QLatin1String("compositor first") || shape == QLatin1String("killed")) {
            if (shape == QLatin1String("killed"))
                ::kill(compositor.pid, SIGKILL);
            else
                compositor.end();
            QVERIFY(QTest::qWaitFor([&] { return !compositor.running(); }, 10000));
        } else if (shape == QLatin1String("xwayland first")) {
            const pid_t xwayland = compositor.xwayland();
            QVERIFY(xwayland > 0);
            ::kill(xwayland, SIGKILL);
            QVERIFY(QTest::qWaitFor([&] { return ::kill(xwayland, 0) != 0; }, 10000));
        } else if (shape == QLatin1String("restore")) {
            owner.kill();
        }
        program->terminate();
        compositor.end();
        // It may have ended already, without its compositor.
        QVERIFY(program->state() == QProcess::NotRunning || program->waitForFinished(30000));
        owner.kill();
        owner.waitForFinished(5000);

        const QByteArray lines
            = program->property("stderr").toByteArray() + program->readAllStandardError();
        QVERIFY2(
            !lines.contains("Sanitizer") && !lines.contains("runtime error"), lines.constData());
        QCOMPARE(program->exitStatus(), QProcess::NormalExit);
        // One capture path: the X11 reader never ran beside it.
        QCOMPARE(lines.count("clipboard through"), 1);
        // Without its X server Qt ends the program at once, with 1.
        QVERIFY2(program->exitCode() == 0
                || (program->exitCode() == 1 && lines.contains("The X11 connection broke")),
            lines.constData());

        // The history opens whole, with both copies, newest first.
        Defaults defaults(m_home.filePath(QStringLiteral("check.ini")));
        Settings settings(defaults);
        ClipStore store(settings, m_home.filePath(QStringLiteral("data")));
        QStringList texts;
        for (const Clip &clip : store.clips())
            texts.append(clip.text.value_or(QString()));
        QCOMPARE(
            texts.mid(0, 2), (QStringList { QString::fromUtf8(last), QString::fromUtf8(first) }));
        QCOMPARE(QDir(dataDir).entryList({ QStringLiteral("*corrupt*") }), QStringList());
    }

    // Against our own compositor: the program takes the best data-control
    // protocol offered, and without one stays with X11; it says which. On
    // GNOME it goes through the GNOME Shell companion when that answers, and
    // otherwise tells how to enable it.
    void clipboardChoiceIsLogged_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("desktop"); // "GNOME+companion": with a fake companion
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("notLine");
        const QString none;
        const QByteArray x11("clipboard through X11 (XWayland): the Wayland compositor offers no "
                             "data-control protocol");
        const QByteArray advice("gnome-extensions enable quillstack@quillstack.github.io");
        QTest::newRow("no data-control") << QStringList {} << none << x11 << advice;
        QTest::newRow("wlroots") << QStringList { QStringLiteral("--wlr") } << none
                                 << QByteArray("clipboard through Wayland "
                                               "(zwlr_data_control_manager_v1 version 2)")
                                 << advice;
        QTest::newRow("standard") << QStringList { QStringLiteral("--ext") } << none
                                  << QByteArray("clipboard through Wayland "
                                                "(ext_data_control_manager_v1 version 1)")
                                  << advice;
        QTest::newRow("both") << QStringList { QStringLiteral("--wlr"), QStringLiteral("--ext") }
                              << none
                              << QByteArray("clipboard through Wayland "
                                            "(ext_data_control_manager_v1 version 1)")
                              << advice;
        QTest::newRow("GNOME without its companion")
            << QStringList {} << QStringLiteral("ubuntu:GNOME") << advice
            << QByteArray("through the GNOME Shell companion");
        QTest::newRow("GNOME with its companion")
            << QStringList {} << QStringLiteral("GNOME+companion")
            << QByteArray("clipboard through the GNOME Shell companion") << advice;
    }

    void clipboardChoiceIsLogged()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, desktop);
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, notLine);
        std::optional<FakeGnomeShell> shell;
        const QString companion = QStringLiteral("+companion");
        if (desktop.endsWith(companion)) {
            shell.emplace();
            QVERIFY(shell->isValid());
            desktop.chop(companion.size());
        }
        QProcess compositor;
        compositor.start(QStringLiteral(QS_TEST_COMPOSITOR), options);
        QVERIFY(compositor.waitForReadyRead(5000));
        const QString socket = QString::fromUtf8(compositor.readLine().trimmed());

        const std::unique_ptr<QProcess> program
            = startProgram(socket, QString(), QString(), desktop);
        QVERIFY(program);
        if (shell) {
            // A copy the companion announces is read through it and recorded.
            shell->copy({ { QStringLiteral("text/plain;charset=utf-8"), "copied in GNOME" } });
            QFile journal(m_home.filePath(QStringLiteral("data/Quillstack/clips.journal")));
            QVERIFY(QTest::qWaitFor(
                [&journal] {
                    journal.close();
                    return journal.open(QIODevice::ReadOnly)
                        && journal.readAll().contains("copied in GNOME");
                },
                10000));
        }
        const QByteArray lines = stop(*program);
        QVERIFY2(lines.contains(line), lines.constData());
        QVERIFY2(notLine.isEmpty() || !lines.contains(notLine), lines.constData());
        QCOMPARE(lines.count("clipboard through"), 1);
        compositor.terminate();
        QVERIFY(compositor.waitForFinished(5000));
        QCOMPARE(compositor.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_WaylandSession)
#include "tst_WaylandSession.moc"
