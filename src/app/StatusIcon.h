// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

namespace StatusIcon {

// The tray icon, and the one shown while recording is paused: the installed
// symbolic icon from the icon theme, else the copy built into the program,
// else a clipboard drawn here, so that the tray slot is never empty.
QIcon icon();
QIcon pausedIcon();
QIcon fallbackIcon(bool paused = false);

} // namespace StatusIcon
