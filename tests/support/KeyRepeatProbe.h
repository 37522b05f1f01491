// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "globalhotkeys/Key.h"

#include <QHash>

struct xcb_connection_t;

// Counts the presses the X server repeats while a key is held, through
// XInput 2 on the root window of a connection of its own: they reach it even
// while another client's grab takes the key, so a test knows the grabbing
// client has been sent repeats without waiting a fixed time.
class KeyRepeatProbe
{
public:
    KeyRepeatProbe();
    ~KeyRepeatProbe();
    KeyRepeatProbe(const KeyRepeatProbe &) = delete;
    KeyRepeatProbe &operator=(const KeyRepeatProbe &) = delete;

    bool isValid() const;
    // The repeated presses of the key that have arrived so far.
    int repeatsOf(GlobalHotkeys::Key key);

private:
    xcb_connection_t *m_connection = nullptr;
    QHash<int, int> m_repeats; // by X keycode
};
