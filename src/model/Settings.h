// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <optional>

class Defaults;

enum class PanelAnchor { topLeft, top, topRight, left, right, bottomLeft, bottom, bottomRight };

QString panelAnchorRawValue(PanelAnchor anchor);
std::optional<PanelAnchor> panelAnchorFromRawValue(const QString &raw);
QList<PanelAnchor> allPanelAnchors();

// The user's choices, read once at creation and held in memory. Each setter
// writes through to the defaults store and announces the change.
class Settings : public QObject
{
    Q_OBJECT
public:
    explicit Settings(Defaults &defaults, QObject *parent = nullptr);

    Defaults &defaults() const { return m_defaults; }

    qint64 maxAgeHours() const { return m_maxAgeHours; }
    qint64 maxClipCount() const { return m_maxClipCount; }
    qint64 maxClipBytes() const { return m_maxClipBytes; }
    qint64 maxTotalBytes() const { return m_maxTotalBytes; }
    PanelAnchor panelAnchor() const { return m_panelAnchor; }
    bool alwaysVisible() const { return m_alwaysVisible; }
    // Offer the newest clip again when the program that copied it quits.
    bool keepClipboardAlive() const { return m_keepClipboardAlive; }

    void setMaxAgeHours(qint64 hours);
    void setMaxClipCount(qint64 count);
    void setMaxClipBytes(qint64 bytes);
    void setMaxTotalBytes(qint64 bytes);
    void setPanelAnchor(PanelAnchor anchor);
    void setAlwaysVisible(bool visible);
    void setKeepClipboardAlive(bool keep);

signals:
    void settingsDidChange();

private:
    void write(const char *key, const QVariant &value);

    Defaults &m_defaults;
    qint64 m_maxAgeHours = 0;
    qint64 m_maxClipCount = 0;
    qint64 m_maxClipBytes = 0;
    qint64 m_maxTotalBytes = 0;
    PanelAnchor m_panelAnchor = PanelAnchor::right;
    bool m_alwaysVisible = false;
    bool m_keepClipboardAlive = true;
};
