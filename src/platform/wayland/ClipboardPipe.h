// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pasteboard/ClipboardRead.h"

#include <QtGlobal>

#include <chrono>
#include <functional>

// What an owner writes into a pipe for one type, read on a reader thread
// with the shared deadlines (ClipboardReading) and a byte budget. Wayland's
// data-control and the GNOME Shell companion both hand copies over this way.
class ClipboardPipe
{
public:
    using Clock = std::chrono::steady_clock;

    struct Waits
    {
        // Waits until fd is ready or the deadline passes (doing whatever
        // else the reader thread must meanwhile); answers fd's poll flags,
        // 0 when it is not ready.
        std::function<short(int fd, Clock::time_point deadline)> poll;
        // The read is to end now: a newer copy must go first, or shutdown.
        std::function<bool()> interrupted;
        // How long the owner may go without sending now.
        std::function<std::chrono::milliseconds()> stallLimit;
    };

    // Opens the pipe; our end, fds[0], never blocks (owners write as into any
    // pipe, and many stop at the first EAGAIN, leaving a large copy cut short).
    static bool open(int fds[2]);
    // Reads fd to its end and closes it. Each wait for data ends after the
    // stall limit without progress, the whole transfer after the allowance
    // for what it has received so far.
    static ClipboardRead read(int fd, qint64 budget, const Waits &waits);

    // An older read whose owner goes quiet this long after a newer copy
    // arrived is given up, so the newer copy is not kept waiting.
    static constexpr std::chrono::milliseconds supersededStall { 150 };
};
