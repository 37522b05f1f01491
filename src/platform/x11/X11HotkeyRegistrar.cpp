// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11HotkeyRegistrar.h"

#include "platform/x11/X11Xcb.h"
#include "platform/x11/X11Xkb.h"

#include "globalhotkeys/KeyCodeTable.h"
#include "globalhotkeys/Shortcut.h"

#include <QSocketNotifier>
#include <QTimer>

#include <array>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {

// Our answer for a shortcut X cannot grab: a key no PC keyboard has, or the
// Fn modifier, which never reaches X.
constexpr int badValue = XCB_VALUE;

// A grab must hold whatever the lock keys are: once plain, then with Num
// Lock (Mod2), Caps Lock, and both.
constexpr std::array<uint16_t, 4> lockVariants = {
    0,
    XCB_MOD_MASK_2,
    XCB_MOD_MASK_LOCK,
    XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK,
};

// Ctrl, Alt (Mod1), Shift and Super (Mod4), as the usual keymaps assign them.
constexpr uint16_t shortcutModifierMask
    = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4;

template<typename T> using Reply = X11Xcb::Reply<T>;

std::optional<uint16_t> xModifiers(const GlobalHotkeys::Shortcut &shortcut)
{
    using GlobalHotkeys::ModifierFlag;
    const GlobalHotkeys::ModifierFlags flags = shortcut.modifiers();
    if (flags.testFlag(ModifierFlag::function))
        return std::nullopt;
    uint16_t modifiers = 0;
    if (flags.testFlag(ModifierFlag::command))
        modifiers |= XCB_MOD_MASK_CONTROL;
    if (flags.testFlag(ModifierFlag::option))
        modifiers |= XCB_MOD_MASK_1;
    if (flags.testFlag(ModifierFlag::shift))
        modifiers |= XCB_MOD_MASK_SHIFT;
    if (flags.testFlag(ModifierFlag::control))
        modifiers |= XCB_MOD_MASK_4;
    return modifiers;
}

} // namespace

X11HotkeyRegistrar::X11HotkeyRegistrar(const QByteArray &displayName, QObject *parent)
    : HotkeyRegistrar(parent)
{
    const X11Xcb::Opened opened
        = X11Xcb::open(displayName.isEmpty() ? nullptr : displayName.constData());
    m_connection = opened.connection;
    if (!opened.screen)
        return;
    m_root = opened.screen->root;

    // Without detectable auto-repeat a held key sends a release before every
    // repeated press, and a shortcut acting on release would fire while the
    // key is still down.
    const Reply<xcb_xkb_use_extension_reply_t> xkb(xcb_xkb_use_extension_reply(m_connection,
        xcb_xkb_use_extension(m_connection, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION),
        nullptr));
    if (xkb && xkb->supported) {
        const Reply<xcb_xkb_per_client_flags_reply_t> flags(
            xcb_xkb_per_client_flags_reply(m_connection,
                xcb_xkb_per_client_flags(m_connection, XCB_XKB_ID_USE_CORE_KBD,
                    XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                    XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0),
                nullptr));
        Q_UNUSED(flags);
    }

    m_notifier
        = new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11HotkeyRegistrar::readEvents);
    scheduleQueuedEvents();
}

// Closing the connection releases every grab made on it.
X11HotkeyRegistrar::~X11HotkeyRegistrar()
{
    delete m_notifier;
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool X11HotkeyRegistrar::isValid() const
{
    return m_connection && !xcb_connection_has_error(m_connection) && m_root != XCB_NONE;
}

QString X11HotkeyRegistrar::unavailableReason() const
{
    return isValid() ? QString() : QStringLiteral("cannot connect to the X server");
}

std::optional<X11HotkeyRegistrar::Grab> X11HotkeyRegistrar::grabFor(
    const GlobalHotkeys::Shortcut &shortcut) const
{
    const std::optional<int> evdev = GlobalHotkeys::evdevCodeForKeyCode(shortcut.carbonKeyCode());
    const std::optional<uint16_t> modifiers = xModifiers(shortcut);
    if (!evdev || !modifiers)
        return std::nullopt;
    return Grab { xcb_keycode_t(*evdev + GlobalHotkeys::xkbKeycodeOffset), *modifiers };
}

int X11HotkeyRegistrar::grabAllVariants(const Grab &grab)
{
    std::array<xcb_void_cookie_t, lockVariants.size()> cookies;
    for (size_t i = 0; i < lockVariants.size(); ++i) {
        cookies[i] = xcb_grab_key_checked(m_connection, true, m_root,
            uint16_t(grab.modifiers | lockVariants[i]), grab.keycode, XCB_GRAB_MODE_ASYNC,
            XCB_GRAB_MODE_ASYNC);
    }
    int status = 0;
    for (const xcb_void_cookie_t &cookie : cookies) {
        const Reply<xcb_generic_error_t> error(xcb_request_check(m_connection, cookie));
        if (error && status == 0)
            status = error->error_code;
    }
    scheduleQueuedEvents();
    return status;
}

int X11HotkeyRegistrar::registerHotkey(quint32 id, const GlobalHotkeys::Shortcut &shortcut)
{
    if (!isValid())
        return badValue;
    const std::optional<Grab> grab = grabFor(shortcut);
    if (!grab)
        return badValue;
    const int status = grabAllVariants(*grab);
    if (status != 0) {
        // Another client holds some of the variants: give back the ones we
        // got, unless one of our own registrations has the same key.
        if (!grabbedByAnother(*grab, id))
            ungrab(*grab);
        return status;
    }
    m_grabs.insert(id, *grab);
    return 0;
}

bool X11HotkeyRegistrar::isHeldByAnotherProgram(const GlobalHotkeys::Shortcut &shortcut)
{
    if (!isValid())
        return false;
    const std::optional<Grab> grab = grabFor(shortcut);
    if (!grab)
        return false;
    // Grabbing a key of our own again would only replace our grab, and
    // giving it back would lose it.
    if (grabbedByAnother(*grab, 0))
        return false;
    const int status = grabAllVariants(*grab);
    ungrab(*grab);
    return status == XCB_ACCESS;
}

void X11HotkeyRegistrar::unregisterHotkey(quint32 id)
{
    const auto it = m_grabs.constFind(id);
    if (it == m_grabs.constEnd())
        return;
    const Grab grab = *it;
    m_grabs.erase(it);
    if (!grabbedByAnother(grab, id))
        ungrab(grab);
    // A release still to come belongs to nobody now.
    m_keysDown.removeIf([id](const auto &entry) { return entry.value() == id; });
}

void X11HotkeyRegistrar::readEvents()
{
    m_readScheduled = false;
    if (!m_connection)
        return;
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
        handleEvent(event);
        std::free(event);
    }
    if (xcb_connection_has_error(m_connection))
        m_notifier->setEnabled(false);
}

void X11HotkeyRegistrar::scheduleQueuedEvents()
{
    // Waiting for a reply may have moved events into the library's queue,
    // where the socket notifier does not see them.
    if (m_readScheduled)
        return;
    m_readScheduled = true;
    QTimer::singleShot(0, this, &X11HotkeyRegistrar::readEvents);
}

void X11HotkeyRegistrar::handleEvent(const xcb_generic_event_t *event)
{
    switch (event->response_type & 0x7f) {
    case XCB_KEY_PRESS: {
        const auto *press = reinterpret_cast<const xcb_key_press_event_t *>(event);
        // Detectable auto-repeat sends more presses of a held key and no
        // releases in between: one press per hold.
        if (m_keysDown.contains(press->detail))
            return;
        const uint16_t modifiers = press->state & shortcutModifierMask;
        for (auto it = m_grabs.constBegin(); it != m_grabs.constEnd(); ++it) {
            if (it->keycode == press->detail && it->modifiers == modifiers) {
                m_keysDown.insert(press->detail, it.key());
                emit hotkeyPressed(it.key());
                return;
            }
        }
        return;
    }
    case XCB_KEY_RELEASE: {
        // By keycode only: the modifiers may have gone up before the key.
        const auto *release = reinterpret_cast<const xcb_key_release_event_t *>(event);
        const auto it = m_keysDown.constFind(release->detail);
        if (it == m_keysDown.constEnd())
            return;
        const quint32 id = *it;
        m_keysDown.erase(it);
        emit hotkeyReleased(id);
        return;
    }
    default:
        return;
    }
}

void X11HotkeyRegistrar::ungrab(const Grab &grab)
{
    for (const uint16_t lock : lockVariants)
        xcb_ungrab_key(m_connection, grab.keycode, m_root, uint16_t(grab.modifiers | lock));
    xcb_flush(m_connection);
}

bool X11HotkeyRegistrar::grabbedByAnother(const Grab &grab, quint32 exceptId) const
{
    for (auto it = m_grabs.constBegin(); it != m_grabs.constEnd(); ++it) {
        if (it.key() != exceptId && it->keycode == grab.keycode && it->modifiers == grab.modifiers)
            return true;
    }
    return false;
}
