// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/MergedHistory.h"

void MergedHistory::apply(const SyncEvent &event)
{
    const auto raise = [](SyncStamp &field, const SyncStamp &stamp) {
        if (field.isNull() || field < stamp) {
            field = stamp;
            return true;
        }
        return false;
    };
    switch (event.op) {
    case SyncEvent::Op::hello:
        return;
    case SyncEvent::Op::put: {
        Entry &entry = m_entries[event.key];
        if (raise(entry.content, event.stamp)) {
            entry.clip = event.clip;
            entry.image = event.image;
        }
        if (entry.first.isNull() || event.stamp < entry.first)
            entry.first = event.stamp;
        raise(entry.live, event.stamp);
        break;
    }
    case SyncEvent::Op::keep: {
        Entry &entry = m_entries[event.key];
        if (raise(entry.keep, event.stamp))
            entry.kept = event.kept;
        if (event.kept)
            raise(entry.live, event.stamp);
        break;
    }
    case SyncEvent::Op::forget:
        for (const SyncEvent::Gone &gone : event.gone) {
            raise(m_entries[gone.key].tomb, gone.seen);
            m_changed.insert(gone.key);
        }
        return;
    }
    m_changed.insert(event.key);
}

QSet<QString> MergedHistory::takeChanged()
{
    return std::exchange(m_changed, {});
}

const MergedHistory::Entry *MergedHistory::entry(const QString &key) const
{
    const auto it = m_entries.constFind(key);
    return it == m_entries.cend() ? nullptr : &*it;
}

QHash<QByteArray, int> MergedHistory::clipsByOrigin() const
{
    QHash<QByteArray, int> counts;
    for (const Entry &entry : m_entries) {
        if (entry.present())
            ++counts[entry.first.machine];
    }
    return counts;
}
