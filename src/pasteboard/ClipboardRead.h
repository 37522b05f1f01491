// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

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
    // X11's property format: 8, 16 or 32 bits per item (0 where none).
    int format = 0;
};
