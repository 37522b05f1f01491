// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pasteboard/Pasteboard.h"
#include "platform/x11/X11OwnerChange.h"

// Finished read of one owner's contents, handed from the reader thread to the
// pasteboard on the main thread.
struct X11ClipboardSnapshot
{
    X11OwnerChange change;
    PasteboardContents contents;
};
