// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <optional>

namespace GlobalHotkeys {

// xkb (and so X11 and Wayland) number keys as the kernel's evdev code plus 8.
inline constexpr int xkbKeycodeOffset = 8;

// The physical key behind a virtual key code, as a Linux evdev code. Keys that
// Linux keyboards do not have (function) give none.
std::optional<int> evdevCodeForKeyCode(qint64 keyCode);
// The inverse: the virtual key code of the key at an evdev position.
std::optional<qint64> keyCodeForEvdevCode(int evdevCode);

} // namespace GlobalHotkeys
