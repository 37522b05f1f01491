// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/Settings.h"

#include "model/Defaults.h"
#include "model/SettingsKeys.h"

#include <algorithm>
#include <limits>

namespace {

enum class Type { integer, boolean, anchor, stringList };

// A setting: its key in the store, how its value reads, its value while the
// user never chose one, and for a number the least it may be.
struct Entry
{
    Settings::Key setting;
    const char *key;
    Type type;
    QVariant fallback;
    qint64 minimum = std::numeric_limits<qint64>::min();
};

const std::array<Entry, Settings::keyCount> &table()
{
    using Key = Settings::Key;
    static const std::array<Entry, Settings::keyCount> entries { {
        { Key::maxAgeHours, SettingsKeys::maxAgeHours, Type::integer, qint64(168) },
        { Key::maxClipCount, SettingsKeys::maxClipCount, Type::integer, qint64(200), 1 },
        { Key::maxClipBytes, SettingsKeys::maxClipBytes, Type::integer, qint64(10485760), 1 },
        { Key::maxTotalBytes, SettingsKeys::maxTotalBytes, Type::integer, qint64(209715200), 0 },
        { Key::panelAnchor, SettingsKeys::panelAnchor, Type::anchor, QStringLiteral("right") },
        { Key::alwaysVisible, SettingsKeys::alwaysVisible, Type::boolean, false },
        { Key::keepClipboardAlive, SettingsKeys::keepClipboardAlive, Type::boolean, true },
        { Key::pasteAfterChoosing, SettingsKeys::pasteAfterChoosing, Type::boolean, false },
        { Key::terminalClasses, SettingsKeys::terminalClasses, Type::stringList, QStringList() },
    } };
    return entries;
}

const Entry &entry(Settings::Key key)
{
    const Entry &found = table()[size_t(key)];
    Q_ASSERT(found.setting == key);
    return found;
}

// The value brought within the setting's range: a number below its least
// reads as that, an anchor of no known name as the fallback.
QVariant withinRange(const Entry &entry, const QVariant &value)
{
    switch (entry.type) {
    case Type::integer:
        return std::max(entry.minimum, value.toLongLong());
    case Type::boolean:
        return value.toBool();
    case Type::anchor:
        return panelAnchorFromRawValue(value.toString()) ? value.toString() : entry.fallback;
    case Type::stringList: {
        // The settings file holds one name, or several separated by commas.
        QStringList names;
        for (const QString &name : value.toStringList()) {
            if (!name.trimmed().isEmpty())
                names.append(name.trimmed());
        }
        return names;
    }
    }
    Q_UNREACHABLE();
    return entry.fallback;
}

} // namespace

QString panelAnchorRawValue(PanelAnchor anchor)
{
    switch (anchor) {
    case PanelAnchor::topLeft:
        return QStringLiteral("topLeft");
    case PanelAnchor::top:
        return QStringLiteral("top");
    case PanelAnchor::topRight:
        return QStringLiteral("topRight");
    case PanelAnchor::left:
        return QStringLiteral("left");
    case PanelAnchor::right:
        return QStringLiteral("right");
    case PanelAnchor::bottomLeft:
        return QStringLiteral("bottomLeft");
    case PanelAnchor::bottom:
        return QStringLiteral("bottom");
    case PanelAnchor::bottomRight:
        return QStringLiteral("bottomRight");
    }
    Q_UNREACHABLE();
    return QString();
}

QList<PanelAnchor> allPanelAnchors()
{
    return { PanelAnchor::topLeft, PanelAnchor::top, PanelAnchor::topRight, PanelAnchor::left,
        PanelAnchor::right, PanelAnchor::bottomLeft, PanelAnchor::bottom,
        PanelAnchor::bottomRight };
}

std::optional<PanelAnchor> panelAnchorFromRawValue(const QString &raw)
{
    for (PanelAnchor anchor : allPanelAnchors()) {
        if (panelAnchorRawValue(anchor) == raw)
            return anchor;
    }
    return std::nullopt;
}

Settings::Settings(Defaults &defaults, QObject *parent)
    : QObject(parent)
    , m_defaults(defaults)
{
    QVariantMap registered;
    for (const Entry &entry : table())
        registered.insert(QLatin1String(entry.key), entry.fallback);
    defaults.registerDefaults(registered);
    for (const Entry &entry : table()) {
        const QString key = QLatin1String(entry.key);
        QVariant stored;
        switch (entry.type) {
        case Type::integer:
            stored = defaults.integer(key);
            break;
        case Type::boolean:
            stored = defaults.boolean(key);
            break;
        case Type::anchor:
            stored = defaults.string(key);
            break;
        case Type::stringList:
            stored = defaults.object(key);
            break;
        }
        m_values[size_t(entry.setting)] = withinRange(entry, stored);
    }
}

QVariant Settings::fallback(Key key)
{
    return entry(key).fallback;
}

PanelAnchor Settings::panelAnchor() const
{
    const std::optional<PanelAnchor> anchor
        = panelAnchorFromRawValue(value(Key::panelAnchor).toString());
    Q_ASSERT(anchor); // held only as a known name
    return *anchor;
}

void Settings::write(Key key, const QVariant &value)
{
    const Entry &setting = entry(key);
    m_values[size_t(key)] = withinRange(setting, value);
    m_defaults.setObject(QLatin1String(setting.key), m_values[size_t(key)]);
    emit settingsDidChange();
}

void Settings::setMaxAgeHours(qint64 hours)
{
    write(Key::maxAgeHours, hours);
}

void Settings::setMaxClipCount(qint64 count)
{
    write(Key::maxClipCount, count);
}

void Settings::setMaxClipBytes(qint64 bytes)
{
    write(Key::maxClipBytes, bytes);
}

void Settings::setMaxTotalBytes(qint64 bytes)
{
    write(Key::maxTotalBytes, bytes);
}

void Settings::setPanelAnchor(PanelAnchor anchor)
{
    write(Key::panelAnchor, panelAnchorRawValue(anchor));
}

void Settings::setAlwaysVisible(bool visible)
{
    write(Key::alwaysVisible, visible);
}

void Settings::setKeepClipboardAlive(bool keep)
{
    write(Key::keepClipboardAlive, keep);
}

void Settings::setPasteAfterChoosing(bool paste)
{
    write(Key::pasteAfterChoosing, paste);
}
