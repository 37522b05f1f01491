// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <functional>
#include <optional>

// Reports left and right button presses anywhere on the desktop, including
// over the program's own windows; the receiver hit-tests the pointer itself.
class MouseMonitor
{
public:
    using Token = quint64;

    virtual ~MouseMonitor() = default;

    // Absent when presses cannot be watched.
    virtual std::optional<Token> addGlobalMonitor(std::function<void()> handler) = 0;
    virtual void removeMonitor(Token token) = 0;
};
