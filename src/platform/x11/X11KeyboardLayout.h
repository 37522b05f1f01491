// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "globalhotkeys/KeyboardLayout.h"

#include <QAbstractNativeEventFilter>

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>

// The keyboard layout of the X server as xkbcommon reads it, following layout
// switches and new keymaps through the XKB events on Qt's own connection.
class X11KeyboardLayout : public GlobalHotkeys::KeyboardLayout, public QAbstractNativeEventFilter
{
    Q_OBJECT
public:
    // Needs the application to run on Qt's xcb platform; isValid() says
    // whether it does and the keymap could be read.
    explicit X11KeyboardLayout(QObject *parent = nullptr);
    ~X11KeyboardLayout() override;

    bool isValid() const { return m_keymap != nullptr; }
    QString characterForEvdevCode(int evdevCode) const override;
    // The keymap as read last, null when invalid, and its active layout.
    xkb_keymap *keymap() const { return m_keymap.get(); }
    xkb_layout_index_t group() const { return m_group; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    struct ContextDeleter
    {
        void operator()(xkb_context *context) const { xkb_context_unref(context); }
    };
    struct KeymapDeleter
    {
        void operator()(xkb_keymap *keymap) const { xkb_keymap_unref(keymap); }
    };

    bool rebuildKeymap();

    xcb_connection_t *m_connection = nullptr;
    int m_xkbFirstEvent = -1;
    int32_t m_deviceId = -1;
    std::unique_ptr<xkb_context, ContextDeleter> m_context;
    std::unique_ptr<xkb_keymap, KeymapDeleter> m_keymap;
    xkb_layout_index_t m_group = 0;
};
