#pragma once

#include <QByteArray>

#include <chrono>

// Outcome of asking the clipboard owner for one type of its contents.
enum class ClipboardReadStatus {
    ok,
    // The owner answered that it cannot convert to this target.
    refused,
    // The bytes would exceed what the reader may fetch; the rest was not read.
    overBudget,
    // The owner did not answer within the deadline (stopped or too slow).
    timedOut,
    // A newer owner took the clipboard, or the reader is shutting down.
    interrupted,
};

struct ClipboardRead
{
    ClipboardReadStatus status = ClipboardReadStatus::refused;
    QByteArray data;
};

// How long a reader waits on another program's clipboard: each request may
// go this long without progress, and one copy's whole read no longer.
namespace ClipboardReadLimits {
inline constexpr std::chrono::milliseconds requestDeadline { 1000 };
inline constexpr std::chrono::milliseconds fetchDeadline { 4000 };
} // namespace ClipboardReadLimits
