// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeMouseMonitor.h"
#include "FakeScreens.h"
#include "FakeWorkspace.h"
#include "RecordingHistoryDelegate.h"
#include "StoreFixture.h"
#include "app/HistoryPanel.h"
#include "app/PanelController.h"
#include "ui/Translations.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ListMode)

namespace {

const RunningWindow editor { 0x400001, 4242 };
const QPointF onRightScreen(2000, 500);
// The default anchor ("right") on each, in window coordinates.
const QRect rightOfLeftScreen(1580, 30, 340, 1050);
const QRect rightOfRightScreen(2860, 56, 340, 1024);

struct Fixture
{
    explicit Fixture(bool alwaysVisible = false, int clips = 0, int kept = 0)
    {
        screens.sideBySide();
        workspace.frontmost = editor;
        for (int i = 0; i < clips; ++i) {
            clipStore.add(StoreFixture::text(u"clip %1"_s.arg(i)));
            if (i < kept)
                clipStore.setKept(clipStore.clips().first().id, true);
        }
        store.settings->setAlwaysVisible(alwaysVisible);
        controller.start(delegate);
    }

    HistoryPanel &panel() { return controller.panel(); }
    HistoryViewController &history() { return *controller.history(); }

    StoreFixture store;
    ClipStore &clipStore = store.open();
    FakeWorkspace workspace;
    FakeScreens screens;
    FakeMouseMonitor mouse;
    RecordingHistoryDelegate delegate;
    PanelController controller { *store.settings, clipStore, workspace, screens, mouse,
        [] { return QRect(); } };
};

} // namespace

class tst_PanelController : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(installTranslations(*QCoreApplication::instance())); }
    void toggleFromShortcut_data();
    void toggleFromShortcut();
    void alwaysVisible();
    void outsideClick_data();
    void outsideClick();
    void followsSettingsScreensAndDesktops();
    void auxiliaryWindows();
};

void tst_PanelController::toggleFromShortcut_data()
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

void tst_PanelController::toggleFromShortcut()
{
    QFETCH(bool, alwaysVisible);
    QFETCH(bool, visibleBefore);
    QFETCH(ListMode, pressed);
    QFETCH(bool, visibleAfter);
    QFETCH(bool, placedAnew);

    Fixture f(alwaysVisible, 2, 1);
    f.controller.show(false, ListMode::pinned);
    if (!visibleBefore)
        f.controller.toggleFromMenu();
    f.screens.mouse = onRightScreen;

    QCOMPARE(f.controller.toggleFromShortcut(pressed), visibleAfter);

    QCOMPARE(f.panel().isVisible(), visibleAfter);
    QCOMPARE(f.mouse.installed(), visibleAfter ? 1 : 0);
    if (visibleAfter) {
        QCOMPARE(f.history().listMode(), pressed);
        QCOMPARE(f.panel().geometry(), placedAnew ? rightOfRightScreen : rightOfLeftScreen);
        QTRY_VERIFY(f.history().searchField()->hasFocus());
        QVERIFY(f.workspace.activations.isEmpty());
    } else {
        QCOMPARE(f.workspace.activations, QList<RunningWindow> { editor });
    }
}

// Shown at start without the keyboard. Only the menu hides an
// always-visible panel, and it then stays hidden through settings changes
// until the menu or a shortcut shows it again.
void tst_PanelController::alwaysVisible()
{
    Fixture f(true, 1);
    QVERIFY(f.panel().isVisible());
    QVERIFY(!f.history().searchField()->hasFocus());
    f.controller.toggleFromMenu();
    f.store.settings->setPanelAnchor(PanelAnchor::left);
    QVERIFY(!f.panel().isVisible());
    QCOMPARE(f.panel().geometry(), QRect(0, 30, 340, 1050)); // re-placed all the same
    f.controller.toggleFromMenu();
    QVERIFY(f.panel().isVisible());
}

void tst_PanelController::outsideClick_data()
{
    QTest::addColumn<QPointF>("pointer");
    QTest::addColumn<QString>("situation");
    QTest::addColumn<bool>("hides");

    // The panel covers x 1580 to 1920 and y 0 to 1050. A click elsewhere,
    // and one with the panel always visible, are made for real in tst_AppX11.
    QTest::newRow("panel's bottom-left corner") << QPointF(1580, 0) << QString() << false;
    QTest::newRow("just above the panel") << QPointF(1700.5, 1050.5) << QString() << true;
    QTest::newRow("on another window of ours") << QPointF(150.5, 900.5) << u"own"_s << false;
    QTest::newRow("a modal dialog is open") << QPointF(100.5, 500.5) << u"modal"_s << false;
    QTest::newRow("a menu of ours is open") << QPointF(100.5, 500.5) << u"menu"_s << false;
}

void tst_PanelController::outsideClick()
{
    QFETCH(QPointF, pointer);
    QFETCH(QString, situation);
    QFETCH(bool, hides);

    Fixture f;
    f.controller.show(true, ListMode::all);
    QWidget other(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    other.setGeometry(100, 100, 200, 200); // desktop y 780 to 980
    QDialog modal;
    if (situation == QLatin1String("own")) {
        other.show();
    } else if (situation == QLatin1String("modal")) {
        modal.setGeometry(other.geometry()); // away from the pointer
        modal.setModal(true);
        modal.show();
    } else if (situation == QLatin1String("menu")) {
        f.controller.setOutsideClicksPaused(true);
    }
    f.workspace.activations.clear();
    f.screens.mouse = pointer;
    const bool held = situation == QLatin1String("menu");
    f.mouse.click();

    QCOMPARE(f.panel().isVisible(), !hides);
    QCOMPARE(f.mouse.installed(), hides || held ? 0 : 1);
    QCOMPARE(
        f.workspace.activations, hides ? QList<RunningWindow> { editor } : QList<RunningWindow> {});
    // Once the menu has closed, clicks elsewhere count again.
    if (held) {
        f.controller.setOutsideClicksPaused(false);
        f.mouse.click();
        QVERIFY(!f.panel().isVisible());
    }
}

void tst_PanelController::followsSettingsScreensAndDesktops()
{
    Fixture f;
    Settings &settings = *f.store.settings;

    // A hidden panel is re-placed but stays hidden.
    settings.setPanelAnchor(PanelAnchor::topLeft);
    QCOMPARE(f.panel().geometry(), QRect(0, 30, 340, 525));
    QVERIFY(!f.panel().isVisible());

    // Screen and desktop changes move only a visible panel.
    f.screens.list[0].visibleFrame = ScreenRect { 0, 0, 1920, 1080 };
    f.screens.change();
    f.workspace.switchDesktop();
    QCOMPARE(f.panel().geometry(), QRect(0, 30, 340, 525));
    f.controller.show(false, ListMode::all);
    f.screens.list[0].visibleFrame = ScreenRect { 0, 40, 1920, 1010 };
    f.screens.change();
    QCOMPARE(f.panel().geometry(), QRect(0, 30, 340, 505));
    f.screens.mouse = onRightScreen;
    f.workspace.switchDesktop();
    QCOMPARE(f.panel().geometry(), QRect(1920, 56, 340, 512));
    QVERIFY(f.panel().isVisible());
}

// Our other windows open beside the panel, get the keyboard through the
// window manager, and hold off clicks elsewhere until they close.
void tst_PanelController::auxiliaryWindows()
{
    Fixture f;
    QCOMPARE(f.controller.workArea(QSize(520, 380)), QRect(0, 30, 1920, 1050));
    f.controller.show(true, ListMode::all);
    QCOMPARE(f.controller.workArea(), QRect(0, 30, 1920, 1050));
    QCOMPARE(f.controller.workArea(QSize(520, 380)), QRect(0, 30, 1580, 1050));
    QCOMPARE(f.controller.workArea(QSize(1600, 380)), QRect(0, 30, 1920, 1050));
    f.screens.mouse = onRightScreen;
    QCOMPARE(f.controller.workArea(QSize(520, 380)), QRect(1920, 56, 1280, 1024));

    QWidget first;
    QWidget second;
    f.controller.showAuxiliaryWindow(first);
    f.controller.showAuxiliaryWindow(second);
    QVERIFY(first.isVisible() && second.isVisible());
    QCOMPARE(f.workspace.activations.last().windowId, quint64(second.winId()));
    QCOMPARE(f.mouse.installed(), 0);
    first.close();
    QCOMPARE(f.mouse.installed(), 0);
    second.close();
    QCOMPARE(f.mouse.installed(), 1);
}

QTEST_MAIN(tst_PanelController)
#include "tst_PanelController.moc"
