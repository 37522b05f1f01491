// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11KeyChord.h"

#include <xkbcommon/xkbcommon-keysyms.h>

namespace X11KeyChord {

namespace {

std::optional<xkb_keycode_t> keycodeInGroup(
    xkb_keymap *keymap, xkb_layout_index_t group, xkb_keysym_t keysym)
{
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap);
    for (xkb_keycode_t keycode = xkb_keymap_min_keycode(keymap); keycode <= last; ++keycode) {
        if (group >= xkb_keymap_num_layouts_for_key(keymap, keycode))
            continue;
        const xkb_keysym_t *syms = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(keymap, keycode, group, 0, &syms);
        if (count == 1 && syms[0] == keysym)
            return keycode;
    }
    return std::nullopt;
}

} // namespace

std::optional<xkb_keycode_t> keycodeFor(
    xkb_keymap *keymap, xkb_layout_index_t group, xkb_keysym_t keysym)
{
    if (!keymap)
        return std::nullopt;
    if (const std::optional<xkb_keycode_t> found = keycodeInGroup(keymap, group, keysym))
        return found;
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts(keymap);
    for (xkb_layout_index_t other = 0; other < layouts; ++other) {
        if (other == group)
            continue;
        if (const std::optional<xkb_keycode_t> found = keycodeInGroup(keymap, other, keysym))
            return found;
    }
    return std::nullopt;
}

std::optional<Keys> keysFor(xkb_keymap *keymap, xkb_layout_index_t group)
{
    std::optional<xkb_keycode_t> control = keycodeFor(keymap, group, XKB_KEY_Control_L);
    if (!control)
        control = keycodeFor(keymap, group, XKB_KEY_Control_R);
    std::optional<xkb_keycode_t> shift = keycodeFor(keymap, group, XKB_KEY_Shift_L);
    if (!shift)
        shift = keycodeFor(keymap, group, XKB_KEY_Shift_R);
    const std::optional<xkb_keycode_t> v = keycodeFor(keymap, group, XKB_KEY_v);
    if (!control || !shift || !v)
        return std::nullopt;
    return Keys { *control, *shift, *v };
}

QList<KeyEvent> chordEvents(PasteChord chord, const Keys &keys, const QList<xkb_keycode_t> &held)
{
    QList<KeyEvent> events;
    for (xkb_keycode_t keycode : held)
        events.append({ keycode, false });
    QList<xkb_keycode_t> down { keys.control };
    if (chord == PasteChord::ctrlShiftV)
        down.append(keys.shift);
    down.append(keys.v);
    for (xkb_keycode_t keycode : down)
        events.append({ keycode, true });
    for (auto it = down.crbegin(); it != down.crend(); ++it)
        events.append({ *it, false });
    return events;
}

} // namespace X11KeyChord
