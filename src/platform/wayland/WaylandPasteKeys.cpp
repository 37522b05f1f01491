// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandPasteKeys.h"

#include "platform/wayland/WaylandWorkspace.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <QElapsedTimer>

#include <wayland-client.h>

#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The keys of the chord, by evdev code, and the keymap that reads them: the
// keymap's codes are the evdev ones plus 8.
constexpr uint32_t keyLeftCtrl = 29;
constexpr uint32_t keyLeftShift = 42;
constexpr uint32_t keyV = 47;
constexpr uint32_t shiftMask = 1u << 0;
constexpr uint32_t controlMask = 1u << 2;

constexpr char keymap[] = R"(xkb_keymap {
xkb_keycodes "quillstack" {
    minimum = 8;
    maximum = 255;
    <LCTL> = 37;
    <LFSH> = 50;
    <AB04> = 55;
};
xkb_types "quillstack" {
    type "ONE_LEVEL" {
        modifiers = none;
        level_name[Level1] = "Any";
    };
    type "ALPHABETIC" {
        modifiers = Shift+Lock;
        map[Shift] = Level2;
        map[Lock] = Level2;
        level_name[Level1] = "Base";
        level_name[Level2] = "Caps";
    };
};
xkb_compatibility "quillstack" {
    interpret Any+AnyOf(all) {
        action = SetMods(modifiers=modMapMods,clearLocks);
    };
};
xkb_symbols "quillstack" {
    key <LCTL> { type = "ONE_LEVEL", [ Control_L ] };
    key <LFSH> { type = "ONE_LEVEL", [ Shift_L ] };
    key <AB04> { type = "ALPHABETIC", [ v, V ] };
    modifier_map Control { <LCTL> };
    modifier_map Shift { <LFSH> };
};
};
)";

// Milliseconds for key events; programs compare them, never read the clock.
uint32_t now()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return uint32_t(clock.elapsed());
}

} // namespace

struct WaylandPasteKeys::Listeners
{
    static void global(
        void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t)
    {
        auto *self = static_cast<WaylandPasteKeys *>(data);
        if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->m_seat) {
            self->m_seat
                = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0
            && !self->m_manager) {
            self->m_manager = static_cast<zwp_virtual_keyboard_manager_v1 *>(
                wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
        }
    }
    static void globalRemove(void *, wl_registry *, uint32_t) { }
    static constexpr wl_registry_listener registryListener { global, globalRemove };
};

WaylandPasteKeys::WaylandPasteKeys(WaylandWorkspace &workspace, QObject *parent)
    : PasteKeys(parent)
    , m_workspace(workspace)
{
    m_unavailable = qtTrId("paste.unavailable.virtualKeyboard");
    if (!m_workspace.isOpen())
        return;
    m_display = wl_display_connect(nullptr);
    if (!m_display)
        return;
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &Listeners::registryListener, this);
    wl_display_roundtrip(m_display);
    if (!m_seat || !m_manager)
        return;
    m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(m_manager, m_seat);
    // A compositor that refuses us ends the connection with an error.
    if (!uploadKeymap() || wl_display_roundtrip(m_display) < 0)
        return;
    m_unavailable.clear();
}

WaylandPasteKeys::~WaylandPasteKeys()
{
    if (!m_display)
        return;
    if (m_keyboard)
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
    if (m_manager)
        wl_proxy_destroy(reinterpret_cast<wl_proxy *>(m_manager));
    if (m_seat)
        wl_proxy_destroy(reinterpret_cast<wl_proxy *>(m_seat));
    if (m_registry)
        wl_registry_destroy(m_registry);
    wl_display_disconnect(m_display);
}

bool WaylandPasteKeys::uploadKeymap()
{
    const int fd = memfd_create("quillstack-keymap", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return false;
    // The size the compositor maps counts the closing NUL.
    const bool written = ::write(fd, keymap, sizeof keymap) == ssize_t(sizeof keymap);
    if (written) {
        ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE);
        zwp_virtual_keyboard_v1_keymap(
            m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(sizeof keymap));
    }
    ::close(fd);
    return written;
}

std::optional<PasteKeys::Focus> WaylandPasteKeys::keyboardFocus()
{
    if (!m_unavailable.isEmpty())
        return std::nullopt;
    const std::optional<WaylandWorkspace::Activated> activated = m_workspace.activatedWindow();
    if (!activated)
        return std::nullopt;
    return Focus { activated->window, { activated->appId }, activated->ours };
}

bool WaylandPasteKeys::press(PasteChord chord, QString *error)
{
    if (!m_unavailable.isEmpty()) {
        *error = m_unavailable;
        return false;
    }
    const bool shift = chord == PasteChord::ctrlShiftV;
    const uint32_t mods = controlMask | (shift ? shiftMask : 0);
    zwp_virtual_keyboard_v1_key(m_keyboard, now(), keyLeftCtrl, WL_KEYBOARD_KEY_STATE_PRESSED);
    if (shift)
        zwp_virtual_keyboard_v1_key(m_keyboard, now(), keyLeftShift, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_modifiers(m_keyboard, mods, 0, 0, 0);
    zwp_virtual_keyboard_v1_key(m_keyboard, now(), keyV, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(m_keyboard, now(), keyV, WL_KEYBOARD_KEY_STATE_RELEASED);
    if (shift)
        zwp_virtual_keyboard_v1_key(
            m_keyboard, now(), keyLeftShift, WL_KEYBOARD_KEY_STATE_RELEASED);
    zwp_virtual_keyboard_v1_key(m_keyboard, now(), keyLeftCtrl, WL_KEYBOARD_KEY_STATE_RELEASED);
    zwp_virtual_keyboard_v1_modifiers(m_keyboard, 0, 0, 0, 0);
    if (wl_display_roundtrip(m_display) < 0) {
        *error = m_unavailable = qtTrId("paste.unavailable.virtualKeyboard");
        return false;
    }
    return true;
}
