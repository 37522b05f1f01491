#include "AppDelegate.h"
#include "ClipFunctions.h"
#include "ClipStore.h"
#include "Defaults.h"
#include "HistoryPanel.h"
#include "HistoryViewController.h"
#include "QtScreens.h"
#include "Settings.h"
#include "Translations.h"
#include "X11MouseMonitor.h"
#include "X11Pasteboard.h"
#include "X11Workspace.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Runs a command line tool without blocking the event loop: xclip asks us
// for the clipboard, and we must be able to answer.
QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return QStringLiteral("<did not start>");
    QElapsedTimer timer;
    timer.start();
    while (process.state() != QProcess::NotRunning && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return QStringLiteral("<timed out>");
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

bool withoutWindowManager()
{
    return qEnvironmentVariable("QUILLSTACK_NO_WM") == QLatin1String("1");
}

// The window with the keyboard as xdotool sees it: the window manager's
// active window, or the input focus when there is no window manager.
quint64 activeWindowByXdotool()
{
    const QString out = run(QStringLiteral("xdotool"),
        { withoutWindowManager() ? QStringLiteral("getwindowfocus")
                                 : QStringLiteral("getactivewindow") });
    return out.toULongLong();
}

// Another program with a window of its own.
class OtherProgram
{
public:
    OtherProgram()
    {
        m_process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/qs-focus-window"),
            QStringList());
    }
    ~OtherProgram()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

    // Waits until the window is mapped.
    bool waitForWindow()
    {
        QElapsedTimer timer;
        timer.start();
        while (!m_process.canReadLine() && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!m_process.canReadLine())
            return false;
        m_window = m_process.readLine().trimmed().toULongLong();
        return m_window != 0;
    }
    quint64 window() const { return m_window; }
    qint64 processId() const { return m_process.processId(); }

private:
    QProcess m_process;
    quint64 m_window = 0;
};

struct Fixture
{
    Fixture()
    {
        app = std::make_unique<AppDelegate>(
            AppServices { defaults, pasteboard, workspace, screens, mouse, dir.path() });
    }

    void addText(const QString &text)
    {
        ClipContent content;
        content.preview = text;
        content.text = text;
        content.byteSize = text.toUtf8().size();
        content.contentHash = sha256Hex(text.toUtf8());
        app->store().add(content);
    }

    bool otherProgramHasKeyboard()
    {
        const std::optional<RunningWindow> front = workspace.frontmostWindow();
        return front && front->windowId == other.window();
    }

    // Gives the other program the keyboard, as if the user had clicked it.
    bool focusOtherProgram()
    {
        if (!other.waitForWindow())
            return false;
        workspace.activate(RunningWindow { other.window(), std::nullopt });
        QElapsedTimer timer;
        timer.start();
        while (!otherProgramHasKeyboard() && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return otherProgramHasKeyboard();
    }

    bool panelHasKeyboard()
    {
        return app->panel().isVisible()
            && QApplication::focusWidget() == app->historyController()->searchField();
    }

    // A point in window coordinates.
    QPoint panelCentre() const { return app->panel().geometry().center(); }

    QTemporaryDir dir;
    Defaults defaults { dir.filePath(QStringLiteral("Quillstack.conf")) };
    X11Pasteboard pasteboard;
    X11Workspace workspace;
    QtScreens screens;
    X11MouseMonitor mouse;
    OtherProgram other;
    std::unique_ptr<AppDelegate> app;
};

void clickAt(const QPoint &point)
{
    run(QStringLiteral("xdotool"),
        { QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()),
            QStringLiteral("click"), QStringLiteral("1") });
}

} // namespace

class tst_AppX11 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void chooseWithReturnHandsTheKeyboardBack();
    void outsideClickHides();
    void alwaysVisibleIgnoresOutsideClicks();
    void trayMenuTogglesThePanel();
};

void tst_AppX11::initTestCase()
{
    for (const char *tool : { "xdotool", "xclip" })
        QVERIFY2(!QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty(), tool);
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QVERIFY(installTranslations(*QCoreApplication::instance()));
}

void tst_AppX11::chooseWithReturnHandsTheKeyboardBack()
{
    Fixture f;
    QVERIFY(f.workspace.isOpen());
    f.addText(QStringLiteral("alpha"));
    f.addText(QStringLiteral("beta"));
    f.app->applicationDidFinishLaunching();
    QVERIFY(f.focusOtherProgram());
    QCOMPARE(activeWindowByXdotool(), f.other.window());
    const QList<Clip> before = f.app->store().clips();

    f.app->toggleFromShortcut(ListMode::all);
    QTRY_VERIFY_WITH_TIMEOUT(f.panelHasKeyboard(), 10000);
    QVERIFY(f.app->previousApp());
    QCOMPARE(f.app->previousApp()->windowId, f.other.window());
    QCOMPARE(f.app->previousApp()->processId, f.other.processId());

    run(QStringLiteral("xdotool"), { QStringLiteral("key"), QStringLiteral("Return") });
    QTRY_VERIFY_WITH_TIMEOUT(!f.app->panel().isVisible(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(f.otherProgramHasKeyboard(), 10000);
    QCOMPARE(activeWindowByXdotool(), f.other.window());
    QCOMPARE(
        run(QStringLiteral("xclip"),
            { QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard") }),
        QStringLiteral("beta"));

    // Another program copies next; the history then holds that copy and the
    // clips from before, unchanged: our own write was not recorded in between.
    QProcess copy;
    copy.setStandardOutputFile(QProcess::nullDevice());
    copy.start(QStringLiteral("xclip"),
        { QStringLiteral("-i"), QStringLiteral("-selection"), QStringLiteral("clipboard") });
    QVERIFY(copy.waitForStarted());
    copy.write("gamma");
    copy.closeWriteChannel();
    QTRY_COMPARE_WITH_TIMEOUT(f.app->store().clips().size(), before.size() + 1, 10000);
    QCOMPARE(f.app->store().clips().first().text, QStringLiteral("gamma"));
    QCOMPARE(f.app->store().clips().mid(1), before);
    copy.kill();
    copy.waitForFinished();
}

void tst_AppX11::outsideClickHides()
{
    Fixture f;
    f.addText(QStringLiteral("alpha"));
    f.app->applicationDidFinishLaunching();
    QVERIFY(f.focusOtherProgram());
    f.app->toggleFromShortcut(ListMode::all);
    QTRY_VERIFY_WITH_TIMEOUT(f.panelHasKeyboard(), 10000);

    // A press in the search field is ours: the panel stays.
    int presses = 0;
    const std::optional<MouseMonitor::Token> probe
        = f.mouse.addGlobalMonitor([&presses] { ++presses; });
    QVERIFY(probe);
    const QRect search(f.app->historyController()->searchField()->mapToGlobal(QPoint(0, 0)),
        f.app->historyController()->searchField()->size());
    clickAt(search.center());
    QTRY_COMPARE_WITH_TIMEOUT(presses, 1, 10000);
    QVERIFY(f.app->panel().isVisible());

    clickAt(QPoint(20, 400));
    QTRY_VERIFY_WITH_TIMEOUT(!f.app->panel().isVisible(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(f.otherProgramHasKeyboard(), 10000);
    QVERIFY(!f.app->hasMouseMonitor());
    f.mouse.removeMonitor(*probe);
}

void tst_AppX11::alwaysVisibleIgnoresOutsideClicks()
{
    Fixture f;
    f.app->applicationDidFinishLaunching();
    QVERIFY(f.focusOtherProgram());
    f.app->settings().setAlwaysVisible(true);
    QTRY_VERIFY_WITH_TIMEOUT(f.app->panel().isVisible(), 10000);
    QVERIFY(f.app->hasMouseMonitor());
    // Shown without taking the keyboard from the other program.
    QVERIFY(f.otherProgramHasKeyboard());

    int presses = 0;
    const std::optional<MouseMonitor::Token> probe
        = f.mouse.addGlobalMonitor([&presses] { ++presses; });
    QVERIFY(probe);
    clickAt(QPoint(20, 400));
    QTRY_COMPARE_WITH_TIMEOUT(presses, 1, 10000);
    QVERIFY(f.app->panel().isVisible());
    f.mouse.removeMonitor(*probe);
}

void tst_AppX11::trayMenuTogglesThePanel()
{
    Fixture f;
    f.app->applicationDidFinishLaunching();
    QMenu *menu = f.app->statusMenu();

    menu->popup(QPoint(300, 300));
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->actions().first()->text(), qtTrId("menu.show"));
    menu->hide();
    menu->actions().first()->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(f.panelHasKeyboard(), 10000);

    menu->popup(QPoint(300, 300));
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->actions().first()->text(), qtTrId("menu.hide"));
    menu->hide();
    menu->actions().first()->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!f.app->panel().isVisible(), 10000);

    menu->popup(QPoint(300, 300));
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->actions().first()->text(), qtTrId("menu.show"));
    menu->hide();
}

QTEST_MAIN(tst_AppX11)
#include "tst_AppX11.moc"
