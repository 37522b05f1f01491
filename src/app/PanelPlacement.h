// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Screen.h"
#include "model/Settings.h"

#include <QList>
#include <QPointF>
#include <QRect>

#include <optional>

class Screens;

// Where the history panel goes: on the screen under the pointer, at one of
// eight anchors. All in desktop points (see ScreenRect).
namespace PanelPlacement {

inline constexpr double panelWidth = 340;
inline constexpr double halfPanelWidth = 170;
inline constexpr double minimumHeight = 280;
// Tall screens get a smaller share, so the panel does not dominate them.
inline constexpr double tallScreenHeight = 1400;
inline constexpr double heightShare = 0.5;
inline constexpr double tallHeightShare = 0.33;
inline constexpr ScreenRect fallbackArea { 0, 0, 800, 600 };

} // namespace PanelPlacement

// The first screen (in the given order) whose frame holds the pointer, else
// the main screen.
std::optional<Screen> screenUnderMouse(
    const QList<Screen> &screens, QPointF mouse, const std::optional<Screen> &mainScreen);
std::optional<Screen> screenUnderMouse(const Screens &screens);

// The panel's rectangle for `anchor` in the visible frame of `screen`, else
// of `mainScreen`, else of the fallback area. Never clamped.
ScreenRect panelFrame(PanelAnchor anchor, const std::optional<Screen> &screen,
    const std::optional<Screen> &mainScreen);

// Where our other windows go, in window coordinates: the work area of the
// screen under the pointer, else of the main screen.
QRect workAreaUnderMouse(const Screens &screens);
// The largest part of `area` on one side of `obstacle`: a window placed there
// is not covered by it. The whole area when no side leaves room enough.
QRect largestAreaBeside(const QRect &area, const QRect &obstacle, const QSize &least);
