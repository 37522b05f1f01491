// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHashFunctions>
#include <QPointer>
#include <QSet>
#include <QString>

class QSystemTrayIcon;

// Tells the user about a failure they have to act on: as a tray message, or
// in a small window when there is no tray, and always in the log. Each
// failure has a key and is told once, until it is resolved. Tests derive from
// it to see what would have been shown.
class Notifier
{
public:
    // What a failure is about.
    enum class Topic {
        save,
        archiveSetAside,
        journalSetAside,
        foreignItem,
        shortcutTaken,
        clipboardUnavailable,
        shortcutsUnavailable,
        noTray,
        noSessionBus,
        mailUnavailable,
        imageMissing,
        sharing,
        pasteFailed,
    };
    // A topic, and for one that concerns one thing of several (a file, a
    // shortcut) which one, so that each is told once of its own.
    struct Key
    {
        Key(Topic about, const QString &which = QString())
            : topic(about)
            , subject(which)
        {
        }
        friend bool operator==(const Key &, const Key &) = default;
        friend size_t qHash(const Key &key, size_t seed = 0)
        {
            return qHashMulti(seed, int(key.topic), key.subject);
        }

        Topic topic;
        QString subject;
    };

    Notifier() = default;
    virtual ~Notifier();
    Notifier(const Notifier &) = delete;
    Notifier &operator=(const Notifier &) = delete;

    // Messages go to this icon while it is shown; without one they get a window.
    void setTrayIcon(QSystemTrayIcon *icon);

    // Shows the failure unless the same key is already outstanding.
    void report(const Key &key, const QString &title, const QString &message);
    // The failure is over. When it had been shown and `message` is not empty,
    // the user is told that too. True when the key was outstanding.
    bool resolve(
        const Key &key, const QString &title = QString(), const QString &message = QString());

protected:
    virtual void show(const QString &title, const QString &message, bool problem);

private:
    QPointer<QSystemTrayIcon> m_trayIcon;
    QSet<Key> m_outstanding;
};
