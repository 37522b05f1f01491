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
    // Two screens side by side, the primary on the left with a 30 point bar
    // at its top; the pointer on the primary.
    void sideBySide()
    {
        primary = QRect(0, 0, 1920, 1080);
        list = { { { 0, 0, 1920, 1080 }, { 0, 0, 1920, 1050 } },
            { { 1920, 0, 1280, 1024 }, { 1920, 0, 1280, 1024 } } };
        main = list.first();
        mouse = QPointF(100, 500);
    }

    QList<Screen> list;
    std::optional<Screen> main;
    QPointF mouse;
    QRect primary;
};
