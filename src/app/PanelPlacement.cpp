// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PanelPlacement.h"

#include "app/DesktopCoordinates.h"
#include "app/Screens.h"

#include <algorithm>
#include <cmath>

using namespace PanelPlacement;

std::optional<Screen> screenUnderMouse(
    const QList<Screen> &screens, QPointF mouse, const std::optional<Screen> &mainScreen)
{
    for (const Screen &screen : screens) {
        if (screen.frame.containsMouse(mouse))
            return screen;
    }
    return mainScreen;
}

std::optional<Screen> screenUnderMouse(const Screens &screens)
{
    return screenUnderMouse(screens.screens(), screens.mouseLocation(), screens.mainScreen());
}

ScreenRect panelFrame(PanelAnchor anchor, const std::optional<Screen> &screen,
    const std::optional<Screen> &mainScreen)
{
    ScreenRect area = fallbackArea;
    if (screen)
        area = screen->visibleFrame;
    else if (mainScreen)
        area = mainScreen->visibleFrame;

    const double fullHeight = area.height;
    const double share = fullHeight >= tallScreenHeight ? tallHeightShare : heightShare;
    const double cornerHeight = std::max(std::floor(fullHeight * share), minimumHeight);

    switch (anchor) {
    case PanelAnchor::topLeft:
        return { area.minX(), area.maxY() - cornerHeight, panelWidth, cornerHeight };
    case PanelAnchor::top:
        return { area.midX() - halfPanelWidth, area.maxY() - cornerHeight, panelWidth,
            cornerHeight };
    case PanelAnchor::topRight:
        return { area.maxX() - panelWidth, area.maxY() - cornerHeight, panelWidth, cornerHeight };
    case PanelAnchor::left:
        return { area.minX(), area.minY(), panelWidth, fullHeight };
    case PanelAnchor::right:
        return { area.maxX() - panelWidth, area.minY(), panelWidth, fullHeight };
    case PanelAnchor::bottomLeft:
        return { area.minX(), area.minY(), panelWidth, cornerHeight };
    case PanelAnchor::bottom:
        return { area.midX() - halfPanelWidth, area.minY(), panelWidth, cornerHeight };
    case PanelAnchor::bottomRight:
        return { area.maxX() - panelWidth, area.minY(), panelWidth, cornerHeight };
    }
    Q_UNREACHABLE();
    return {};
}

QRect workAreaUnderMouse(const Screens &screens)
{
    std::optional<Screen> screen = screenUnderMouse(screens);
    if (!screen)
        screen = screens.mainScreen();
    if (!screen)
        return QRect(0, 0, 800, 600);
    return DesktopCoordinates::toWindowGeometry(screen->visibleFrame, screens.primaryGeometry());
}

QRect largestAreaBeside(const QRect &area, const QRect &obstacle, const QSize &least)
{
    const QRect overlap = area.intersected(obstacle);
    if (overlap.isEmpty())
        return area;
    const QRect sides[] = {
        QRect(area.topLeft(), QPoint(overlap.left() - 1, area.bottom())),
        QRect(QPoint(overlap.right() + 1, area.top()), area.bottomRight()),
        QRect(area.topLeft(), QPoint(area.right(), overlap.top() - 1)),
        QRect(QPoint(area.left(), overlap.bottom() + 1), area.bottomRight()),
    };
    QRect best;
    for (const QRect &side : sides) {
        if (side.width() >= least.width() && side.height() >= least.height()
            && qint64(side.width()) * side.height() > qint64(best.width()) * best.height())
            best = side;
    }
    return best.isValid() ? best : area;
}
