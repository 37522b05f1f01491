#include "DesktopCoordinates.h"
#include "PanelPlacement.h"

#include <QTest>

Q_DECLARE_METATYPE(ScreenRect)
Q_DECLARE_METATYPE(PanelAnchor)
Q_DECLARE_METATYPE(std::optional<Screen>)

namespace {

char *describe(const ScreenRect &r)
{
    return QTest::toString(QStringLiteral("(%1, %2, %3, %4)")
                               .arg(r.x, 0, 'g', 10)
                               .arg(r.y, 0, 'g', 10)
                               .arg(r.width, 0, 'g', 10)
                               .arg(r.height, 0, 'g', 10));
}

Screen screenWithVisible(ScreenRect visible)
{
    return Screen { visible, visible };
}

} // namespace

namespace QTest {
template<> char *toString(const ScreenRect &r)
{
    return describe(r);
}
} // namespace QTest

class tst_PanelPlacement : public QObject
{
    Q_OBJECT
private slots:
    void panelFrameOnScreen_data();
    void panelFrameOnScreen();
    void panelFrameWithoutScreen_data();
    void panelFrameWithoutScreen();
    void screenUnderMouse_data();
    void screenUnderMouse();
    void windowGeometry_data();
    void windowGeometry();
    void pointerPixels_data();
    void pointerPixels();
};

void tst_PanelPlacement::panelFrameOnScreen_data()
{
    QTest::addColumn<ScreenRect>("area");
    QTest::addColumn<PanelAnchor>("anchor");
    QTest::addColumn<ScreenRect>("expected");

    const ScreenRect laptop { 0, 0, 1440, 875 };
    QTest::newRow("topLeft") << laptop << PanelAnchor::topLeft << ScreenRect { 0, 438, 340, 437 };
    QTest::newRow("top") << laptop << PanelAnchor::top << ScreenRect { 550, 438, 340, 437 };
    QTest::newRow("topRight") << laptop << PanelAnchor::topRight
                              << ScreenRect { 1100, 438, 340, 437 };
    QTest::newRow("left") << laptop << PanelAnchor::left << ScreenRect { 0, 0, 340, 875 };
    QTest::newRow("right") << laptop << PanelAnchor::right << ScreenRect { 1100, 0, 340, 875 };
    QTest::newRow("bottomLeft") << laptop << PanelAnchor::bottomLeft
                                << ScreenRect { 0, 0, 340, 437 };
    QTest::newRow("bottom") << laptop << PanelAnchor::bottom << ScreenRect { 550, 0, 340, 437 };
    QTest::newRow("bottomRight") << laptop << PanelAnchor::bottomRight
                                 << ScreenRect { 1100, 0, 340, 437 };

    // A tall second screen right of the first, above a dock.
    const ScreenRect tall { 1440, 25, 1920, 1415 };
    QTest::newRow("tall bottomRight")
        << tall << PanelAnchor::bottomRight << ScreenRect { 3020, 25, 340, 466 };
    QTest::newRow("tall topLeft") << tall << PanelAnchor::topLeft
                                  << ScreenRect { 1440, 974, 340, 466 };
    QTest::newRow("tall left keeps full height")
        << tall << PanelAnchor::left << ScreenRect { 1440, 25, 340, 1415 };
    QTest::newRow("very tall right keeps full height") << ScreenRect { 0, 0, 1080,
        5000 } << PanelAnchor::right << ScreenRect { 740, 0, 340, 5000 };

    // The share drops from a half to 0.33 exactly at 1400.
    QTest::newRow("1399 high") << ScreenRect { 0, 0, 1000, 1399 } << PanelAnchor::bottomLeft
                               << ScreenRect { 0, 0, 340, 699 };
    QTest::newRow("1400 high") << ScreenRect { 0, 0, 1000, 1400 } << PanelAnchor::bottomLeft
                               << ScreenRect { 0, 0, 340, 462 };
    // The minimum height holds, and the panel then reaches past the area.
    QTest::newRow("500 high") << ScreenRect { 0, 0, 1000, 500 } << PanelAnchor::topLeft
                              << ScreenRect { 0, 220, 340, 280 };
    QTest::newRow("200 high top") << ScreenRect { 0, 0, 1000, 200 } << PanelAnchor::top
                                  << ScreenRect { 330, -80, 340, 280 };
    // Nothing is rounded but the height, nothing is clamped.
    QTest::newRow("odd width centres on a half point") << ScreenRect { 0, 0, 1001,
        900 } << PanelAnchor::bottom << ScreenRect { 330.5, 0, 340, 450 };
    QTest::newRow("narrower than the panel") << ScreenRect { 100, 0, 300,
        900 } << PanelAnchor::topRight << ScreenRect { 60, 450, 340, 450 };
    QTest::newRow("fractional left height unrounded") << ScreenRect { 0, 0.5, 800,
        700.5 } << PanelAnchor::left << ScreenRect { 0, 0.5, 340, 700.5 };
    QTest::newRow("screen left of and below the primary") << ScreenRect { -1280, -1024, 1280,
        1024 } << PanelAnchor::topRight << ScreenRect { -340, -512, 340, 512 };
}

void tst_PanelPlacement::panelFrameOnScreen()
{
    QFETCH(ScreenRect, area);
    QFETCH(PanelAnchor, anchor);
    QFETCH(ScreenRect, expected);

    // The frame comes from the visible frame, not the whole screen.
    const Screen screen {
        ScreenRect { area.x - 10, area.y - 30, area.width + 20, area.height + 60 }, area
    };
    const Screen otherMain = screenWithVisible({ 5000, 5000, 640, 480 });
    QCOMPARE(panelFrame(anchor, screen, otherMain), expected);
}

void tst_PanelPlacement::panelFrameWithoutScreen_data()
{
    QTest::addColumn<std::optional<Screen>>("mainScreen");
    QTest::addColumn<PanelAnchor>("anchor");
    QTest::addColumn<ScreenRect>("expected");

    QTest::newRow("main screen stands in")
        << std::optional<Screen>(screenWithVisible({ 0, 0, 1440, 875 })) << PanelAnchor::top
        << ScreenRect { 550, 438, 340, 437 };
    QTest::newRow("no screen at all: 800 by 600, right")
        << std::optional<Screen>() << PanelAnchor::right << ScreenRect { 460, 0, 340, 600 };
    QTest::newRow("no screen at all: 800 by 600, topLeft")
        << std::optional<Screen>() << PanelAnchor::topLeft << ScreenRect { 0, 300, 340, 300 };
}

void tst_PanelPlacement::panelFrameWithoutScreen()
{
    QFETCH(std::optional<Screen>, mainScreen);
    QFETCH(PanelAnchor, anchor);
    QFETCH(ScreenRect, expected);
    QCOMPARE(panelFrame(anchor, std::nullopt, mainScreen), expected);
}

void tst_PanelPlacement::screenUnderMouse_data()
{
    QTest::addColumn<QPointF>("mouse");
    QTest::addColumn<bool>("withMain");
    QTest::addColumn<int>("expected"); // index into the list, 9 = the main screen, -1 = none

    // Two side by side, and a third overlapping the right one.
    QTest::newRow("inside the first") << QPointF(100, 100) << true << 0;
    QTest::newRow("inside the second") << QPointF(1500, 100) << true << 1;
    QTest::newRow("left edge inside") << QPointF(1440, 100) << true << 1;
    QTest::newRow("just left of the shared edge") << QPointF(1439.5, 100) << true << 0;
    QTest::newRow("bottom edge outside") << QPointF(100, 0) << true << 9;
    QTest::newRow("top edge inside") << QPointF(100, 900) << true << 0;
    QTest::newRow("just above the top") << QPointF(100, 900.01) << true << 9;
    QTest::newRow("overlap: the first in the list wins") << QPointF(2000, 500) << true << 1;
    QTest::newRow("only in the overlapping one") << QPointF(2000, 1500) << true << 2;
    QTest::newRow("nowhere: the main screen") << QPointF(-50, -50) << true << 9;
    QTest::newRow("nowhere and no main screen") << QPointF(-50, -50) << false << -1;
}

void tst_PanelPlacement::screenUnderMouse()
{
    QFETCH(QPointF, mouse);
    QFETCH(bool, withMain);
    QFETCH(int, expected);

    const QList<Screen> screens {
        Screen { { 0, 0, 1440, 900 }, { 0, 0, 1440, 875 } },
        Screen { { 1440, 0, 1920, 1080 }, { 1440, 0, 1920, 1080 } },
        Screen { { 1800, 200, 1000, 2000 }, { 1800, 200, 1000, 2000 } },
    };
    const Screen main { { -5000, 0, 100, 100 }, { -5000, 0, 100, 90 } };
    const std::optional<Screen> found
        = ::screenUnderMouse(screens, mouse, withMain ? std::optional<Screen>(main) : std::nullopt);
    if (expected == -1)
        QVERIFY(!found);
    else
        QCOMPARE(found, expected == 9 ? main : screens.at(expected));
}

void tst_PanelPlacement::windowGeometry_data()
{
    QTest::addColumn<QRect>("primary");
    QTest::addColumn<ScreenRect>("rect");
    QTest::addColumn<QRect>("window");

    const QRect hd(0, 0, 1920, 1080);
    QTest::newRow("bottom-left corner")
        << hd << ScreenRect { 0, 0, 340, 280 } << QRect(0, 800, 340, 280);
    QTest::newRow("right column full height")
        << hd << ScreenRect { 1580, 0, 340, 1080 } << QRect(1580, 0, 340, 1080);
    QTest::newRow("top edge below a 30 point bar")
        << hd << ScreenRect { 0, 510, 340, 540 } << QRect(0, 30, 340, 540);
    // The primary screen need not start at the desktop's origin.
    QTest::newRow("primary right of a taller screen") << QRect(1280, 200, 1920,
        1080) << ScreenRect { 0, 0, 340, 280 } << QRect(1280, 1000, 340, 280);
    QTest::newRow("screen above the primary")
        << QRect(0, 1024, 1920, 1080) << ScreenRect { 0, 1080, 1280, 1024 }
        << QRect(0, 0, 1280, 1024);
    QTest::newRow("half point rounds")
        << hd << ScreenRect { 790.5, 0, 340, 540 } << QRect(791, 540, 340, 540);
}

void tst_PanelPlacement::windowGeometry()
{
    QFETCH(QRect, primary);
    QFETCH(ScreenRect, rect);
    QFETCH(QRect, window);
    QCOMPARE(DesktopCoordinates::toWindowGeometry(rect, primary), window);
    if (rect.x == std::floor(rect.x))
        QCOMPARE(DesktopCoordinates::fromWindowGeometry(window, primary), rect);
}

void tst_PanelPlacement::pointerPixels_data()
{
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<int>("expected"); // index of the screen, -1 = none

    QTest::newRow("top row of the primary") << QPoint(10, 0) << 0;
    QTest::newRow("bottom row of the primary") << QPoint(10, 1079) << 0;
    QTest::newRow("first row of the screen below") << QPoint(10, 1080) << 1;
    QTest::newRow("last column of the primary") << QPoint(1919, 500) << 0;
    QTest::newRow("first column right of it") << QPoint(1920, 500) << -1;
}

// X reports the pixel under the pointer; each pixel belongs to exactly the
// screen that shows it, whichever edge rule applies.
void tst_PanelPlacement::pointerPixels()
{
    QFETCH(QPoint, pixel);
    QFETCH(int, expected);

    const QRect primary(0, 0, 1920, 1080);
    const QList<QRect> windowScreens { primary, QRect(0, 1080, 1920, 1080) };
    QList<Screen> screens;
    for (const QRect &geometry : windowScreens) {
        const ScreenRect frame = DesktopCoordinates::fromWindowGeometry(geometry, primary);
        screens.append(Screen { frame, frame });
    }
    const QPointF mouse = DesktopCoordinates::fromWindowPoint(pixel, primary);
    const std::optional<Screen> found = ::screenUnderMouse(screens, mouse, std::nullopt);
    if (expected < 0)
        QVERIFY(!found);
    else
        QCOMPARE(found, screens.at(expected));
    if (expected >= 0) {
        const ScreenRect frame = screens.at(expected).frame;
        QVERIFY(frame.contains(mouse));
    }
}

QTEST_APPLESS_MAIN(tst_PanelPlacement)
#include "tst_PanelPlacement.moc"
