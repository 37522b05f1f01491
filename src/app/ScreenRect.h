// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointF>

// A rectangle in desktop points: origin at the bottom-left corner of the
// primary screen, y growing upwards, (x, y) the bottom-left corner. Placement
// works in this space so that "top" and "bottom" anchors read naturally; only
// the window converts to the window system's top-left origin.
struct ScreenRect
{
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double minX() const { return x; }
    double maxX() const { return x + width; }
    double midX() const { return x + width / 2; }
    double minY() const { return y; }
    double maxY() const { return y + height; }

    // Minimum edges inside, maximum edges outside.
    bool contains(QPointF p) const
    {
        return p.x() >= minX() && p.x() < maxX() && p.y() >= minY() && p.y() < maxY();
    }
    // The pointer's own rule: the bottom edge belongs to the screen below,
    // the top edge to this one.
    bool containsMouse(QPointF p) const
    {
        return p.x() >= minX() && p.x() < maxX() && p.y() > minY() && p.y() <= maxY();
    }

    friend bool operator==(const ScreenRect &, const ScreenRect &) = default;
};
