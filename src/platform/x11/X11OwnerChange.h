// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// One CLIPBOARD owner change as the reader thread saw it.
struct X11OwnerChange
{
    quint32 owner = 0; // XCB_NONE when the owner went away
    quint32 time = 0; // server time of the change, used for the conversion requests
    // The pasteboard's own-write epoch when the change was taken from the
    // event stream; a snapshot from an older epoch was overtaken by our write.
    quint64 epoch = 0;
    // The contents found at start-up rather than a change.
    bool initial = false;
    // The owner's window or connection went away (it quit), as opposed to a
    // program setting a new owner or clearing the clipboard on purpose.
    bool ownerQuit = false;
};
