// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuillstackProcess.h"
#include "X11TestTools.h"

#include <QDir>
#include <QFile>
#include <QTest>

// The whole program on a Wayland desktop, as a user meets it: a Wayland
// program has the keyboard, the shortcut opens the panel (an XWayland
// window), keys typed there choose a clip, and the Wayland program has the
// keyboard again with the chosen clip on the clipboard. Under sway the
// shortcut is the compositor running our command line; under KWin, with no
// portal for shortcuts, the command line run in the session.
class tst_WaylandEndToEnd : public QObject
{
    Q_OBJECT

    // One program for all cases, as a user's runs for the whole session.
    QuillstackProcess m_quillstack;
    QByteArray m_programLines;
    QString m_busAddress;
    // A bus that sway's user may reach, for the command that sway runs.
    QTemporaryDir m_busDir;
    QProcess m_bus;
    // The Wayland program and the focus lines it has printed.
    QProcess m_client;
    QByteArrayList m_clientLines;

    static bool underSway() { return qEnvironmentVariableIsSet("SWAYSOCK"); }

    bool programSaid(const QByteArray &text)
    {
        return QTest::qWaitFor(
            [&] {
                m_programLines += m_quillstack.program.readAllStandardError();
                return m_programLines.contains(text);
            },
            20000);
    }

    // The last focus line the Wayland program printed, after waiting for it
    // to become `line`.
    bool clientFocus(const QByteArray &line)
    {
        return QTest::qWaitFor(
            [&] {
                while (m_client.canReadLine())
                    m_clientLines.append(m_client.readLine().trimmed());
                return !m_clientLines.isEmpty() && m_clientLines.last() == line;
            },
            10000);
    }

    bool recorded(const QByteArray &text) const
    {
        const QDir data(m_quillstack.home.filePath(QStringLiteral("data/Quillstack")));
        for (const QString &name :
            { QStringLiteral("clips.json"), QStringLiteral("clips.journal") }) {
            QFile file(data.filePath(name));
            if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text))
                return true;
        }
        return false;
    }

    bool startSharedBus()
    {
        QFile config(m_busDir.filePath(QStringLiteral("bus.conf")));
        if (!config.open(QIODevice::WriteOnly))
            return false;
        config.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                     "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                     "<busconfig><include>/usr/share/dbus-1/session.conf</include>"
                     "<policy context=\"default\"><allow user=\"*\"/></policy></busconfig>\n");
        config.close();
        QFile::setPermissions(m_busDir.path(),
            QFile::permissions(m_busDir.path()) | QFile::ReadOther | QFile::ExeOther);
        const QString address
            = QStringLiteral("unix:path=") + m_busDir.filePath(QStringLiteral("bus"));
        m_bus.start(QStringLiteral("dbus-daemon"),
            { QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--nofork"),
                QStringLiteral("--address=") + address, QStringLiteral("--print-address") });
        if (!m_bus.waitForReadyRead(10000))
            return false;
        m_busAddress = address;
        return true;
    }

    // The toggle as the session's shortcut runs it; false when it could not.
    bool toggle()
    {
        const QString program = qEnvironmentVariable("QUILLSTACK_TEST_BINARY_DIR")
            + QStringLiteral("/src/quillstack");
        if (underSway()) {
            const QString command = QStringLiteral("env DBUS_SESSION_BUS_ADDRESS=%1 %2 --toggle")
                                        .arg(m_busAddress, program);
            const QString answer
                = runTool(QStringLiteral("swaymsg"), { QStringLiteral("exec"), command });
            return answer.contains(QLatin1String("\"success\": true"));
        }
        return m_quillstack.run({ QStringLiteral("--toggle") }).exitCode == 0;
    }

    // XWayland gives the keyboard to the panel, a tool window, rather than
    // to the message the program shows at launch.
    static bool panelHasXFocus()
    {
        const QString focus
            = runTool(QStringLiteral("xdotool"), { QStringLiteral("getwindowfocus") });
        return runTool(QStringLiteral("xprop"),
            { QStringLiteral("-id"), focus, QStringLiteral("_NET_WM_WINDOW_TYPE") })
            .contains(QLatin1String("_NET_WM_WINDOW_TYPE_UTILITY"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(
            qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && qEnvironmentVariableIsSet("DISPLAY"),
            "run under wayland-harness.sh");
        if (underSway())
            QVERIFY(startSharedBus());
        if (!m_busAddress.isEmpty())
            m_quillstack.environment.insert(
                QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
        m_quillstack.start();
        QVERIFY(programSaid("clipboard through Wayland"));
        // Without a tray it says so in a window of its own at launch, which
        // may take the keyboard; the Wayland program comes after it.
        QVERIFY(programSaid("No system tray"));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        m_client.setProcessEnvironment(env);
        m_client.start(QStringLiteral(QS_FOCUS_WINDOW),
            { QStringLiteral("native"), QStringLiteral("native"),
                QStringLiteral("--report-focus") });
        QVERIFY(clientFocus("focus in"));
    }

    void cleanupTestCase()
    {
        m_client.kill();
        m_client.waitForFinished(5000);
        m_quillstack.program.terminate();
        QVERIFY(m_quillstack.program.waitForFinished(20000));
        m_programLines += m_quillstack.program.readAllStandardError();
        QVERIFY2(!m_programLines.contains("Sanitizer") && !m_programLines.contains("runtime error"),
            m_programLines.constData());
        QCOMPARE(m_quillstack.program.exitCode(), 0);
        m_bus.kill();
        m_bus.waitForFinished(5000);
    }

    // Two copies made in Wayland programs, then the panel: keys typed into it
    // choose the older one or close it. Either way the Wayland program has
    // the keyboard again, and the clipboard holds what was chosen; again the
    // next time the panel opens.
    void panelHandsTheKeyboardBack_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<int>("chosen");
        QTest::newRow("choose the older copy")
            << QStringList { QStringLiteral("Down"), QStringLiteral("Return") } << 0;
        QTest::newRow("close without choosing") << QStringList { QStringLiteral("Escape") } << 1;
    }

    void panelHandsTheKeyboardBack()
    {
        QFETCH(QStringList, keys);
        QFETCH(int, chosen);
        const QByteArray tag = QTest::currentDataTag();
        const QByteArrayList copies { "older copy, " + tag, "newer copy, " + tag };
        for (const QByteArray &text : copies) {
            QProcess copy;
            // wl-copy leaves a process behind that serves the copy.
            copy.setStandardOutputFile(QProcess::nullDevice());
            copy.start(QStringLiteral("wl-copy"), { QString::fromUtf8(text) });
            QVERIFY(copy.waitForFinished(10000));
            QVERIFY(QTest::qWaitFor([&] { return recorded(text); }, 10000));
        }
        QVERIFY(clientFocus("focus in"));

        QVERIFY(toggle());
        // The panel has the keyboard: the compositor took it from the
        // Wayland program.
        QVERIFY(clientFocus("focus out"));
        QVERIFY(QTest::qWaitFor(panelHasXFocus, 10000));

        QStringList arguments { QStringLiteral("key"), QStringLiteral("--delay"),
            QStringLiteral("100") };
        runTool(QStringLiteral("xdotool"), arguments + keys);
        QVERIFY(clientFocus("focus in"));
        QCOMPARE(runTool(QStringLiteral("wl-paste"), { QStringLiteral("--no-newline") }),
            QString::fromUtf8(copies.at(chosen)));
    }
};

QTEST_GUILESS_MAIN(tst_WaylandEndToEnd)
#include "tst_WaylandEndToEnd.moc"
