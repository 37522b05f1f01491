// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "globalhotkeys/HotkeyRegistrar.h"

#include <QByteArray>
#include <QHash>

#include <optional>

#include <xcb/xcb.h>

class QSocketNotifier;

// System-wide hot keys on X11: passive key grabs on the root window, made on
// a connection of our own so that the detectable auto-repeat we switch on
// for real key releases stays out of Qt's connection. Another client that
// already grabbed the key makes the registration fail with BadAccess (10).
class X11HotkeyRegistrar : public GlobalHotkeys::HotkeyRegistrar
{
    Q_OBJECT
public:
    // Connects to the given display, by default that of $DISPLAY.
    explicit X11HotkeyRegistrar(const QByteArray &displayName = {}, QObject *parent = nullptr);
    ~X11HotkeyRegistrar() override;

    bool isValid() const;

    int registerHotkey(quint32 id, const GlobalHotkeys::Shortcut &shortcut) override;
    void unregisterHotkey(quint32 id) override;
    QString unavailableReason() const override;
    // Tries the grab and gives it back at once: BadAccess means another
    // client holds the key.
    bool isHeldByAnotherProgram(const GlobalHotkeys::Shortcut &shortcut) override;

private:
    struct Grab
    {
        xcb_keycode_t keycode = 0;
        uint16_t modifiers = 0;
    };

    void readEvents();
    void scheduleQueuedEvents();
    void handleEvent(const xcb_generic_event_t *event);
    std::optional<Grab> grabFor(const GlobalHotkeys::Shortcut &shortcut) const;
    // Grabs every lock variant; the first error code, or 0. Variants that
    // were granted stay grabbed either way.
    int grabAllVariants(const Grab &grab);
    void ungrab(const Grab &grab);
    bool grabbedByAnother(const Grab &grab, quint32 exceptId) const;

    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = XCB_NONE;
    QSocketNotifier *m_notifier = nullptr;
    bool m_readScheduled = false;
    QHash<quint32, Grab> m_grabs;
    // The keys whose press fired, by keycode, with the registration it fired.
    QHash<xcb_keycode_t, quint32> m_keysDown;
};
