// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QVariantMap>

// Every key of the defaults store, declared once. Nothing else spells a key.
namespace SettingsKeys {

inline constexpr char maxAgeHours[] = "maxAgeHours";
inline constexpr char maxClipCount[] = "maxClipCount";
inline constexpr char maxClipBytes[] = "maxClipBytes";
inline constexpr char maxTotalBytes[] = "maxTotalBytes";
inline constexpr char panelAnchor[] = "panelAnchor";
inline constexpr char alwaysVisible[] = "alwaysVisible";
inline constexpr char keepClipboardAlive[] = "keepClipboardAlive";

inline constexpr char reviewSettingsOpens[] = "review.settingsOpens";
inline constexpr char reviewFiredSettingsThresholds[] = "review.firedSettingsThresholds";
inline constexpr char reviewHotkeyPanelOpens[] = "review.hotkeyPanelOpens";
inline constexpr char reviewFiredHotkeyThresholds[] = "review.firedHotkeyThresholds";

inline constexpr char preferencesFrame[] = "QuillstackPreferences";
// Named global shortcuts are stored under this prefix plus the name.
inline constexpr char globalHotkeysPrefix[] = "GlobalHotkeys_";

// The registered (fallback) values of the settings; never written.
inline QVariantMap registeredDefaults()
{
    return {
        { QLatin1String(maxAgeHours), qint64(168) },
        { QLatin1String(maxClipCount), qint64(200) },
        { QLatin1String(maxClipBytes), qint64(10485760) },
        { QLatin1String(maxTotalBytes), qint64(209715200) },
        { QLatin1String(panelAnchor), QStringLiteral("right") },
        { QLatin1String(alwaysVisible), false },
        { QLatin1String(keepClipboardAlive), true },
    };
}

} // namespace SettingsKeys
