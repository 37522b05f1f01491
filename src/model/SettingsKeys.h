// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Every key of the defaults store, declared once. Nothing else spells a key;
// the settings' fallbacks and ranges are in the table in Settings.cpp.
namespace SettingsKeys {

inline constexpr char maxAgeHours[] = "maxAgeHours";
inline constexpr char maxClipCount[] = "maxClipCount";
inline constexpr char maxClipBytes[] = "maxClipBytes";
inline constexpr char maxTotalBytes[] = "maxTotalBytes";
inline constexpr char panelAnchor[] = "panelAnchor";
inline constexpr char alwaysVisible[] = "alwaysVisible";
inline constexpr char keepClipboardAlive[] = "keepClipboardAlive";
inline constexpr char pasteAfterChoosing[] = "pasteAfterChoosing";
// Window classes or app ids of terminals beyond the ones the program knows.
inline constexpr char terminalClasses[] = "terminalClasses";

inline constexpr char reviewSettingsOpens[] = "review.settingsOpens";
inline constexpr char reviewFiredSettingsThresholds[] = "review.firedSettingsThresholds";
inline constexpr char reviewHotkeyPanelOpens[] = "review.hotkeyPanelOpens";
inline constexpr char reviewFiredHotkeyThresholds[] = "review.firedHotkeyThresholds";

// Sharing the history between machines (docs/sharing.md).
inline constexpr char sharingEnabled[] = "sharing.enabled";
inline constexpr char sharingFolder[] = "sharing.folder";
inline constexpr char sharingScope[] = "sharing.scope";
inline constexpr char sharingMachineId[] = "sharing.machineId";

inline constexpr char preferencesFrame[] = "QuillstackPreferences";
// Named global shortcuts are stored under this prefix plus the name.
inline constexpr char globalHotkeysPrefix[] = "GlobalHotkeys_";

} // namespace SettingsKeys
