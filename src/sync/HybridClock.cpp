// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/HybridClock.h"

#include <QDateTime>

#include <algorithm>

HybridClock::HybridClock(QByteArray machine, WallClock wallMs)
    : m_machine(std::move(machine))
    , m_wallMs(std::move(wallMs))
{
}

SyncStamp HybridClock::next()
{
    const qint64 now = m_wallMs ? m_wallMs() : QDateTime::currentMSecsSinceEpoch();
    if (now > m_wall) {
        m_wall = now;
        m_counter = 0;
    } else {
        ++m_counter;
    }
    return SyncStamp { m_wall, m_counter, m_machine };
}

void HybridClock::observe(const SyncStamp &stamp)
{
    if (stamp.wall > m_wall) {
        m_wall = stamp.wall;
        m_counter = stamp.counter;
    } else if (stamp.wall == m_wall) {
        m_counter = std::max(m_counter, stamp.counter);
    }
}
