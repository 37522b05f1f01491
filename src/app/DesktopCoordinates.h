// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/ScreenRect.h"

#include <QPoint>
#include <QPointF>
#include <QRect>

// Conversion between desktop points (origin bottom-left of the primary
// screen, y up) and the window system's coordinates (origin top-left of the
// desktop, y down). `primary` is the primary screen in the latter.
namespace DesktopCoordinates {

QRect toWindowGeometry(const ScreenRect &rect, const QRect &primary);
ScreenRect fromWindowGeometry(const QRect &geometry, const QRect &primary);
// The pointer sits on a whole pixel; its centre is taken as the position, so
// that it is plainly inside or outside every whole-pixel rectangle whichever
// edge rule the caller applies.
QPointF fromWindowPoint(const QPoint &point, const QRect &primary);

} // namespace DesktopCoordinates
