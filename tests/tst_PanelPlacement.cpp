// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DesktopCoordinates.h"
#include "app/PanelPlacement.h"

#include <QTest>

Q_DECLARE_METATYPE(PanelAnchor)

namespace {

// QRectF prints itself when a comparison fails; an empty one means "none".
QRectF toRect(const ScreenRect &r)
{
    return QRectF(r.x, r.y, r.width, r.height);
}
ScreenRect fromRect(const QRectF &r)
{
    return ScreenRect { r.x(), r.y(), r.width(), r.height() };
}
std::optional<Screen> screenWithVisible(const QRectF &visible)
{
    if (visible.isNull())
        return std::nullopt;
    // The frame is larger: only the visible frame counts.
    return Screen { fromRect(visible.adjusted(-10, -30, 10, 30)), fromRect(visible) };
}

} // namespace

class tst_PanelPlacement : public QObject
{
    Q_OBJECT
private slots:
    void panelFrame_data()
    {
        QTest::addColumn<QRectF>("screen"); // visible frame; null: no screen
        QTest::addColumn<QRectF>("main");
        QTest::addColumn<PanelAnchor>("anchor");
        QTest::addColumn<QRectF>("expected");

        const auto row = [](const char *name, const QRectF &screen, const QRectF &main,
                             PanelAnchor anchor, const QRectF &expected) {
            QTest::newRow(name) << screen << main << anchor << expected;
        };
        using A = PanelAnchor;
        const QRectF laptop(0, 0, 1440, 875);
        const QRectF none;
        row("topLeft", laptop, QRectF(5000, 5000, 640, 480), A::topLeft, { 0, 438, 340, 437 });
        row("top", laptop, none, A::top, { 550, 438, 340, 437 });
        row("topRight", laptop, none, A::topRight, { 1100, 438, 340, 437 });
        row("left", laptop, none, A::left, { 0, 0, 340, 875 });
        row("right", laptop, none, A::right, { 1100, 0, 340, 875 });
        row("bottomLeft", laptop, none, A::bottomLeft, { 0, 0, 340, 437 });
        row("bottom", laptop, none, A::bottom, { 550, 0, 340, 437 });
        row("bottomRight", laptop, none, A::bottomRight, { 1100, 0, 340, 437 });
        row("tall: a third", { 1440, 25, 1920, 1415 }, none, A::bottomRight,
            { 3020, 25, 340, 466 });
        row("1399 high: a half", { 0, 0, 1000, 1399 }, none, A::bottomLeft, { 0, 0, 340, 699 });
        row("1400 high: a third", { 0, 0, 1000, 1400 }, none, A::bottomLeft, { 0, 0, 340, 462 });
        row("200 high: 280, beyond the area", { 0, 0, 1000, 200 }, none, A::top,
            { 330, -80, 340, 280 });
        row("odd width: half points", { 0, 0, 1001, 900 }, none, A::bottom, { 330.5, 0, 340, 450 });
        row("narrow screen: unclamped", { 100, 0, 300, 900 }, none, A::topRight,
            { 60, 450, 340, 450 });
        row("no screen: the main one", none, laptop, A::top, { 550, 438, 340, 437 });
        row("no screens: 800 by 600", none, none, A::topLeft, { 0, 300, 340, 300 });
    }

    void panelFrame()
    {
        QFETCH(QRectF, screen);
        QFETCH(QRectF, main);
        QFETCH(PanelAnchor, anchor);
        QFETCH(QRectF, expected);
        QCOMPARE(toRect(::panelFrame(anchor, screenWithVisible(screen), screenWithVisible(main))),
            expected);
    }

    void screenUnderMouse_data()
    {
        QTest::addColumn<QPointF>("mouse");
        QTest::addColumn<bool>("withMain");
        QTest::addColumn<int>("expected"); // index in the list, 9: the main screen, -1: none

        QTest::newRow("inside the first") << QPointF(100, 100) << true << 0;
        QTest::newRow("left edge inside") << QPointF(1440, 100) << true << 1;
        QTest::newRow("bottom edge outside") << QPointF(100, 0) << true << 9;
        QTest::newRow("top edge inside") << QPointF(100, 900) << true << 0;
        QTest::newRow("overlap: first in the list wins") << QPointF(2000, 500) << true << 1;
        QTest::newRow("only in the third") << QPointF(2000, 1500) << true << 2;
        QTest::newRow("nowhere: the main screen") << QPointF(-50, -50) << true << 9;
        QTest::newRow("nowhere, no main screen") << QPointF(-50, -50) << false << -1;
    }

    void screenUnderMouse()
    {
        QFETCH(QPointF, mouse);
        QFETCH(bool, withMain);
        QFETCH(int, expected);

        const QList<Screen> screens { Screen { { 0, 0, 1440, 900 }, { 0, 0, 1440, 875 } },
            Screen { { 1440, 0, 1920, 1080 }, { 1440, 0, 1920, 1080 } },
            Screen { { 1800, 200, 1000, 2000 }, { 1800, 200, 1000, 2000 } } };
        const Screen main { { -5000, 0, 100, 100 }, { -5000, 0, 100, 90 } };
        const std::optional<Screen> found = ::screenUnderMouse(
            screens, mouse, withMain ? std::optional<Screen>(main) : std::nullopt);
        QCOMPARE(found.has_value(), expected >= 0);
        if (found)
            QVERIFY(*found == (expected == 9 ? main : screens.at(expected)));
    }

    void windowGeometry_data()
    {
        QTest::addColumn<QRect>("primary");
        QTest::addColumn<QRectF>("rect");
        QTest::addColumn<QRect>("window");

        const QRect hd(0, 0, 1920, 1080);
        QTest::newRow("bottom-left corner")
            << hd << QRectF(0, 0, 340, 280) << QRect(0, 800, 340, 280);
        QTest::newRow("below a 30 point bar")
            << hd << QRectF(0, 510, 340, 540) << QRect(0, 30, 340, 540);
        QTest::newRow("primary right of a taller screen") << QRect(1280, 200, 1920,
            1080) << QRectF(0, 0, 340, 280) << QRect(1280, 1000, 340, 280);
        QTest::newRow("screen above the primary")
            << QRect(0, 1024, 1920, 1080) << QRectF(0, 1080, 1280, 1024) << QRect(0, 0, 1280, 1024);
        QTest::newRow("half point rounds")
            << hd << QRectF(790.5, 0, 340, 540) << QRect(791, 540, 340, 540);
    }

    void windowGeometry()
    {
        QFETCH(QRect, primary);
        QFETCH(QRectF, rect);
        QFETCH(QRect, window);
        QCOMPARE(DesktopCoordinates::toWindowGeometry(fromRect(rect), primary), window);
        if (rect.x() == std::floor(rect.x()))
            QCOMPARE(toRect(DesktopCoordinates::fromWindowGeometry(window, primary)), rect);

        // The pointer on the window's corner pixels is inside it, one pixel
        // further out it is not, whichever edge rule is applied.
        const ScreenRect frame = DesktopCoordinates::fromWindowGeometry(window, primary);
        for (const QPoint &corner : { window.topLeft(), window.bottomRight() }) {
            const QPointF in = DesktopCoordinates::fromWindowPoint(corner, primary);
            QVERIFY(frame.contains(in) && frame.containsMouse(in));
        }
        for (const QPoint &outside :
            { window.topLeft() - QPoint(0, 1), window.bottomRight() + QPoint(1, 0) }) {
            const QPointF out = DesktopCoordinates::fromWindowPoint(outside, primary);
            QVERIFY(!frame.contains(out) && !frame.containsMouse(out));
        }
    }
};

QTEST_APPLESS_MAIN(tst_PanelPlacement)
#include "tst_PanelPlacement.moc"
