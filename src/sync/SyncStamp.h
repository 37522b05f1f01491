// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <tuple>

// A hybrid logical clock's reading: wall time, a counter for events within
// one millisecond, and the machine that made it, compared in that order. No
// two machines share an id, so no two stamps are equal.
struct SyncStamp
{
    qint64 wall = 0; // milliseconds since the epoch
    quint32 counter = 0;
    QByteArray machine;

    bool isNull() const { return wall == 0 && counter == 0 && machine.isEmpty(); }
    friend bool operator==(const SyncStamp &, const SyncStamp &) = default;
    friend bool operator<(const SyncStamp &a, const SyncStamp &b)
    {
        return std::tie(a.wall, a.counter, a.machine) < std::tie(b.wall, b.counter, b.machine);
    }
    friend bool operator>(const SyncStamp &a, const SyncStamp &b) { return b < a; }
};
