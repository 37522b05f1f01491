// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Screens.h"

// Screens and a pointer that the test moves. Desktop points; the primary
// screen is `primary` in window coordinates.
class FakeScreens : public Screens
{
    Q_OBJECT
public:
    using Screens::Screens;

    QList<Screen> screens() const override { return list; }
    std::optional<Screen> mainScreen() const override { return main; }
    QPointF mouseLocation() const override { return mouse; }
    QRect primaryGeometry() const override { return primary; }

    void change() { emit screenParametersDidChange(); }

    QList<Screen> list;
    std::optional<Screen> main;
    QPointF mouse;
    QRect primary;
};
