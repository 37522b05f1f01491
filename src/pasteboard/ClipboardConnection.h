// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A reader thread's own connection to the display server, as starting and
// stopping the reader see it.
class ClipboardConnection
{
public:
    ClipboardConnection() = default;
    virtual ~ClipboardConnection() = default;
    ClipboardConnection(const ClipboardConnection &) = delete;
    ClipboardConnection &operator=(const ClipboardConnection &) = delete;

    // False, with the reason, when the server cannot be reached.
    virtual bool open(QString *errorMessage) = 0;
    // Ends the reader thread's wait soon; called from another thread.
    virtual void requestStop() = 0;
};
