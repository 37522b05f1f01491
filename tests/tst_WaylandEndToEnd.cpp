// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuillstackProcess.h"
#include "X11TestTools.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

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
                return (m_programLines += m_quillstack.program.readAllStandardError())
                    .contains(text);
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

    // Starts a session bus that admits every user; its address, or empty.
    QString startSharedBus()
    {
        QFile config(m_busDir.filePath(u"bus.conf"_s));
        if (!config.open(QIODevice::WriteOnly))
            return {};
        config.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                     "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                     "<busconfig><include>/usr/share/dbus-1/session.conf</include>"
                     "<policy context=\"default\"><allow user=\"*\"/></policy></busconfig>\n");
        config.close();
        QFile::setPermissions(m_busDir.path(),
            QFile::permissions(m_busDir.path()) | QFile::ReadOther | QFile::ExeOther);
        const QString address = u"unix:path="_s + m_busDir.filePath(u"bus"_s);
        m_bus.start(u"dbus-daemon"_s,
            { u"--config-file="_s + config.fileName(), u"--nofork"_s, u"--address="_s + address,
                u"--print-address"_s });
        return m_bus.waitForReadyRead(10000) ? address : QString();
    }

    // The toggle as the session's shortcut runs it; false when it could not.
    bool toggle()
    {
        if (!underSway())
            return m_quillstack.run({ u"--toggle"_s }).exitCode == 0;
        const QString command = u"env DBUS_SESSION_BUS_ADDRESS=%1 %2 --toggle"_s.arg(
            m_quillstack.environment.value(u"DBUS_SESSION_BUS_ADDRESS"_s),
            m_quillstack.program.program());
        return runTool(u"swaymsg"_s, { u"exec"_s, command }).contains("\"success\": true"_L1);
    }

    // XWayland gives the keyboard to the panel, a tool window, rather than
    // to the message the program shows at launch.
    static bool panelHasXFocus()
    {
        const QString focus = runTool(u"xdotool"_s, { u"getwindowfocus"_s });
        return runTool(u"xprop"_s, { u"-id"_s, focus, u"_NET_WM_WINDOW_TYPE"_s })
            .contains("_NET_WM_WINDOW_TYPE_UTILITY"_L1);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(
            qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && qEnvironmentVariableIsSet("DISPLAY"),
            "run under wayland-harness.sh");
        if (underSway()) {
            const QString address = startSharedBus();
            QVERIFY(!address.isEmpty());
            m_quillstack.environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, address);
        }
        m_quillstack.start();
        QVERIFY(programSaid("clipboard through Wayland"));
        // Without a tray it says so in a window of its own at launch, which
        // may take the keyboard; the Wayland program comes after it.
        QVERIFY(programSaid("No system tray"));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"wayland"_s);
        m_client.setProcessEnvironment(env);
        m_client.start(
            QStringLiteral(QS_FOCUS_WINDOW), { u"native"_s, u"native"_s, u"--report-focus"_s });
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
        QTest::newRow("choose the older copy") << QStringList { u"Down"_s, u"Return"_s } << 0;
        QTest::newRow("close without choosing") << QStringList { u"Escape"_s } << 1;
    }

    void panelHandsTheKeyboardBack()
    {
        QFETCH(QStringList, keys);
        QFETCH(int, chosen);
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        const QStringList copies { "older copy, "_L1 + tag, "newer copy, "_L1 + tag };
        for (const QString &text : copies) {
            QProcess copy;
            // wl-copy leaves a process behind that serves the copy.
            copy.setStandardOutputFile(QProcess::nullDevice());
            copy.start(u"wl-copy"_s, { text });
            QVERIFY(copy.waitForFinished(10000));
            QVERIFY(QTest::qWaitFor(
                [&] { return m_quillstack.run({ u"--list"_s }).out.contains(text); }, 10000));
        }
        QVERIFY(clientFocus("focus in"));

        QVERIFY(toggle());
        // The panel has the keyboard: the compositor took it from the
        // Wayland program.
        QVERIFY(clientFocus("focus out"));
        QVERIFY(QTest::qWaitFor(panelHasXFocus, 10000));

        runTool(u"xdotool"_s, QStringList { u"key"_s, u"--delay"_s, u"100"_s } + keys);
        QVERIFY(clientFocus("focus in"));
        QCOMPARE(runTool(u"wl-paste"_s, { u"--no-newline"_s }), copies.at(chosen));
    }
};

QTEST_GUILESS_MAIN(tst_WaylandEndToEnd)
#include "tst_WaylandEndToEnd.moc"
