// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Clip.h"

#include <QList>

// A change the user (or capture) made to the history, as the store saved it;
// for those who follow the history's changes rather than its state.
struct StoreChange
{
    enum class Kind {
        added,
        copiedAgain,
        edited,
        kept, // or unkept: the clip's mark says which
        deleted,
        limited, // dropped by the age, count or size limits
        cleared,
    };
    Kind kind = Kind::added;
    // The clip as it is now, or the clips removed.
    QList<Clip> clips;
};
