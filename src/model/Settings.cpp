// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/Settings.h"

#include "model/Defaults.h"
#include "model/SettingsKeys.h"

#include <algorithm>

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
    defaults.registerDefaults(SettingsKeys::registeredDefaults());
    m_maxAgeHours = defaults.integer(QLatin1String(SettingsKeys::maxAgeHours));
    m_maxClipCount
        = std::max<qint64>(1, defaults.integer(QLatin1String(SettingsKeys::maxClipCount)));
    m_maxClipBytes
        = std::max<qint64>(1, defaults.integer(QLatin1String(SettingsKeys::maxClipBytes)));
    m_maxTotalBytes
        = std::max<qint64>(0, defaults.integer(QLatin1String(SettingsKeys::maxTotalBytes)));
    m_panelAnchor
        = panelAnchorFromRawValue(defaults.string(QLatin1String(SettingsKeys::panelAnchor)))
              .value_or(PanelAnchor::right);
    m_alwaysVisible = defaults.boolean(QLatin1String(SettingsKeys::alwaysVisible));
    m_keepClipboardAlive = defaults.boolean(QLatin1String(SettingsKeys::keepClipboardAlive));
}

void Settings::write(const char *key, const QVariant &value)
{
    m_defaults.setObject(QLatin1String(key), value);
    emit settingsDidChange();
}

void Settings::setMaxAgeHours(qint64 hours)
{
    m_maxAgeHours = hours;
    write(SettingsKeys::maxAgeHours, m_maxAgeHours);
}

void Settings::setMaxClipCount(qint64 count)
{
    m_maxClipCount = std::max<qint64>(1, count);
    write(SettingsKeys::maxClipCount, m_maxClipCount);
}

void Settings::setMaxClipBytes(qint64 bytes)
{
    m_maxClipBytes = std::max<qint64>(1, bytes);
    write(SettingsKeys::maxClipBytes, m_maxClipBytes);
}

void Settings::setMaxTotalBytes(qint64 bytes)
{
    m_maxTotalBytes = std::max<qint64>(0, bytes);
    write(SettingsKeys::maxTotalBytes, m_maxTotalBytes);
}

void Settings::setPanelAnchor(PanelAnchor anchor)
{
    m_panelAnchor = anchor;
    write(SettingsKeys::panelAnchor, panelAnchorRawValue(anchor));
}

void Settings::setAlwaysVisible(bool visible)
{
    m_alwaysVisible = visible;
    write(SettingsKeys::alwaysVisible, visible);
}

void Settings::setKeepClipboardAlive(bool keep)
{
    m_keepClipboardAlive = keep;
    write(SettingsKeys::keepClipboardAlive, keep);
}
