// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelperProcesses.h"
#include "platform/wayland/KWinWorkspace.h"
#include "platform/wayland/WaylandWorkspace.h"

#include <QProcess>
#include <QTest>

#include <memory>

// Handing the keyboard back on a Wayland session: the window that was active
// is found in the compositor's window list (headless sway) or through its
// scripts (headless KWin), and activated again from there. The windows are
// X11 ones on Xwayland, which both hold like any other.
class tst_WaylandWorkspace : public QObject
{
    Q_OBJECT

    HelperProcesses m_windows;

    // program names the window's program as the compositor sees it.
    bool openWindow(const QString &title, const QString &program = QStringLiteral("other"))
    {
        auto window = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        window->setProcessEnvironment(env);
        window->start(QStringLiteral(QS_FOCUS_WINDOW), { title, program });
        // It prints its window id once it is on screen.
        return m_windows.keep(std::move(window))->waitForReadyRead(10000);
    }

    // The back end the program takes under the compositor the test runs in.
    template<class Backend> static std::unique_ptr<Workspace> open(QString *error)
    {
        auto workspace = std::make_unique<Backend>();
        *error = workspace->errorString();
        return workspace->isOpen() ? std::move(workspace) : nullptr;
    }

    static QString focusedTitle()
    {
        if (qEnvironmentVariableIsEmpty("SWAYSOCK")) {
            // KWin names the X11 window it activates to X11 clients.
            QProcess xdotool;
            xdotool.start(QStringLiteral("xdotool"),
                { QStringLiteral("getactivewindow"), QStringLiteral("getwindowname") });
            xdotool.waitForFinished(5000);
            return QString::fromUtf8(xdotool.readAllStandardOutput()).trimmed();
        }
        QProcess swaymsg;
        swaymsg.start(
            QStringLiteral("swaymsg"), { QStringLiteral("-t"), QStringLiteral("get_tree") });
        swaymsg.waitForFinished(5000);
        // The focused node is the only one whose "focused" is true; its name follows.
        const QByteArray tree = swaymsg.readAllStandardOutput();
        const qsizetype at = tree.indexOf("\"focused\": true");
        const qsizetype name = tree.indexOf("\"name\": \"", at);
        if (at < 0 || name < 0)
            return {};
        const qsizetype start = name + 9;
        return QString::fromUtf8(tree.mid(start, tree.indexOf('"', start) - start));
    }

private slots:
    void cleanup() { m_windows.killAll(); }

    void previousWindowIsActivatedAgain()
    {
        QString error;
        const std::unique_ptr<Workspace> opened = KWinWorkspace::isRunning()
            ? open<KWinWorkspace>(&error)
            : open<WaylandWorkspace>(&error);
        QVERIFY2(opened, qPrintable(error));
        Workspace &workspace = *opened;
        // A new window gets the keyboard.
        QVERIFY(openWindow(QStringLiteral("first")));
        std::optional<RunningWindow> first;
        QTRY_VERIFY_WITH_TIMEOUT((first = workspace.frontmostWindow()).has_value(), 5000);
        QVERIFY(openWindow(QStringLiteral("second")));
        QTRY_VERIFY_WITH_TIMEOUT(
            workspace.frontmostWindow().has_value() && workspace.frontmostWindow() != first, 5000);
        QCOMPARE(focusedTitle(), QStringLiteral("second"));

        workspace.activate(*first);
        QTRY_COMPARE_WITH_TIMEOUT(focusedTitle(), QStringLiteral("first"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(workspace.frontmostWindow(), first, 5000);

        // Our own windows are never the one to go back to.
        QVERIFY(openWindow(QStringLiteral("ours"), QCoreApplication::applicationName()));
        QTRY_COMPARE_WITH_TIMEOUT(focusedTitle(), QStringLiteral("ours"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(workspace.frontmostWindow(), std::nullopt, 5000);
    }
};

QTEST_MAIN(tst_WaylandWorkspace)
#include "tst_WaylandWorkspace.moc"
