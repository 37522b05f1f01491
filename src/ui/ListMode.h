// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Which clips the history list shows.
enum class ListMode { all, pinned };
