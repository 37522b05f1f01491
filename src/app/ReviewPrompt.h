// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

class Defaults;

// Counts openings of the preferences window and of the panel by a global
// shortcut, and asks for a review the first time a count reaches one of its
// thresholds. There is no store to ask on this desktop: the request is only
// announced through reviewRequested().
class ReviewPrompt : public QObject
{
    Q_OBJECT
public:
    explicit ReviewPrompt(Defaults &defaults, QObject *parent = nullptr);

    static const QList<qint64> &settingsThresholds();
    static const QList<qint64> &hotkeyThresholds();

    // `anchor` is the view a request would be presented from, or none.
    void recordSettingsOpen(QWidget *anchor);
    void recordHotkeyPanelOpen(QWidget *anchor);
    void recordOpen(const QString &counterKey, const QString &firedKey,
        const QList<qint64> &thresholds, QWidget *anchor);

    // The thresholds already used under `firedKey`; anything that is not a
    // list of integers reads as none.
    QList<qint64> firedThresholds(const QString &firedKey) const;

signals:
    // With an anchor the request comes one event-loop turn later (and only
    // while the anchor exists), without one at once.
    void reviewRequested(QWidget *anchor);

private:
    Defaults &m_defaults;
};
