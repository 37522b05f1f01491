// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Screen.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QRect>

#include <optional>

// The monitors and the pointer, in desktop points (see ScreenRect).
class Screens : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // In the window system's order.
    virtual QList<Screen> screens() const = 0;
    // The screen the user is typing on: the one holding the focused window,
    // else the primary one; absent when there is no screen at all.
    virtual std::optional<Screen> mainScreen() const = 0;
    virtual QPointF mouseLocation() const = 0;
    // The primary screen in the window system's own coordinates (origin at
    // the top-left of the desktop), which anchors the conversion to them.
    virtual QRect primaryGeometry() const = 0;

signals:
    // A screen was added or removed, or one changed its size or work area.
    void screenParametersDidChange();
};
