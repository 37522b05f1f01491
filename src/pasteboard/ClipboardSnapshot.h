// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pasteboard/Pasteboard.h"

// Finished read of one copy, handed from a reader thread to the pasteboard on
// the main thread.
struct ClipboardSnapshot
{
    PasteboardContents contents;
    // The reader's own-write epoch when the copy was announced; a snapshot
    // from an older epoch was overtaken by our write.
    quint64 epoch = 0;
    // The contents found at start-up rather than a change.
    bool initial = false;
    // The clipboard is empty because the program that owned it quit.
    bool ownerQuit = false;
    // Where the copy came from, in the back end's terms: the owner's window
    // on X11, the selection's place among all the compositor announced on
    // Wayland.
    quint64 origin = 0;
};
