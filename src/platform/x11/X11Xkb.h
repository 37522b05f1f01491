// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// xcb/xkb.h names a struct member "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
