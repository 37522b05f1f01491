// SPDX-License-Identifier: GPL-3.0-or-later
#include "globalhotkeys/StandardNames.h"

namespace GlobalHotkeys::StandardNames {

Name togglePanel()
{
    return Name(QStringLiteral("togglePanel"),
        Shortcut(Key::v, ModifierFlag::command | ModifierFlag::option));
}

Name togglePinnedPanel()
{
    return Name(QStringLiteral("togglePinnedPanel"),
        Shortcut(Key::p, ModifierFlag::command | ModifierFlag::option));
}

} // namespace GlobalHotkeys::StandardNames
