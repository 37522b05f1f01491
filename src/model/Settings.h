// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>
#include <optional>

class Defaults;

enum class PanelAnchor { topLeft, top, topRight, left, right, bottomLeft, bottom, bottomRight };

QString panelAnchorRawValue(PanelAnchor anchor);
std::optional<PanelAnchor> panelAnchorFromRawValue(const QString &raw);
QList<PanelAnchor> allPanelAnchors();

// The user's choices, read once at creation and held in memory. Each setter
// writes through to the defaults store and announces the change. Reading and
// writing go through one table of keys, fallbacks and ranges.
class Settings : public QObject
{
    Q_OBJECT
public:
    // Each setting of the table, in its order.
    enum class Key {
        maxAgeHours,
        maxClipCount,
        maxClipBytes,
        maxTotalBytes,
        panelAnchor,
        alwaysVisible,
        keepClipboardAlive,
        pasteAfterChoosing,
        terminalClasses,
    };
    static constexpr size_t keyCount = size_t(Key::terminalClasses) + 1;

    explicit Settings(Defaults &defaults, QObject *parent = nullptr);

    Defaults &defaults() const { return m_defaults; }
    // The value a setting has while the user never chose one, as stored.
    static QVariant fallback(Key key);

    qint64 maxAgeHours() const { return value(Key::maxAgeHours).toLongLong(); }
    qint64 maxClipCount() const { return value(Key::maxClipCount).toLongLong(); }
    qint64 maxClipBytes() const { return value(Key::maxClipBytes).toLongLong(); }
    qint64 maxTotalBytes() const { return value(Key::maxTotalBytes).toLongLong(); }
    PanelAnchor panelAnchor() const;
    bool alwaysVisible() const { return value(Key::alwaysVisible).toBool(); }
    // Offer the newest clip again when the program that copied it quits.
    bool keepClipboardAlive() const { return value(Key::keepClipboardAlive).toBool(); }
    // Press the paste keys in the window the keyboard goes back to after a choice.
    bool pasteAfterChoosing() const { return value(Key::pasteAfterChoosing).toBool(); }
    // The user's own additions to the terminals that paste with Ctrl+Shift+V;
    // set in the settings file only.
    QStringList terminalClasses() const { return value(Key::terminalClasses).toStringList(); }

    void setMaxAgeHours(qint64 hours);
    void setMaxClipCount(qint64 count);
    void setMaxClipBytes(qint64 bytes);
    void setMaxTotalBytes(qint64 bytes);
    void setPanelAnchor(PanelAnchor anchor);
    void setAlwaysVisible(bool visible);
    void setKeepClipboardAlive(bool keep);
    void setPasteAfterChoosing(bool paste);

signals:
    void settingsDidChange();

private:
    const QVariant &value(Key key) const { return m_values[size_t(key)]; }
    void write(Key key, const QVariant &value);

    Defaults &m_defaults;
    // Each setting as stored, already within its range.
    std::array<QVariant, keyCount> m_values;
};
