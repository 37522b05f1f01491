// SPDX-License-Identifier: GPL-3.0-or-later
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The program itself on a Wayland session, its UI on Xwayland: it takes the
// clipboard from data-control when the compositor offers it, and otherwise
// stays with X11 and says why.
class tst_WaylandSession : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

    // Starts the program against waylandDisplay; returns once it has written
    // its start-up lines, or null.
    std::unique_ptr<QProcess> startProgram(const QString &waylandDisplay)
    {
        auto program = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), waylandDisplay);
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

    void dataControlIsUsedAndCopiesRecorded()
    {
        const std::unique_ptr<QProcess> program
            = startProgram(qEnvironmentVariable("WAYLAND_DISPLAY"));
        QVERIFY(program);
        QVERIFY(waitForStderr(*program, "clipboard through Wayland (zwlr_data_control_manager_v1"));

        // Copies made before the program has finished starting are taken as
        // what was there before it, so copy until one is recorded.
        QFile archive(m_home.filePath(QStringLiteral("data/Quillstack/clips.json")));
        QElapsedTimer waited;
        waited.start();
        bool recorded = false;
        while (!recorded && waited.elapsed() < 10000) {
            QProcess copy;
            copy.setStandardOutputFile(QProcess::nullDevice());
            copy.start(QStringLiteral("wl-copy"),
                { QStringLiteral("copied in a Wayland program %1").arg(waited.elapsed()) });
            QVERIFY(copy.waitForFinished(5000));
            recorded = QTest::qWaitFor(
                [&] {
                    const bool found = archive.open(QIODevice::ReadOnly)
                        && archive.readAll().contains("copied in a Wayland program");
                    archive.close();
                    return found;
                },
                200);
        }
        QVERIFY(recorded);

        // One capture path: the X11 reader never ran beside it.
        const QByteArray lines = stop(*program);
        QCOMPARE(lines.count("clipboard through"), 1);
    }

    void withoutDataControlX11IsUsedAndSaysSo()
    {
        QProcess compositor;
        compositor.start(QStringLiteral(QS_BARE_COMPOSITOR));
        QVERIFY(compositor.waitForReadyRead(5000));
        const QString socket = QString::fromUtf8(compositor.readLine().trimmed());

        const std::unique_ptr<QProcess> program = startProgram(socket);
        QVERIFY(program);
        const QByteArray lines = stop(*program);
        QVERIFY2(
            lines.contains("clipboard through X11 (XWayland): the Wayland compositor offers no "
                           "data-control protocol"),
            lines.constData());
        QCOMPARE(lines.count("clipboard through"), 1);
        compositor.kill();
        compositor.waitForFinished(5000);
    }
};

QTEST_GUILESS_MAIN(tst_WaylandSession)
#include "tst_WaylandSession.moc"
