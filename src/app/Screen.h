// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/ScreenRect.h"

// One monitor: its whole area and the part not taken by panels and docks.
struct Screen
{
    ScreenRect frame;
    ScreenRect visibleFrame;

    friend bool operator==(const Screen &, const Screen &) = default;
};
