// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Screens.h"

class QScreen;

// The screens and pointer as Qt reports them, converted to desktop points.
class QtScreens : public Screens
{
    Q_OBJECT
public:
    explicit QtScreens(QObject *parent = nullptr);

    QList<Screen> screens() const override;
    std::optional<Screen> mainScreen() const override;
    QPointF mouseLocation() const override;
    QRect primaryGeometry() const override;

private:
    void watch(QScreen *screen);
    Screen toScreen(const QScreen *screen) const;
};
