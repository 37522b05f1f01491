#pragma once

#include <QIcon>

namespace StatusIcon {

// The tray icon: the icon theme's "edit-paste", else a clipboard drawn here
// so that the program never shows an empty tray slot.
QIcon icon();
QIcon fallbackIcon();

} // namespace StatusIcon
