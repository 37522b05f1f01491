// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

// How many pixels of `area` differ from the one just left of it: text
// painted there leaves some, whatever its font; text under an opaque widget
// leaves none.
inline int pixelsUnlikeSurroundings(const QImage &image, const QRect &area)
{
    const QRgb around = image.pixel(area.left() - 1, area.center().y());
    int count = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            count += image.pixel(x, y) != around ? 1 : 0;
    return count;
}
