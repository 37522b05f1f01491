// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <optional>

// Another program's window that had the keyboard, to hand it back later.
struct RunningWindow
{
    quint64 windowId = 0;
    // The owner's process id, when the window announces it.
    std::optional<qint64> processId;

    friend bool operator==(const RunningWindow &, const RunningWindow &) = default;
};
