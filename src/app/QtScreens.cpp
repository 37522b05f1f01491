// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/QtScreens.h"

#include "app/DesktopCoordinates.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

QtScreens::QtScreens(QObject *parent)
    : Screens(parent)
{
    const auto *app = qGuiApp;
    connect(app, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        watch(screen);
        emit screenParametersDidChange();
    });
    connect(app, &QGuiApplication::screenRemoved, this, &Screens::screenParametersDidChange);
    connect(app, &QGuiApplication::primaryScreenChanged, this, &Screens::screenParametersDidChange);
    for (QScreen *screen : QGuiApplication::screens())
        watch(screen);
}

void QtScreens::watch(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, &Screens::screenParametersDidChange);
    connect(screen, &QScreen::availableGeometryChanged, this, &Screens::screenParametersDidChange);
}

Screen QtScreens::toScreen(const QScreen *screen) const
{
    const QRect primary = primaryGeometry();
    return Screen { DesktopCoordinates::fromWindowGeometry(screen->geometry(), primary),
        DesktopCoordinates::fromWindowGeometry(screen->availableGeometry(), primary) };
}

QList<Screen> QtScreens::screens() const
{
    QList<Screen> result;
    for (const QScreen *screen : QGuiApplication::screens())
        result.append(toScreen(screen));
    return result;
}

std::optional<Screen> QtScreens::mainScreen() const
{
    const QScreen *screen = nullptr;
    if (const QWindow *focus = QGuiApplication::focusWindow())
        screen = focus->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    return toScreen(screen);
}

QPointF QtScreens::mouseLocation() const
{
    return DesktopCoordinates::fromWindowPoint(QCursor::pos(), primaryGeometry());
}

QRect QtScreens::primaryGeometry() const
{
    if (const QScreen *primary = QGuiApplication::primaryScreen())
        return primary->geometry();
    return QRect();
}
