// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/HistoryPanel.h"

#include "app/DesktopCoordinates.h"
#include "ui/HistoryViewController.h"

#include <QKeyEvent>
#include <QVBoxLayout>

HistoryPanel::HistoryPanel(Window window, QWidget *parent)
    : QWidget(parent,
        // Tool: no task-bar entry. Bypassing the window manager keeps it
        // where we put it, on every desktop, and undecorated. It must
        // still accept focus, or activateWindow() cannot give it keys.
        Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
            | (window == Window::bypassesManager ? Qt::X11BypassWindowManagerHint
                                                 : Qt::WindowFlags()))
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("Quillstack"));
    resize(340, 700);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

void HistoryPanel::setContentViewController(HistoryViewController *controller)
{
    if (m_content == controller)
        return;
    // The panel owns its content; a replaced one goes with it.
    delete m_content;
    m_content = controller;
    if (controller)
        layout()->addWidget(controller);
}

void HistoryPanel::setFrame(const ScreenRect &frame, const QRect &primary)
{
    setGeometry(DesktopCoordinates::toWindowGeometry(frame, primary));
    update();
}

ScreenRect HistoryPanel::frame(const QRect &primary) const
{
    return DesktopCoordinates::fromWindowGeometry(geometry(), primary);
}

void HistoryPanel::showAndRaise()
{
    show();
    raise();
}

void HistoryPanel::hidePanel()
{
    hide();
}

void HistoryPanel::activate()
{
    raise();
    activateWindow();
}

void HistoryPanel::clearKeyboardFocus()
{
    if (QWidget *focus = focusWidget())
        focus->clearFocus();
}

void HistoryPanel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        if (m_content)
            m_content->cancel();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
