#pragma once

#include <QByteArray>

// Outcome of asking the clipboard owner for one target.
enum class X11ReadStatus {
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

struct X11TargetRead
{
    X11ReadStatus status = X11ReadStatus::refused;
    QByteArray data;
    // The property's format: 8, 16 or 32 bits per item.
    int format = 0;
};
