// SPDX-License-Identifier: GPL-3.0-or-later
#include "X11AppFixture.h"

#include "StoreFixture.h"
#include "TopLevelWindow.h"
#include "X11TestTools.h"
#include "app/HistoryPanel.h"
#include "app/PanelController.h"
#include "model/ClipStore.h"
#include "ui/HistoryViewController.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>

using namespace Qt::StringLiterals;

X11AppFixture::X11AppFixture()
{
    other.start(QCoreApplication::applicationDirPath() + u"/qs-focus-window"_s, QStringList());
}

X11AppFixture::~X11AppFixture()
{
    other.kill();
    other.waitForFinished();
}

void X11AppFixture::addText(const QString &text)
{
    app->store().add(StoreFixture::text(text));
}

bool X11AppFixture::otherHasKeyboard()
{
    const std::optional<RunningWindow> front = workspace.frontmostWindow();
    return front && front->windowId == otherWindow;
}

bool X11AppFixture::focusOther()
{
    if (!waitFor([this] { return other.canReadLine(); }))
        return false;
    otherWindow = other.readLine().trimmed().toULongLong();
    workspace.activate(RunningWindow { otherWindow, std::nullopt });
    return waitFor([this] { return otherHasKeyboard(); });
}

bool X11AppFixture::panelHasKeyboard()
{
    // Qt's focus alone is not enough: with a window manager the server may
    // still send keys to the window behind for a moment.
    return panel().isVisible() && QApplication::focusWidget() == history().searchField()
        && runTool(u"xdotool"_s, { u"getwindowfocus"_s }).trimmed()
        == QString::number(panel().winId());
}

HistoryPanel &X11AppFixture::panel() const
{
    return app->panel().panel();
}

HistoryViewController &X11AppFixture::history() const
{
    return *app->panel().history();
}

QMenu *X11AppFixture::trayMenu() const
{
    return topLevelWindow<QMenu>(u"trayMenu"_s);
}
