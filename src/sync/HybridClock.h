// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncStamp.h"

#include <functional>

// Stamps this machine's changes so that a change made after seeing another
// orders after it, whatever the wall clocks of the two machines say: each
// stamp is past the wall time, past every earlier stamp of ours and past
// every stamp observed from the others.
class HybridClock
{
public:
    using WallClock = std::function<qint64()>;

    // `wallMs` reads the wall clock in milliseconds; empty for the system's.
    explicit HybridClock(QByteArray machine, WallClock wallMs = {});

    SyncStamp next();
    // A stamp read from another machine (or our own, read back at start).
    void observe(const SyncStamp &stamp);

private:
    QByteArray m_machine;
    WallClock m_wallMs;
    qint64 m_wall = 0;
    quint32 m_counter = 0;
};
