// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "globalhotkeys/Shortcut.h"

#include <QMetaType>
#include <QString>

#include <optional>

namespace GlobalHotkeys {

// A named shortcut slot, such as "togglePanel", with the shortcut it gets on
// a first start. Names compare by their raw value only.
class Name
{
public:
    Name() = default;
    explicit Name(QString rawValue, std::optional<Shortcut> defaultShortcut = std::nullopt);

    const QString &rawValue() const { return m_rawValue; }
    const std::optional<Shortcut> &defaultShortcut() const { return m_defaultShortcut; }
    // Where the name's shortcut is stored in the defaults.
    QString storageKey() const;

    friend bool operator==(const Name &a, const Name &b) { return a.m_rawValue == b.m_rawValue; }

private:
    QString m_rawValue;
    std::optional<Shortcut> m_defaultShortcut;
};

inline size_t qHash(const Name &name, size_t seed = 0)
{
    return ::qHash(name.rawValue(), seed);
}

} // namespace GlobalHotkeys

Q_DECLARE_METATYPE(GlobalHotkeys::Name)
