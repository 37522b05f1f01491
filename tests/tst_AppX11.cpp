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
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Runs the event loop until `done` or ten seconds have passed.
template<typename Condition> bool waitFor(Condition done)
{
    const QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Runs a tool without blocking the event loop: xclip asks us for the
// clipboard, and we must be able to answer.
QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!waitFor([&] { return process.state() == QProcess::NotRunning; }))
        process.kill();
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

void clickAt(const QPoint &point)
{
    run(QStringLiteral("xdotool"),
        { QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()),
            QStringLiteral("click"), QStringLiteral("1") });
}

// The window with the keyboard by xdotool: the window manager's active
// window, or the input focus when there is no window manager.
quint64 activeWindowByXdotool()
{
    const bool bare = qEnvironmentVariable("QUILLSTACK_NO_WM") == QLatin1String("1");
    return run(QStringLiteral("xdotool"),
        { bare ? QStringLiteral("getwindowfocus") : QStringLiteral("getactivewindow") })
        .toULongLong();
}

struct Fixture
{
    Fixture()
    {
        app = std::make_unique<AppDelegate>(
            AppServices { defaults, pasteboard, workspace, screens, mouse, dir.path() });
        other.start(QCoreApplication::applicationDirPath() + QStringLiteral("/qs-focus-window"),
            QStringList());
    }
    ~Fixture()
    {
        other.kill();
        other.waitForFinished();
    }

    void addText(const QString &text)
    {
        ClipContent content;
        content.preview = text;
        content.text = text;
        content.byteSize = text.size();
        content.contentHash = sha256Hex(text.toUtf8());
        app->store().add(content);
    }

    bool otherHasKeyboard()
    {
        const std::optional<RunningWindow> front = workspace.frontmostWindow();
        return front && front->windowId == otherWindow;
    }
    // Gives the other program the keyboard, as if the user had clicked it.
    bool focusOther()
    {
        if (!waitFor([this] { return other.canReadLine(); }))
            return false;
        otherWindow = other.readLine().trimmed().toULongLong();
        workspace.activate(RunningWindow { otherWindow, std::nullopt });
        return waitFor([this] { return otherHasKeyboard(); });
    }
    bool panelHasKeyboard()
    {
        return app->panel().isVisible()
            && QApplication::focusWidget() == app->historyController()->searchField();
    }

    QTemporaryDir dir;
    Defaults defaults { dir.filePath(QStringLiteral("Quillstack.conf")) };
    X11Pasteboard pasteboard;
    X11Workspace workspace;
    QtScreens screens;
    X11MouseMonitor mouse;
    std::unique_ptr<AppDelegate> app;
    QProcess other; // another program, with a window of its own
    quint64 otherWindow = 0;
};

} // namespace

class tst_AppX11 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void chooseWithReturnHandsTheKeyboardBack();
    void outsideClicks();
    void trayMenuTogglesThePanel();
};

void tst_AppX11::initTestCase()
{
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
    QVERIFY(f.focusOther());
    QCOMPARE(activeWindowByXdotool(), f.otherWindow);
    const QList<Clip> before = f.app->store().clips();

    f.app->toggleFromShortcut(ListMode::all);
    QVERIFY(waitFor([&] { return f.panelHasKeyboard(); }));
    QCOMPARE(f.app->previousApp()->windowId, f.otherWindow);
    QCOMPARE(f.app->previousApp()->processId, f.other.processId());

    run(QStringLiteral("xdotool"), { QStringLiteral("key"), QStringLiteral("Return") });
    QVERIFY(waitFor([&] { return !f.app->panel().isVisible() && f.otherHasKeyboard(); }));
    QCOMPARE(activeWindowByXdotool(), f.otherWindow);
    QCOMPARE(
        run(QStringLiteral("xclip"),
            { QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard") }),
        QStringLiteral("beta"));

    // Another program copies next. The history then holds that copy and the
    // clips from before, unchanged: our own write was not recorded in between.
    QProcess copy;
    copy.setStandardOutputFile(QProcess::nullDevice());
    copy.start(
        QStringLiteral("xclip"), { QStringLiteral("-selection"), QStringLiteral("clipboard") });
    copy.write("gamma");
    copy.closeWriteChannel();
    QTRY_COMPARE_WITH_TIMEOUT(f.app->store().clips().size(), before.size() + 1, 10000);
    QCOMPARE(f.app->store().clips().first().text, QStringLiteral("gamma"));
    QCOMPARE(f.app->store().clips().mid(1), before);
    copy.kill();
    copy.waitForFinished();
}

void tst_AppX11::outsideClicks()
{
    Fixture f;
    f.addText(QStringLiteral("alpha"));
    f.app->applicationDidFinishLaunching();
    QVERIFY(f.focusOther());
    f.app->toggleFromShortcut(ListMode::all);
    QVERIFY(waitFor([&] { return f.panelHasKeyboard(); }));
    int presses = 0;
    const auto probe = f.mouse.addGlobalMonitor([&presses] { ++presses; });
    QVERIFY(probe);

    // A press in the search field is ours: the panel stays.
    QLineEdit *search = f.app->historyController()->searchField();
    clickAt(search->mapToGlobal(search->rect().center()));
    QTRY_COMPARE_WITH_TIMEOUT(presses, 1, 10000);
    QVERIFY(f.app->panel().isVisible());

    clickAt(QPoint(20, 400));
    QVERIFY(waitFor([&] { return !f.app->panel().isVisible() && f.otherHasKeyboard(); }));
    QVERIFY(!f.app->hasMouseMonitor());

    // Always visible: shown without taking the keyboard, and clicks elsewhere
    // leave it alone.
    f.app->settings().setAlwaysVisible(true);
    QVERIFY(f.app->panel().isVisible());
    QVERIFY(f.app->hasMouseMonitor());
    QVERIFY(f.otherHasKeyboard());
    clickAt(QPoint(20, 420));
    QTRY_COMPARE_WITH_TIMEOUT(presses, 3, 10000);
    QVERIFY(f.app->panel().isVisible());
    f.mouse.removeMonitor(*probe);
}

void tst_AppX11::trayMenuTogglesThePanel()
{
    Fixture f;
    f.app->applicationDidFinishLaunching();
    QMenu *menu = f.app->statusMenu();
    auto firstItemAfterOpening = [menu] {
        menu->popup(QPoint(300, 300));
        const QString text = menu->actions().first()->text();
        menu->hide();
        return text;
    };

    QCOMPARE(firstItemAfterOpening(), qtTrId("menu.show"));
    menu->actions().first()->trigger();
    QVERIFY(waitFor([&] { return f.panelHasKeyboard(); }));
    QCOMPARE(firstItemAfterOpening(), qtTrId("menu.hide"));
    menu->actions().first()->trigger();
    QVERIFY(waitFor([&] { return !f.app->panel().isVisible(); }));
    QCOMPARE(firstItemAfterOpening(), qtTrId("menu.show"));
}

QTEST_MAIN(tst_AppX11)
#include "tst_AppX11.moc"
