// SPDX-License-Identifier: GPL-3.0-or-later
#include "globalhotkeys/Name.h"

#include "model/SettingsKeys.h"

#include <utility>

namespace GlobalHotkeys {

Name::Name(QString rawValue, std::optional<Shortcut> defaultShortcut)
    : m_rawValue(std::move(rawValue))
    , m_defaultShortcut(std::move(defaultShortcut))
{
}

QString Name::storageKey() const
{
    return QLatin1String(SettingsKeys::globalHotkeysPrefix) + m_rawValue;
}

} // namespace GlobalHotkeys
