// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "globalhotkeys/Name.h"

namespace GlobalHotkeys::StandardNames {

// The program's two global shortcuts: the history panel with all clips, and
// with the kept clips only. Both default to Ctrl+Alt plus a letter.
Name togglePanel();
Name togglePinnedPanel();

} // namespace GlobalHotkeys::StandardNames
