// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DesktopCoordinates.h"

#include <cmath>

namespace DesktopCoordinates {

namespace {

// The window system's y of the primary screen's bottom edge: desktop y = 0.
double baseline(const QRect &primary)
{
    return double(primary.y()) + double(primary.height());
}

int roundToPixel(double value)
{
    return int(std::lround(value));
}

} // namespace

QRect toWindowGeometry(const ScreenRect &rect, const QRect &primary)
{
    const double left = rect.x + primary.x();
    const double top = baseline(primary) - rect.maxY();
    return QRect(
        roundToPixel(left), roundToPixel(top), roundToPixel(rect.width), roundToPixel(rect.height));
}

ScreenRect fromWindowGeometry(const QRect &geometry, const QRect &primary)
{
    const double height = geometry.height();
    return ScreenRect { double(geometry.x()) - primary.x(),
        baseline(primary) - geometry.y() - height, double(geometry.width()), height };
}

QPointF fromWindowPoint(const QPoint &point, const QRect &primary)
{
    return QPointF(double(point.x()) - primary.x() + 0.5, baseline(primary) - point.y() - 0.5);
}

} // namespace DesktopCoordinates
