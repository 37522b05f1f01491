// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/PasteChord.h"

#include <QList>

#include <xkbcommon/xkbcommon.h>

#include <optional>

// How a paste chord becomes key presses on an X server: which keys of the
// current layout type Control, Shift and V, and in which order they go down
// and up.
namespace X11KeyChord {

struct KeyEvent
{
    xkb_keycode_t keycode = 0;
    bool press = false;
    friend bool operator==(const KeyEvent &, const KeyEvent &) = default;
};

struct Keys
{
    xkb_keycode_t control = 0;
    xkb_keycode_t shift = 0;
    xkb_keycode_t v = 0;
};

// The key that types `keysym` with no modifier in the layout `group`, else
// in another layout of the keymap (programs match Ctrl+V there too when the
// active one has no Latin letters); absent when no key does.
std::optional<xkb_keycode_t> keycodeFor(
    xkb_keymap *keymap, xkb_layout_index_t group, xkb_keysym_t keysym);
// The chord's keys in the keymap, absent when one is missing.
std::optional<Keys> keysFor(xkb_keymap *keymap, xkb_layout_index_t group);

// The events that press and release `chord`. Modifier keys the user still
// holds (`held`) are released first, or a held Alt would turn Ctrl+V into
// Ctrl+Alt+V; they are not pressed again afterwards, since the user's own
// release of the key would then be missing.
QList<KeyEvent> chordEvents(PasteChord chord, const Keys &keys, const QList<xkb_keycode_t> &held);

} // namespace X11KeyChord
