#include "AppDelegate.h"
#include "ClipFunctions.h"
#include "ClipStore.h"
#include "Defaults.h"
#include "FakeMouseMonitor.h"
#include "FakeScreens.h"
#include "FakeWorkspace.h"
#include "HistoryPanel.h"
#include "HistoryViewController.h"
#include "MemoryPasteboard.h"
#include "PasteboardMonitor.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "Translations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(ListMode)
Q_DECLARE_METATYPE(RunningWindow)
Q_DECLARE_METATYPE(std::optional<RunningWindow>)

namespace {

const RunningWindow editor { 0x400001, 4242 };
const RunningWindow terminal { 0x600007, 5151 };

// Two screens side by side; the first is the primary one with a 30 point bar
// at its top.
const Screen leftScreen { { 0, 0, 1920, 1080 }, { 0, 0, 1920, 1050 } };
const Screen rightScreen { { 1920, 0, 1280, 1024 }, { 1920, 0, 1280, 1024 } };
const QPointF onLeftScreen(100, 500);
const QPointF onRightScreen(2000, 500);
// Where the panel lands with the default anchor ("right") on each, in
// window coordinates.
const QRect rightOfLeftScreen(1580, 30, 340, 1050);
const QRect rightOfRightScreen(2860, 56, 340, 1024);

QByteArray pngBytes()
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

struct Fixture
{
    explicit Fixture(bool alwaysVisible = false)
    {
        screens.primary = QRect(0, 0, 1920, 1080);
        screens.list = { leftScreen, rightScreen };
        screens.main = leftScreen;
        screens.mouse = onLeftScreen;
        workspace.frontmost = editor;
        if (alwaysVisible)
            defaults.setObject(QLatin1String(SettingsKeys::alwaysVisible), true);
        app = std::make_unique<AppDelegate>(
            AppServices { defaults, pasteboard, workspace, screens, mouse, dir.path() });
    }

    Clip addText(const QString &text, bool kept = false)
    {
        ClipContent content;
        content.preview = text;
        content.text = text;
        content.byteSize = text.toUtf8().size();
        content.contentHash = sha256Hex(text.toUtf8());
        app->store().add(content);
        if (kept)
            app->store().setKept(app->store().clips().first().id, true);
        return app->store().clips().first();
    }

    Clip addImage()
    {
        ClipContent content;
        content.kind = ClipKind::image;
        content.preview = QStringLiteral("Image 4 × 3");
        content.pngData = pngBytes();
        content.byteSize = content.pngData.size();
        content.contentHash = sha256Hex(content.pngData);
        app->store().add(content);
        return app->store().clips().first();
    }

    HistoryPanel &panel() { return app->panel(); }
    QLineEdit *searchField() { return app->historyController()->searchField(); }
    qint64 shortcutOpens() const
    {
        return defaults.integer(QLatin1String(SettingsKeys::reviewHotkeyPanelOpens));
    }

    QTemporaryDir dir;
    Defaults defaults { dir.filePath(QStringLiteral("Quillstack.conf")) };
    MemoryPasteboard pasteboard;
    FakeWorkspace workspace;
    FakeScreens screens;
    FakeMouseMonitor mouse;
    std::unique_ptr<AppDelegate> app;
};

QStringList menuTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions())
        texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

} // namespace

class tst_AppDelegate : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void launch_data();
    void launch();
    void toggleFromShortcut_data();
    void toggleFromShortcut();
    void statusMenu();
    void alwaysVisibleSurvivesOnlyTheMenuHide();
    void clearHistory_data();
    void clearHistory();
    void deleteAndCopyPlain();
    void choose_data();
    void choose();
    void escapeInThePanel();
    void outsideClick_data();
    void outsideClick();
    void rememberPreviousApp_data();
    void rememberPreviousApp();
    void followsSettingsScreensAndDesktops();
    void termination();
};

void tst_AppDelegate::initTestCase()
{
    QVERIFY(installTranslations(*QCoreApplication::instance()));
}

void tst_AppDelegate::launch_data()
{
    QTest::addColumn<bool>("alwaysVisible");
    QTest::newRow("hidden until asked") << false;
    QTest::newRow("always visible: shown, not active") << true;
}

void tst_AppDelegate::launch()
{
    QFETCH(bool, alwaysVisible);
    Fixture f(alwaysVisible);
    f.addText(QStringLiteral("already there"));
    f.app->applicationDidFinishLaunching();

    HistoryViewController *history = f.app->historyController();
    QVERIFY(history);
    QCOMPARE(f.panel().contentViewController(), history);
    QCOMPARE(history->delegate(), f.app.get());
    QVERIFY(f.panel().isAncestorOf(history));
    QCOMPARE(f.panel().geometry(), rightOfLeftScreen);
    QCOMPARE(f.panel().isVisible(), alwaysVisible);
    QCOMPARE(f.mouse.installed(), alwaysVisible ? 1 : 0);
    QCOMPARE(history->visibleClips().size(), 1);
    QVERIFY(f.app->monitor().isRunning());
    QVERIFY(f.app->statusItem());
    QCOMPARE(f.app->statusItem()->toolTip(), qtTrId("status.accessibility"));
    QVERIFY(!f.app->statusItem()->icon().isNull());
    QCOMPARE(f.app->statusItem()->contextMenu(), f.app->statusMenu());
    // Shown without taking the keyboard.
    QVERIFY(!f.searchField()->hasFocus());
    QCOMPARE(f.shortcutOpens(), 0);

    // The monitor records other programs' copies from now on.
    PasteboardContents copied;
    copied.types = { PasteboardType::plainText };
    copied.setData(PasteboardType::plainText, "from elsewhere");
    f.pasteboard.copyFromOtherProgram(copied);
    QTRY_COMPARE(f.app->store().clips().size(), 2);
    QCOMPARE(f.app->store().clips().first().text, QStringLiteral("from elsewhere"));
}

void tst_AppDelegate::toggleFromShortcut_data()
{
    QTest::addColumn<bool>("alwaysVisible");
    QTest::addColumn<bool>("visibleBefore");
    QTest::addColumn<ListMode>("shownMode");
    QTest::addColumn<ListMode>("pressed");
    QTest::addColumn<bool>("visibleAfter");
    QTest::addColumn<bool>("placedAnew"); // on the pointer's screen, which changed
    QTest::addColumn<bool>("recorded");

    QTest::newRow("always visible, shown: focus, switch list")
        << true << true << ListMode::pinned << ListMode::all << true << false << true;
    QTest::newRow("always visible, hidden from the menu: show")
        << true << false << ListMode::all << ListMode::pinned << true << true << true;
    QTest::newRow("shown, same list: hide")
        << false << true << ListMode::pinned << ListMode::pinned << false << false << false;
    QTest::newRow("shown, other list: switch in place")
        << false << true << ListMode::pinned << ListMode::all << true << false << true;
    QTest::newRow("hidden: show") << false << false << ListMode::all << ListMode::pinned << true
                                  << true << true;
}

void tst_AppDelegate::toggleFromShortcut()
{
    QFETCH(bool, alwaysVisible);
    QFETCH(bool, visibleBefore);
    QFETCH(ListMode, shownMode);
    QFETCH(ListMode, pressed);
    QFETCH(bool, visibleAfter);
    QFETCH(bool, placedAnew);
    QFETCH(bool, recorded);

    Fixture f(alwaysVisible);
    f.addText(QStringLiteral("loose"));
    f.addText(QStringLiteral("kept"), true);
    f.app->applicationDidFinishLaunching();
    f.app->showPanel(false, shownMode);
    if (!visibleBefore) {
        f.app->toggleVisibilityFromMenu();
        QCOMPARE(f.app->userHidAlwaysVisiblePanel(), alwaysVisible);
    }
    QCOMPARE(f.panel().isVisible(), visibleBefore);
    f.screens.mouse = onRightScreen;
    f.workspace.activations.clear();

    f.app->toggleFromShortcut(pressed);

    QCOMPARE(f.panel().isVisible(), visibleAfter);
    QCOMPARE(f.app->userHidAlwaysVisiblePanel(), false);
    QCOMPARE(f.shortcutOpens(), recorded ? 1 : 0);
    QCOMPARE(f.mouse.installed(), visibleAfter ? 1 : 0);
    if (visibleAfter) {
        QCOMPARE(f.app->historyController()->listMode(), pressed);
        QCOMPARE(
            f.app->historyController()->visibleClips().size(), pressed == ListMode::pinned ? 1 : 2);
        QCOMPARE(f.panel().geometry(), placedAnew ? rightOfRightScreen : rightOfLeftScreen);
        QTRY_VERIFY(f.searchField()->hasFocus());
        QVERIFY(f.workspace.activations.isEmpty());
    } else {
        // Hiding hands the keyboard back to the program used before.
        QCOMPARE(f.workspace.activations, QList<RunningWindow> { editor });
    }
}

void tst_AppDelegate::statusMenu()
{
    Fixture f;
    f.app->applicationDidFinishLaunching();
    QMenu *menu = f.app->statusMenu();
    QSignalSpy quit(f.app.get(), &AppDelegate::quitRequested);
    const QString sep = QStringLiteral("-");
    auto openMenu = [&] {
        menu->popup(QPoint(10, 10));
        QVERIFY(menu->isVisible());
    };

    openMenu();
    QCOMPARE(menuTexts(menu),
        (QStringList { qtTrId("menu.show"), sep, qtTrId("menu.settings"),
            qtTrId("menu.clearHistory"), sep, qtTrId("menu.share"), sep, qtTrId("menu.quit") }));
    for (const QAction *action : menu->actions())
        QVERIFY(action->isEnabled());
    QCOMPARE(menu->actions().last()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    menu->hide();
    // Closing the menu with the panel hidden installs no monitor.
    QCOMPARE(f.mouse.installed(), 0);

    menu->actions().first()->trigger();
    QVERIFY(f.panel().isVisible());
    QTRY_VERIFY(f.searchField()->hasFocus());
    QCOMPARE(f.mouse.installed(), 1);

    // Decided anew each time the menu opens; open, it holds off the monitor.
    openMenu();
    QCOMPARE(menu->actions().first()->text(), qtTrId("menu.hide"));
    QCOMPARE(f.mouse.installed(), 0);
    menu->hide();
    QCOMPARE(f.mouse.installed(), 1);

    menu->actions().first()->trigger();
    QVERIFY(!f.panel().isVisible());
    QCOMPARE(f.mouse.installed(), 0);
    // The menu hide does not hand the keyboard back.
    QVERIFY(f.workspace.activations.isEmpty());
    QVERIFY(!f.app->userHidAlwaysVisiblePanel());

    openMenu();
    QCOMPARE(menu->actions().first()->text(), qtTrId("menu.show"));
    menu->hide();
    menu->actions().at(2)->trigger(); // preferences
    menu->actions().at(5)->trigger(); // share
    QCOMPARE(quit.count(), 0);
    menu->actions().last()->trigger();
    QCOMPARE(quit.count(), 1);
}

// With always-visible on, only the menu hides the panel, and it stays hidden
// through settings changes until the menu or a shortcut shows it again.
void tst_AppDelegate::alwaysVisibleSurvivesOnlyTheMenuHide()
{
    Fixture f(true);
    const Clip clip = f.addText(QStringLiteral("some text"));
    f.app->applicationDidFinishLaunching();
    QVERIFY(f.panel().isVisible());
    f.app->focusPanel(ListMode::all);
    QTRY_VERIFY(f.searchField()->hasFocus());

    f.app->historyDidChoose(clip);
    f.app->historyDidRequestDismiss();
    f.screens.mouse = QPointF(100, 100);
    f.mouse.click();
    QVERIFY(f.panel().isVisible());
    QVERIFY(!f.searchField()->hasFocus());
    QCOMPARE(f.mouse.installed(), 1);
    QCOMPARE(f.workspace.activations, (QList<RunningWindow> { editor, editor }));

    f.app->toggleVisibilityFromMenu();
    QVERIFY(!f.panel().isVisible());
    QVERIFY(f.app->userHidAlwaysVisiblePanel());
    f.app->settings().setPanelAnchor(PanelAnchor::left);
    QVERIFY(!f.panel().isVisible());
    QCOMPARE(f.panel().geometry(), QRect(0, 30, 340, 1050));

    f.app->toggleVisibilityFromMenu();
    QVERIFY(f.panel().isVisible());
    QVERIFY(!f.app->userHidAlwaysVisiblePanel());
    f.app->toggleVisibilityFromMenu();
    f.app->toggleFromShortcut(ListMode::all);
    QVERIFY(f.panel().isVisible());
    QVERIFY(!f.app->userHidAlwaysVisiblePanel());

    // Turning it off leaves the panel up; the ordinary means hide it then.
    f.app->settings().setAlwaysVisible(false);
    QVERIFY(f.panel().isVisible());
    f.app->historyDidRequestDismiss();
    QVERIFY(!f.panel().isVisible());
}

void tst_AppDelegate::clearHistory_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("remaining");
    QTest::newRow("confirmed") << QStringLiteral("alert.clear.confirm")
                               << QStringList { QStringLiteral("kept") };
    QTest::newRow("cancelled") << QStringLiteral("alert.cancel")
                               << QStringList { QStringLiteral("newest"), QStringLiteral("kept"),
                                      QStringLiteral("oldest") };
    QTest::newRow("closed") << QString()
                            << QStringList { QStringLiteral("newest"), QStringLiteral("kept"),
                                   QStringLiteral("oldest") };
}

void tst_AppDelegate::clearHistory()
{
    QFETCH(QString, answer);
    QFETCH(QStringList, remaining);

    Fixture f;
    f.addText(QStringLiteral("oldest"));
    f.addText(QStringLiteral("kept"), true);
    f.addText(QStringLiteral("newest"));
    f.app->applicationDidFinishLaunching();

    int asked = 0;
    f.app->setAlertRunner([&](QMessageBox &box) -> QAbstractButton * {
        ++asked;
        [&] {
            QCOMPARE(box.text(), qtTrId("alert.clear.title"));
            QCOMPARE(box.informativeText(), qtTrId("alert.clear.message"));
            QCOMPARE(box.buttons().size(), 2);
            QCOMPARE(box.defaultButton()->text(), qtTrId("alert.clear.confirm"));
            QCOMPARE(box.escapeButton()->text(), qtTrId("alert.cancel"));
        }();
        for (QAbstractButton *button : box.buttons()) {
            if (!answer.isEmpty() && button->text() == qtTrId(answer.toUtf8().constData()))
                return button;
        }
        return nullptr;
    });
    QMenu *menu = f.app->statusMenu();
    menu->popup(QPoint(10, 10));
    menu->hide();
    menu->actions().at(3)->trigger();
    if (QTest::currentTestFailed())
        return;

    QCOMPARE(asked, 1);
    QStringList previews;
    for (const Clip &clip : f.app->store().clips())
        previews.append(clip.preview);
    QCOMPARE(previews, remaining);
}

void tst_AppDelegate::deleteAndCopyPlain()
{
    Fixture f;
    f.addText(QStringLiteral("stays"));
    const Clip image = f.addImage();
    f.app->applicationDidFinishLaunching();
    f.app->showPanel(true, ListMode::all);
    const QString imageFile = f.app->store().imagePath(image);
    QVERIFY(QFile::exists(imageFile));

    f.app->historyDidRequestDelete(image);
    QCOMPARE(f.app->store().clips().size(), 1);
    QCOMPARE(f.app->store().clips().first().preview, QStringLiteral("stays"));
    QVERIFY(!QFile::exists(imageFile));
    QCOMPARE(f.app->historyController()->visibleClips().size(), 1);

    f.app->historyDidRequestCopyPlain(QStringLiteral("plain words"));
    QCOMPARE(f.pasteboard.writes(), 1);
    QCOMPARE(f.pasteboard.types(), QStringList { PasteboardType::plainText });
    QCOMPARE(f.pasteboard.dataForType(PasteboardType::plainText), QByteArray("plain words"));
    // Not recorded as a copy of its own, and the panel is left alone.
    f.app->monitor().poll();
    QCOMPARE(f.app->store().clips().size(), 1);
    QVERIFY(f.panel().isVisible());
    QCOMPARE(f.panel().geometry(), rightOfLeftScreen);
    QVERIFY(f.workspace.activations.isEmpty());
}

void tst_AppDelegate::choose_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("alwaysVisible");
    QTest::addColumn<bool>("ownWindowInFront"); // when the choice is made
    QTest::addColumn<bool>("terminalInFront");

    QTest::newRow("text") << QStringLiteral("text") << false << true << false;
    QTest::newRow("image") << QStringLiteral("image") << false << true << false;
    QTest::newRow("image whose file vanished")
        << QStringLiteral("vanished") << false << true << false;
    QTest::newRow("always visible: only loses the keyboard")
        << QStringLiteral("text") << true << true << false;
    QTest::newRow("clicked in while another program was in front")
        << QStringLiteral("text") << false << false << true;
}

void tst_AppDelegate::choose()
{
    QFETCH(QString, kind);
    QFETCH(bool, alwaysVisible);
    QFETCH(bool, ownWindowInFront);
    QFETCH(bool, terminalInFront);

    Fixture f(alwaysVisible);
    f.addText(QStringLiteral("older"));
    const Clip clip
        = kind == QLatin1String("text") ? f.addText(QStringLiteral("chosen words")) : f.addImage();
    if (kind == QLatin1String("vanished"))
        QVERIFY(QFile::remove(f.app->store().imagePath(clip)));
    f.app->applicationDidFinishLaunching();
    f.app->showPanel(true, ListMode::all);
    QCOMPARE(f.app->previousApp(), editor);
    if (ownWindowInFront)
        f.workspace.frontmost = RunningWindow { 0x1200003, QCoreApplication::applicationPid() };
    if (terminalInFront)
        f.workspace.frontmost = terminal;
    const QList<Clip> before = f.app->store().clips();

    f.app->historyDidChoose(clip);

    QCOMPARE(f.pasteboard.writes(), 1);
    if (kind == QLatin1String("text"))
        QCOMPARE(f.pasteboard.dataForType(PasteboardType::plainText), QByteArray("chosen words"));
    else if (kind == QLatin1String("image"))
        QCOMPARE(f.pasteboard.dataForType(PasteboardType::png), pngBytes());
    else
        QVERIFY(f.pasteboard.types().isEmpty());
    QCOMPARE(f.panel().isVisible(), alwaysVisible);
    QCOMPARE(f.mouse.installed(), alwaysVisible ? 1 : 0);
    const RunningWindow expectedPrevious = terminalInFront ? terminal : editor;
    QCOMPARE(f.app->previousApp(), expectedPrevious);
    QCOMPARE(f.workspace.activations, QList<RunningWindow> { expectedPrevious });
    // The history is not changed by a choice, nor by the write it made.
    f.app->monitor().poll();
    QCOMPARE(f.app->store().clips(), before);
}

void tst_AppDelegate::escapeInThePanel()
{
    Fixture f;
    f.addText(QStringLiteral("one"));
    f.app->applicationDidFinishLaunching();
    f.app->showPanel(true, ListMode::all);
    f.searchField()->setText(QStringLiteral("query"));

    QTest::keyClick(&f.panel(), Qt::Key_Escape);
    QCOMPARE(f.searchField()->text(), QString());
    QVERIFY(f.panel().isVisible());

    QTest::keyClick(&f.panel(), Qt::Key_Escape);
    QVERIFY(!f.panel().isVisible());
    QCOMPARE(f.workspace.activations, QList<RunningWindow> { editor });
}

void tst_AppDelegate::outsideClick_data()
{
    QTest::addColumn<QPointF>("pointer");
    QTest::addColumn<QString>("situation");
    QTest::addColumn<bool>("hides");

    // The panel covers x 1580 to 1920 and y 0 to 1050.
    QTest::newRow("elsewhere") << QPointF(100.5, 500.5) << QString() << true;
    QTest::newRow("inside the panel") << QPointF(1700.5, 500.5) << QString() << false;
    QTest::newRow("panel's left edge") << QPointF(1580, 0) << QString() << false;
    QTest::newRow("just above the panel") << QPointF(1700.5, 1050.5) << QString() << true;
    QTest::newRow("always visible")
        << QPointF(100.5, 500.5) << QStringLiteral("alwaysVisible") << false;
    QTest::newRow("on another window of ours")
        << QPointF(150.5, 900.5) << QStringLiteral("ownWindow") << false;
    QTest::newRow("while a modal dialog is open")
        << QPointF(100.5, 500.5) << QStringLiteral("modal") << false;
}

void tst_AppDelegate::outsideClick()
{
    QFETCH(QPointF, pointer);
    QFETCH(QString, situation);
    QFETCH(bool, hides);

    Fixture f(situation == QLatin1String("alwaysVisible"));
    f.app->applicationDidFinishLaunching();
    f.app->showPanel(true, ListMode::all);
    QCOMPARE(f.mouse.installed(), 1);

    QWidget other(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    QDialog modal;
    if (situation == QLatin1String("ownWindow")) {
        other.setGeometry(100, 100, 200, 200); // desktop y 780 to 980
        other.show();
    } else if (situation == QLatin1String("modal")) {
        modal.setModal(true);
        modal.show();
    }
    f.screens.mouse = pointer;
    f.mouse.click();

    QCOMPARE(f.panel().isVisible(), !hides);
    QCOMPARE(f.mouse.installed(), hides ? 0 : 1);
    QCOMPARE(
        f.workspace.activations, hides ? QList<RunningWindow> { editor } : QList<RunningWindow> {});

    // A hidden panel ignores clicks even if a monitor were still installed.
    f.app->hidePanel();
    f.workspace.activations.clear();
    f.app->installMouseMonitor();
    f.screens.mouse = QPointF(100.5, 500.5);
    f.mouse.click();
    QVERIFY(f.workspace.activations.isEmpty());
}

void tst_AppDelegate::rememberPreviousApp_data()
{
    QTest::addColumn<std::optional<RunningWindow>>("frontmost");
    QTest::addColumn<RunningWindow>("expected");

    QTest::newRow("none in front: unchanged") << std::optional<RunningWindow>() << editor;
    QTest::newRow("our own window: unchanged") << std::optional<RunningWindow>(
        RunningWindow { 0x1200003, QCoreApplication::applicationPid() })
                                               << editor;
    QTest::newRow("another program") << std::optional<RunningWindow>(terminal) << terminal;
    const RunningWindow anonymous { 0x800001, std::nullopt };
    QTest::newRow("a window that names no process")
        << std::optional<RunningWindow>(anonymous) << anonymous;
}

void tst_AppDelegate::rememberPreviousApp()
{
    QFETCH(std::optional<RunningWindow>, frontmost);
    QFETCH(RunningWindow, expected);

    Fixture f;
    f.app->applicationDidFinishLaunching();
    f.app->showPanel(true, ListMode::all);
    QCOMPARE(f.app->previousApp(), editor);
    f.workspace.frontmost = frontmost;
    f.app->toggleFromShortcut(ListMode::pinned);
    QCOMPARE(f.app->previousApp(), expected);
    f.app->toggleFromShortcut(ListMode::pinned);
    QCOMPARE(f.workspace.activations, QList<RunningWindow> { expected });
}

void tst_AppDelegate::followsSettingsScreensAndDesktops()
{
    Fixture f;
    for (int i = 0; i < 5; ++i)
        f.addText(QStringLiteral("clip %1").arg(i));
    f.app->applicationDidFinishLaunching();

    // Settings: limits apply again, the hidden panel is re-placed but stays hidden.
    f.app->settings().setMaxClipCount(3);
    QCOMPARE(f.app->store().clips().size(), 3);
    f.app->settings().setPanelAnchor(PanelAnchor::topLeft);
    QCOMPARE(f.panel().geometry(), QRect(0, 30, 340, 525));
    QVERIFY(!f.panel().isVisible());

    // Screens and desktops move only a visible panel.
    f.screens.list[0].visibleFrame = ScreenRect { 0, 40, 1920, 1010 };
    f.screens.change();
    f.workspace.switchDesktop();
    QCOMPARE(f.panel().geometry(), QRect(0, 30, 340, 525));
    f.app->showPanel(false, ListMode::all);
    QCOMPARE(f.panel().geometry(), QRect(0, 30, 340, 505));
    f.screens.list[0].visibleFrame = ScreenRect { 0, 0, 1920, 1080 };
    f.screens.change();
    QCOMPARE(f.panel().geometry(), QRect(0, 0, 340, 540));
    f.screens.mouse = onRightScreen;
    f.workspace.switchDesktop();
    QCOMPARE(f.panel().geometry(), QRect(1920, 56, 340, 512));
    QVERIFY(f.panel().isVisible());
}

void tst_AppDelegate::termination()
{
    Fixture f;
    f.app->applicationDidFinishLaunching();
    f.app->showPanel(true, ListMode::all);
    QCOMPARE(f.mouse.installed(), 1);

    f.app->applicationWillTerminate();
    QVERIFY(!f.app->monitor().isRunning());
    QCOMPARE(f.mouse.installed(), 0);
    PasteboardContents copied;
    copied.types = { PasteboardType::plainText };
    copied.setData(PasteboardType::plainText, "too late");
    f.pasteboard.copyFromOtherProgram(copied);
    QCoreApplication::processEvents();
    QVERIFY(f.app->store().clips().isEmpty());
}

QTEST_MAIN(tst_AppDelegate)
#include "tst_AppDelegate.moc"
