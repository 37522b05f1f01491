// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/RunningWindow.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <optional>

class Notifier;
class PasteKeys;
class Settings;

// "Paste after choosing": once the window a choice hands the keyboard back
// to really has it again, presses the paste keys there, and does nothing
// after. The wait never blocks the event loop and gives up after a second;
// keys never go to one of our windows, to another window or to none. When
// the keys cannot be pressed the choice stands and the user is told, once.
class PasteAfterChoosing : public QObject
{
    Q_OBJECT
public:
    // Without `keys` the desktop offers no way to press them.
    PasteAfterChoosing(
        Settings &settings, PasteKeys *keys, Notifier &notifier, QObject *parent = nullptr);

    // Why the setting cannot work here, in the user's words; empty when it can.
    QString unavailableReason() const;
    // After a choice: waits for `target` to have the keyboard and pastes,
    // when the setting is on. A new choice replaces a wait under way.
    void pasteInto(const std::optional<RunningWindow> &target);
    // Gives up a wait under way without a word: the user went on to
    // something else (the panel opened again), and keys pressed then would
    // land in the panel's moment or in another window.
    void cancel() { m_poll.stop(); }
    bool isWaiting() const { return m_poll.isActive(); }

signals:
    // The chord was pressed in the target, or it could not be.
    void finished(bool pressed);

private:
    void poll();
    void fail(const QString &reason);

    Settings &m_settings;
    PasteKeys *m_keys;
    Notifier &m_notifier;
    QTimer m_poll;
    QDeadlineTimer m_deadline;
    RunningWindow m_target;
};
