// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Clip.h"
#include "sync/SyncEvent.h"

#include <QHash>
#include <QSet>
#include <QString>

// The shared part of the history as a function of the set of events read
// from every machine's journal, ours included: each field of a clip is
// decided by comparing stamps, never by the order the events came in, so
// every machine that has read the same lines holds the same result.
class MergedHistory
{
public:
    struct Entry
    {
        // The put with the highest stamp, and the image it names.
        Clip clip;
        QString image;
        SyncStamp content;
        // The machine of the lowest put: where the clip came from.
        SyncStamp first;
        bool kept = false;
        SyncStamp keep;
        // The highest put or keep mark that set it: what keeps it alive.
        SyncStamp live;
        // The highest stamp any tombstone forgot it at.
        SyncStamp tomb;

        bool hasContent() const { return !content.isNull(); }
        // Some put or keep came after everything that forgot it.
        bool present() const { return hasContent() && !live.isNull() && tomb < live; }
    };

    void apply(const SyncEvent &event);
    // The keys whose entry changed since the last call.
    QSet<QString> takeChanged();

    const Entry *entry(const QString &key) const;
    const QHash<QString, Entry> &entries() const { return m_entries; }
    // How many present clips each machine first put.
    QHash<QByteArray, int> clipsByOrigin() const;

private:
    QHash<QString, Entry> m_entries;
    QSet<QString> m_changed;
};
