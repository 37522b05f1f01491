// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeHotkeyRegistrar.h"
#include "FakeKeyboardLayout.h"
#include "FakeMouseMonitor.h"
#include "FakeScreens.h"
#include "FakeWorkspace.h"
#include "MemoryPasteboard.h"
#include "RecordingNotifier.h"
#include "app/AppDelegate.h"
#include "app/HistoryPanel.h"
#include "globalhotkeys/NamedShortcuts.h"
#include "model/ClipFunctions.h"
#include "model/ClipJournal.h"
#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "model/Settings.h"
#include "model/SettingsKeys.h"
#include "pasteboard/PasteboardMonitor.h"
#include "ui/EditClipController.h"
#include "ui/HistoryViewController.h"
#include "ui/PreferencesController.h"
#include "ui/Translations.h"

#include <QApplication>
#include <QBuffer>
#include <QCryptographicHash>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QUrlQuery>

#include <memory>

Q_DECLARE_METATYPE(ListMode)
Q_DECLARE_METATYPE(ClipKind)
Q_DECLARE_METATYPE(RunningWindow)
Q_DECLARE_METATYPE(std::optional<RunningWindow>)

namespace {

const RunningWindow editor { 0x400001, 4242 };
const RunningWindow terminal { 0x600007, 5151 };
// Two screens side by side; the primary has a 30 point bar at its top.
const Screen leftScreen { { 0, 0, 1920, 1080 }, { 0, 0, 1920, 1050 } };
const Screen rightScreen { { 1920, 0, 1280, 1024 }, { 1920, 0, 1280, 1024 } };
const QPointF onRightScreen(2000, 500);
// The default anchor ("right") on each, in window coordinates.
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
        screens.mouse = QPointF(100, 500);
        workspace.frontmost = editor;
        defaults.setObject(QLatin1String(SettingsKeys::alwaysVisible), alwaysVisible);
        start();
    }

    // A fresh controller over the same data and services, as after a restart.
    void start()
    {
        app.reset();
        app = std::make_unique<AppDelegate>(AppServices {
            defaults, pasteboard, workspace, screens, mouse, shortcuts, notifier, dir.path() });
    }

    Clip add(const QString &text, bool kept = false, ClipKind kind = ClipKind::text)
    {
        ClipContent content;
        content.kind = kind;
        content.preview = text;
        if (kind == ClipKind::image)
            content.pngData = pngBytes();
        else
            content.text = text;
        content.byteSize = text.size() + content.pngData.size();
        content.contentHash = sha256Hex(text.toUtf8() + content.pngData);
        app->store().add(content);
        if (kept)
            app->store().setKept(app->store().clips().first().id, true);
        return app->store().clips().first();
    }

    HistoryPanel &panel() { return app->panel(); }
    QLineEdit *searchField() { return app->historyController()->searchField(); }

    QTemporaryDir dir;
    Defaults defaults { dir.filePath(QStringLiteral("Quillstack.conf")) };
    MemoryPasteboard pasteboard;
    FakeWorkspace workspace;
    FakeScreens screens;
    FakeMouseMonitor mouse;
    FakeHotkeyRegistrar registrar;
    FakeKeyboardLayout layout;
    GlobalHotkeys::NamedShortcuts shortcuts { defaults, registrar, layout };
    RecordingNotifier notifier;
    std::unique_ptr<AppDelegate> app;
};

} // namespace

class tst_AppDelegate : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void launch();
    void toggleFromShortcut_data();
    void toggleFromShortcut();
    void statusMenu();
    void alwaysVisible();
    void clearHistory_data();
    void clearHistory();
    void deleteAndCopyPlain();
    void choose_data();
    void choose();
    void outsideClick_data();
    void outsideClick();
    void followsSettingsScreensAndDesktops();
    void termination();
    void failuresAreToldOnce();
    void auxiliaryWindows();
    void share();

private:
    // The autostart entry is looked for here, not in the real home.
    QTemporaryDir m_config;
};

// Receives the addresses the program asks the desktop to open.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

void tst_AppDelegate::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    QVERIFY(installTranslations(*QCoreApplication::instance()));
}

void tst_AppDelegate::launch()
{
    Fixture f;
    f.add(QStringLiteral("already there"));
    f.app->applicationDidFinishLaunching();

    QCOMPARE(f.panel().geometry(), rightOfLeftScreen);
    QVERIFY(!f.panel().isVisible());
    QCOMPARE(f.app->statusItem()->toolTip(), qtTrId("status.accessibility"));
    QVERIFY(!f.app->statusItem()->icon().isNull());
    QCOMPARE(f.app->statusItem()->contextMenu(), f.app->statusMenu());

    // The monitor records other programs' copies from now on.
    PasteboardContents copied;
    copied.setData(PasteboardType::plainText, "from elsewhere");
    copied.types = { PasteboardType::plainText };
    f.pasteboard.copyFromOtherProgram(copied);
    QTRY_COMPARE(f.app->store().clips().size(), 2);
}

void tst_AppDelegate::toggleFromShortcut_data()
{
    QTest::addColumn<bool>("alwaysVisible");
    QTest::addColumn<bool>("visibleBefore");
    QTest::addColumn<ListMode>("pressed"); // the panel shows the pinned list before
    QTest::addColumn<bool>("visibleAfter");
    QTest::addColumn<bool>("placedAnew"); // on the pointer's new screen

    QTest::newRow("always visible, shown: focus in place")
        << true << true << ListMode::all << true << false;
    QTest::newRow("always visible, hidden by the menu: show")
        << true << false << ListMode::all << true << true;
    QTest::newRow("shown, same list: hide") << false << true << ListMode::pinned << false << false;
    QTest::newRow("shown, other list: switch in place")
        << false << true << ListMode::all << true << false;
    QTest::newRow("hidden: show") << false << false << ListMode::pinned << true << true;
}

void tst_AppDelegate::toggleFromShortcut()
{
    QFETCH(bool, alwaysVisible);
    QFETCH(bool, visibleBefore);
    QFETCH(ListMode, pressed);
    QFETCH(bool, visibleAfter);
    QFETCH(bool, placedAnew);

    Fixture f(alwaysVisible);
    f.add(QStringLiteral("loose"));
    f.add(QStringLiteral("kept"), true);
    f.app->applicationDidFinishLaunching();
    f.app->showPanel(false, ListMode::pinned);
    if (!visibleBefore)
        f.app->toggleVisibilityFromMenu();
    QCOMPARE(f.app->userHidAlwaysVisiblePanel(), alwaysVisible && !visibleBefore);
    f.screens.mouse = onRightScreen;

    f.app->toggleFromShortcut(pressed);

    QCOMPARE(f.panel().isVisible(), visibleAfter);
    QVERIFY(!f.app->userHidAlwaysVisiblePanel());
    // A press that leaves the panel on screen counts as a shortcut opening,
    // once the panel is drawn, or at the latest when the program ends.
    const QString opens = QLatin1String(SettingsKeys::reviewHotkeyPanelOpens);
    if (visibleAfter)
        QTRY_COMPARE(f.defaults.integer(opens), 1);
    QCOMPARE(f.mouse.installed(), visibleAfter ? 1 : 0);
    if (visibleAfter) {
        QCOMPARE(f.app->historyController()->listMode(), pressed);
        QCOMPARE(
            f.app->historyController()->visibleClips().size(), pressed == ListMode::pinned ? 1 : 2);
        QCOMPARE(f.panel().geometry(), placedAnew ? rightOfRightScreen : rightOfLeftScreen);
        QTRY_VERIFY(f.searchField()->hasFocus());
        QVERIFY(f.workspace.activations.isEmpty());
    } else {
        QCOMPARE(f.workspace.activations, QList<RunningWindow> { editor });
    }
    f.app->applicationWillTerminate();
    QCOMPARE(f.defaults.integer(opens), visibleAfter ? 1 : 0);
}

void tst_AppDelegate::statusMenu()
{
    Fixture f;
    f.app->applicationDidFinishLaunching();
    QMenu *menu = f.app->statusMenu();
    QSignalSpy quit(f.app.get(), &AppDelegate::quitRequested);
    auto openAndClose = [&] {
        menu->popup(QPoint(10, 10));
        QStringList texts;
        for (const QAction *action : menu->actions())
            texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        menu->hide();
        return texts;
    };

    const QString sep = QStringLiteral("-");
    QCOMPARE(openAndClose(),
        (QStringList { qtTrId("menu.show"), sep, qtTrId("menu.settings"),
            qtTrId("menu.clearHistory"), qtTrId("menu.pauseRecording"), sep, qtTrId("menu.share"),
            sep, qtTrId("menu.quit") }));
    for (const QAction *action : menu->actions())
        QVERIFY(action->isEnabled());
    QCOMPARE(menu->actions().last()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    QCOMPARE(f.mouse.installed(), 0);

    menu->actions().first()->trigger();
    QVERIFY(f.panel().isVisible());
    QTRY_VERIFY(f.searchField()->hasFocus());
    // The open menu holds off the outside-click monitor; closing it restores it.
    menu->popup(QPoint(10, 10));
    QCOMPARE(f.mouse.installed(), 0);
    QCOMPARE(menu->actions().first()->text(), qtTrId("menu.hide"));
    menu->hide();
    QCOMPARE(f.mouse.installed(), 1);

    menu->actions().first()->trigger();
    QVERIFY(!f.panel().isVisible());
    QCOMPARE(f.mouse.installed(), 0);
    QVERIFY(f.workspace.activations.isEmpty()); // the menu hide hands nothing back
    QCOMPARE(openAndClose().first(), qtTrId("menu.show"));

    // Pausing shows in the tray until the same item resumes recording.
    QSignalSpy recording(f.app.get(), &AppDelegate::recordingChanged);
    QVERIFY(menu->actions().at(4)->isCheckable() && !menu->actions().at(4)->isChecked());
    menu->actions().at(4)->trigger();
    QCOMPARE(f.app->statusItem()->toolTip(), qtTrId("status.paused"));
    openAndClose();
    QVERIFY(menu->actions().at(4)->isChecked());
    menu->actions().at(4)->trigger();
    QCOMPARE(recording, (QList<QVariantList> { { false }, { true } }));
    QCOMPARE(f.app->statusItem()->toolTip(), qtTrId("status.accessibility"));

    menu->actions().at(2)->trigger(); // preferences
    menu->actions().at(6)->trigger(); // share
    QCOMPARE(quit.count(), 0);
    menu->actions().last()->trigger();
    QCOMPARE(quit.count(), 1);
}

// Only the menu hides an always-visible panel, and it then stays hidden
// through settings changes until the menu or a shortcut shows it again.
void tst_AppDelegate::alwaysVisible()
{
    Fixture f(true);
    const Clip clip = f.add(QStringLiteral("some text"));
    f.app->applicationDidFinishLaunching();
    QVERIFY(f.panel().isVisible());
    QVERIFY(!f.searchField()->hasFocus());
    f.app->focusPanel(ListMode::all);
    QTRY_VERIFY(f.searchField()->hasFocus());

    f.app->historyDidChoose(clip);
    QVERIFY(!f.searchField()->hasFocus());
    f.app->historyDidRequestDismiss();
    f.mouse.click();
    QVERIFY(f.panel().isVisible());
    QCOMPARE(f.workspace.activations, (QList<RunningWindow> { editor, editor }));

    f.app->toggleVisibilityFromMenu();
    QVERIFY(!f.panel().isVisible());
    f.app->settings().setPanelAnchor(PanelAnchor::left);
    QVERIFY(!f.panel().isVisible());
    QCOMPARE(f.panel().geometry(), QRect(0, 30, 340, 1050)); // re-placed all the same
    f.app->toggleVisibilityFromMenu();
    QVERIFY(f.panel().isVisible());

    // Turning it off leaves the panel up; the ordinary means hide it then,
    // and turning it on brings it back.
    f.app->settings().setAlwaysVisible(false);
    QVERIFY(f.panel().isVisible());
    f.app->historyDidRequestDismiss();
    QVERIFY(!f.panel().isVisible());
    f.app->settings().setAlwaysVisible(true);
    QVERIFY(f.panel().isVisible());
}

void tst_AppDelegate::clearHistory_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("remaining");
    QTest::newRow("confirmed: kept clips stay") << QByteArray("alert.clear.confirm") << 1;
    QTest::newRow("cancelled") << QByteArray("alert.cancel") << 3;
    QTest::newRow("closed") << QByteArray() << 3;
    QTest::newRow("return, unread") << QByteArray("\r") << 3;
}

void tst_AppDelegate::clearHistory()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, remaining);

    Fixture f;
    f.add(QStringLiteral("oldest"));
    f.add(QStringLiteral("kept"), true);
    f.add(QStringLiteral("newest"));
    f.app->applicationDidFinishLaunching();
    QStringList asked;
    f.app->setAlertRunner([&](QMessageBox &box) -> QAbstractButton * {
        asked << box.text() << box.informativeText() << box.escapeButton()->text();
        if (answer == "\r") {
            QTimer::singleShot(0, &box, [&box] { QTest::keyClick(&box, Qt::Key_Return); });
            return runAlertModally(box);
        }
        for (QAbstractButton *button : box.buttons()) {
            if (!answer.isEmpty() && button->text() == qtTrId(answer.constData()))
                return button;
        }
        return nullptr;
    });
    f.app->statusMenu()->popup(QPoint(10, 10));
    f.app->statusMenu()->hide();
    f.app->statusMenu()->actions().at(3)->trigger();

    QCOMPARE(asked,
        (QStringList {
            qtTrId("alert.clear.title"), qtTrId("alert.clear.message"), qtTrId("alert.cancel") }));
    QCOMPARE(f.app->store().clips().size(), remaining);
    QVERIFY(f.app->store().clips().at(remaining == 1 ? 0 : 1).isKept);
}

void tst_AppDelegate::deleteAndCopyPlain()
{
    Fixture f;
    f.add(QStringLiteral("stays"));
    const Clip image = f.add(QStringLiteral("Image"), false, ClipKind::image);
    f.app->applicationDidFinishLaunching();
    f.app->showPanel(true, ListMode::all);
    const QString imageFile = f.app->store().imagePath(image);
    QVERIFY(QFile::exists(imageFile));

    f.app->historyDidRequestDelete(image);
    QCOMPARE(f.app->store().clips().size(), 1);
    // The file goes once the deletion is saved.
    f.app->store().flush();
    QVERIFY(!QFile::exists(imageFile));
    QCOMPARE(f.app->historyController()->visibleClips().size(), 1);

    f.app->historyDidRequestCopyPlain(QStringLiteral("plain words"));
    QCOMPARE(f.pasteboard.types(), QStringList { PasteboardType::plainText });
    QCOMPARE(f.pasteboard.dataForType(PasteboardType::plainText), QByteArray("plain words"));
    // Not recorded as a copy, and the panel is left alone.
    f.app->monitor().poll();
    QCOMPARE(f.app->store().clips().size(), 1);
    QVERIFY(f.panel().isVisible());
    QVERIFY(f.workspace.activations.isEmpty());
}

void tst_AppDelegate::choose_data()
{
    QTest::addColumn<ClipKind>("kind");
    QTest::addColumn<bool>("fileVanished");
    QTest::addColumn<bool>("alwaysVisible");
    QTest::addColumn<std::optional<RunningWindow>>("frontAtChoice");
    QTest::addColumn<RunningWindow>("previous");

    const auto own = RunningWindow { 0x1200003, QCoreApplication::applicationPid() };
    const auto anonymous = RunningWindow { 0x800001, std::nullopt };
    QTest::newRow("text, our panel in front")
        << ClipKind::text << false << false << std::optional(own) << editor;
    QTest::newRow("image") << ClipKind::image << false << false << std::optional(own) << editor;
    QTest::newRow("image whose file vanished")
        << ClipKind::image << true << false << std::optional(own) << editor;
    QTest::newRow("always visible: only loses the keyboard")
        << ClipKind::text << false << true << std::optional(own) << editor;
    QTest::newRow("nothing in front")
        << ClipKind::text << false << false << std::optional<RunningWindow>() << editor;
    QTest::newRow("clicked in while another program was in front")
        << ClipKind::text << false << false << std::optional(terminal) << terminal;
    QTest::newRow("a window that names no process")
        << ClipKind::text << false << false << std::optional(anonymous) << anonymous;
}

void tst_AppDelegate::choose()
{
    QFETCH(ClipKind, kind);
    QFETCH(bool, fileVanished);
    QFETCH(bool, alwaysVisible);
    QFETCH(std::optional<RunningWindow>, frontAtChoice);
    QFETCH(RunningWindow, previous);

    Fixture f(alwaysVisible);
    f.add(QStringLiteral("older"));
    const Clip clip = f.add(QStringLiteral("chosen words"), false, kind);
    if (fileVanished)
        QVERIFY(QFile::remove(f.app->store().imagePath(clip)));
    f.app->applicationDidFinishLaunching();
    f.app->showPanel(true, ListMode::all);
    f.workspace.frontmost = frontAtChoice;
    const QList<Clip> before = f.app->store().clips();
    const qsizetype toldBefore = f.notifier.shown.size();

    f.app->historyDidChoose(clip);

    // An image that is gone is told, not put on the clipboard as an empty offer.
    QCOMPARE(f.pasteboard.writes(), fileVanished ? 0 : 1);
    QCOMPARE(f.notifier.shown.size() - toldBefore, fileVanished ? 1 : 0);
    if (kind == ClipKind::text)
        QCOMPARE(f.pasteboard.dataForType(PasteboardType::plainText), QByteArray("chosen words"));
    else if (!fileVanished)
        QCOMPARE(f.pasteboard.dataForType(PasteboardType::png), pngBytes());
    else
        QVERIFY(f.notifier.shown.last().message.contains(f.app->store().imagePath(clip)));
    QCOMPARE(f.panel().isVisible(), alwaysVisible);
    QCOMPARE(f.mouse.installed(), alwaysVisible ? 1 : 0);
    QCOMPARE(f.workspace.activations, QList<RunningWindow> { previous });
    // Neither the choice nor the write it made changes the history.
    f.app->monitor().poll();
    QCOMPARE(f.app->store().clips(), before);
}

void tst_AppDelegate::outsideClick_data()
{
    QTest::addColumn<QPointF>("pointer");
    QTest::addColumn<QString>("situation");
    QTest::addColumn<bool>("hides");

    // The panel covers x 1580 to 1920 and y 0 to 1050.
    QTest::newRow("elsewhere") << QPointF(100.5, 500.5) << QString() << true;
    QTest::newRow("panel's bottom-left corner") << QPointF(1580, 0) << QString() << false;
    QTest::newRow("just above the panel") << QPointF(1700.5, 1050.5) << QString() << true;
    QTest::newRow("always visible") << QPointF(100.5, 500.5) << QStringLiteral("always") << false;
    QTest::newRow("on another window of ours")
        << QPointF(150.5, 900.5) << QStringLiteral("own") << false;
    QTest::newRow("a modal dialog is open")
        << QPointF(100.5, 500.5) << QStringLiteral("modal") << false;
    QTest::newRow("panel already hidden")
        << QPointF(100.5, 500.5) << QStringLiteral("hidden") << false;
}

void tst_AppDelegate::outsideClick()
{
    QFETCH(QPointF, pointer);
    QFETCH(QString, situation);
    QFETCH(bool, hides);

    Fixture f(situation == QLatin1String("always"));
    f.app->applicationDidFinishLaunching();
    f.app->showPanel(true, ListMode::all);
    QWidget other(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    QDialog modal;
    if (situation == QLatin1String("own")) {
        other.setGeometry(100, 100, 200, 200); // desktop y 780 to 980
        other.show();
    } else if (situation == QLatin1String("modal")) {
        modal.setModal(true);
        modal.show();
    } else if (situation == QLatin1String("hidden")) {
        f.app->toggleVisibilityFromMenu();
        f.app->installMouseMonitor();
    }
    const bool visibleBefore = f.panel().isVisible();
    f.screens.mouse = pointer;
    f.mouse.click();

    QCOMPARE(f.panel().isVisible(), visibleBefore && !hides);
    QCOMPARE(f.mouse.installed(), hides ? 0 : 1);
    QCOMPARE(
        f.workspace.activations, hides ? QList<RunningWindow> { editor } : QList<RunningWindow> {});
}

void tst_AppDelegate::followsSettingsScreensAndDesktops()
{
    Fixture f;
    for (int i = 0; i < 5; ++i)
        f.add(QStringLiteral("clip %1").arg(i));
    f.app->applicationDidFinishLaunching();

    // Limits apply again; a hidden panel is re-placed but stays hidden.
    f.app->settings().setMaxClipCount(3);
    QCOMPARE(f.app->store().clips().size(), 3);
    f.app->settings().setPanelAnchor(PanelAnchor::topLeft);
    QCOMPARE(f.panel().geometry(), QRect(0, 30, 340, 525));
    QVERIFY(!f.panel().isVisible());

    // Screen and desktop changes move only a visible panel.
    f.screens.list[0].visibleFrame = ScreenRect { 0, 0, 1920, 1080 };
    f.screens.change();
    f.workspace.switchDesktop();
    QCOMPARE(f.panel().geometry(), QRect(0, 30, 340, 525));
    f.app->showPanel(false, ListMode::all);
    f.screens.list[0].visibleFrame = ScreenRect { 0, 40, 1920, 1010 };
    f.screens.change();
    QCOMPARE(f.panel().geometry(), QRect(0, 30, 340, 505));
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
    // A copy that arrives just before the end is still recorded.
    PasteboardContents copied;
    copied.setData(PasteboardType::plainText, "last words");
    f.pasteboard.copyFromOtherProgram(copied);
    f.app->applicationWillTerminate();
    QVERIFY(!f.app->monitor().isRunning());
    QCOMPARE(f.mouse.installed(), 0);
    QCOMPARE(f.app->store().clips().size(), 1);
}

void tst_AppDelegate::failuresAreToldOnce()
{
    Fixture f;
    f.app->applicationDidFinishLaunching();
    // Offscreen there is no tray: that is told once, and nothing else.
    QCOMPARE(f.notifier.shown.size(), 1);
    QCOMPARE(f.notifier.shown.first().message, qtTrId("status.noTray"));
    // The archive cannot be written (something is in the way of its
    // temporary file): one message however many changes fail.
    const QString blocker = f.app->store().archivePath() + QStringLiteral(".tmp");
    QVERIFY(QDir().mkpath(blocker + QStringLiteral("/x")));
    for (const char *text : { "one", "two", "three" })
        f.add(QString::fromLatin1(text));
    f.app->store().flush();
    QTRY_COMPARE(f.notifier.shown.size(), 2);
    QVERIFY(f.notifier.shown.last().problem);
    QVERIFY(f.notifier.shown.last().message.contains(f.app->store().rootPath()));
    QCOMPARE(f.app->store().clips().size(), 3);
    // Once it can be written again, the next change saves and says so.
    QVERIFY(QDir(blocker).removeRecursively());
    f.add(QStringLiteral("four"));
    f.app->store().flush();
    QTRY_COMPARE(f.notifier.shown.size(), 3);
    QVERIFY(!f.notifier.shown.last().problem);
    QVERIFY(QFile::exists(f.app->store().archivePath()));

    // An archive that does not load is set aside under a name the user is
    // told, once.
    QFile archive(f.app->store().archivePath());
    QVERIFY(archive.open(QIODevice::WriteOnly | QIODevice::Truncate));
    archive.write("{ not json");
    archive.close();
    f.start();
    f.app->applicationDidFinishLaunching();
    f.add(QStringLiteral("after"));
    f.add(QStringLiteral("more"));
    f.app->store().flush();
    QTRY_COMPARE(f.notifier.shown.size(), 4);
    const QStringList asides
        = QDir(f.app->store().rootPath()).entryList({ QStringLiteral("clips.json.corrupt-*") });
    QCOMPARE(asides.size(), 1);
    QVERIFY(f.notifier.shown.last().message.contains(asides.first()));
    QCOMPARE(f.notifier.problems(), 3);

    // A journal with a change that cannot be applied is set aside, once.
    f.app.reset(); // at quit the archive takes in the journal
    QVERIFY(archive.open(QIODevice::ReadOnly));
    const QByteArray archived = archive.readAll();
    archive.close();
    QFile journal(f.dir.filePath(QStringLiteral("Quillstack/clips.journal")));
    QVERIFY(journal.open(QIODevice::WriteOnly | QIODevice::Truncate));
    journal.write(ClipJournal::headerLine({ archived.size(),
        QCryptographicHash::hash(archived, QCryptographicHash::Sha256).toHex() }));
    journal.write("{\"op\":\"rename\"}\n");
    journal.close();
    f.start();
    f.app->applicationDidFinishLaunching();
    QTRY_COMPARE(f.notifier.shown.size(), 5);
    QVERIFY(f.notifier.shown.last().message.contains(QStringLiteral("clips.journal.corrupt-")));
    QCOMPARE(f.notifier.problems(), 4);
    QCOMPARE(f.app->store().clips().size(), 2);

    // A folder in the journal's place is not ours: it stays as it is, and
    // the user is told once what it is, not to free disk space.
    f.app.reset();
    QVERIFY(journal.remove());
    QVERIFY(QDir().mkpath(journal.fileName()));
    f.start();
    f.app->applicationDidFinishLaunching();
    f.add(QStringLiteral("not saved"));
    f.add(QStringLiteral("nor this"));
    f.app->store().flush();
    QTRY_COMPARE(f.notifier.shown.size(), 6);
    QCOMPARE(f.notifier.shown.last().message,
        journal.fileName()
            + QStringLiteral(" is a folder, not Quillstack's journal. Your clips are kept while "
                             "Quillstack runs, but not saved until it is moved away."));
    QCOMPARE(f.notifier.problems(), 5);
    f.app.reset();
    QVERIFY(QFileInfo(journal.fileName()).isDir());
    QCOMPARE(f.notifier.shown.size(), 6);
}

// The preferences window is made once and comes back where the user left
// it; a second clip to edit replaces the open editor.
void tst_AppDelegate::auxiliaryWindows()
{
    Fixture f;
    f.app->applicationDidFinishLaunching();
    f.app->openPreferences();
    PreferencesController *preferences = f.app->preferencesController();
    QVERIFY(preferences);
    QVERIFY(preferences->isVisible());
    QCOMPARE(f.workspace.activations.last().windowId, quint64(preferences->winId()));
    preferences->move(preferences->pos() + QPoint(40, 30));
    const QPoint moved = preferences->pos();
    preferences->close();
    QVERIFY(!preferences->isVisible());
    f.app->openPreferences();
    QCOMPARE(f.app->preferencesController(), preferences);
    QCOMPARE(preferences->pos(), moved);
    QCOMPARE(f.defaults.integer(QLatin1String(SettingsKeys::reviewSettingsOpens)), 2);
    preferences->close();

    const Clip first = f.add(QStringLiteral("first"));
    const Clip second = f.add(QStringLiteral("second"));
    f.app->showPanel(true, ListMode::all);
    QCOMPARE(f.mouse.installed(), 1);
    f.app->historyDidRequestEdit(first);
    QCOMPARE(f.mouse.installed(), 0);
    const QPointer<EditClipController> firstEditor = f.app->editController();
    QVERIFY(firstEditor && firstEditor->isVisible());
    QCOMPARE(firstEditor->focusWidget(), firstEditor->textView());
    f.app->historyDidRequestEdit(second);
    QTRY_VERIFY(!firstEditor);
    QCOMPARE(f.app->editController()->clip().id, second.id);
    QCOMPARE(f.workspace.activations.last().windowId, quint64(f.app->editController()->winId()));
    f.app->editController()->close();
    QTRY_VERIFY(!f.app->editController());
    // Outside clicks hide the panel again.
    QCOMPARE(f.mouse.installed(), 1);
}

void tst_AppDelegate::share()
{
    Fixture f;
    f.app->applicationDidFinishLaunching();
    UrlCatcher mail;
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &mail, "open");
    f.app->shareQuillstack();
    QTRY_VERIFY(f.app->shareMenu() && f.app->shareMenu()->isVisible());
    const QList<QAction *> items = f.app->shareMenu()->actions();
    QCOMPARE(items.size(), 2);

    items.at(0)->trigger();
    const QString expected = qtTrId("share.message") + QStringLiteral("\nhttps://");
    QVERIFY(QString::fromUtf8(*f.pasteboard.dataForType(PasteboardType::plainText))
                .startsWith(expected));
    f.app->monitor().poll();
    QVERIFY(f.app->store().clips().isEmpty());

    items.at(1)->trigger();
    QCOMPARE(mail.urls.size(), 1);
    const QUrlQuery query(mail.urls.first());
    QCOMPARE(mail.urls.first().scheme(), QStringLiteral("mailto"));
    QVERIFY(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded)
                .contains(AppDelegate::shareAddress().toString()));
    QCOMPARE(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
        qtTrId("share.subject"));

    // Without a program for mailto: links the user hears of it, once.
    const qsizetype shownBefore = f.notifier.shown.size();
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    for (int attempt = 0; attempt < 2; ++attempt) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("openUrl")));
        items.at(1)->trigger();
    }
    QCOMPARE(f.notifier.shown.size(), shownBefore + 1);
    QCOMPARE(f.notifier.shown.last().title, qtTrId("notice.mailUnavailable.title"));
    QVERIFY(f.notifier.shown.last().message.contains(AppDelegate::shareAddress().toString()));
}

QTEST_MAIN(tst_AppDelegate)
#include "tst_AppDelegate.moc"
