// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace GlobalHotkeys {
class KeyboardLayout;
class Shortcut;
} // namespace GlobalHotkeys

// A shortcut in the desktop portal's trigger syntax: the modifiers CTRL,
// ALT, SHIFT and LOGO, then the xkb name of the key's symbol in the current
// layout, joined by "+" ("CTRL+ALT+V", "LOGO+F5", "CTRL+comma"). None when
// the key has no symbol to name (a dead key). Fn has no counterpart and is
// left out.
std::optional<QString> portalTrigger(
    const GlobalHotkeys::Shortcut &shortcut, const GlobalHotkeys::KeyboardLayout &layout);
