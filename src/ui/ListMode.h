#pragma once

// Which clips the history list shows.
enum class ListMode { all, pinned };
