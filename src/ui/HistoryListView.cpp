// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/HistoryListView.h"

#include "ui/WidgetAccessible.h"

#include <QMouseEvent>

HistoryListView::HistoryListView(QWidget *parent)
    : QListView(parent)
{
    setFocusPolicy(Qt::NoFocus);
    // The rows' buttons are painted: they are told to assistive technology
    // by an interface of our own.
    installAccessibleFactories();
}

ClipRowView::Hit HistoryListView::buttonAt(const QModelIndex &index, const QPoint &pos) const
{
    if (!index.isValid())
        return ClipRowView::Hit::none;
    return ClipRowView::hitTest(visualRect(index), pos);
}

void HistoryListView::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    m_pressedIndex = QPersistentModelIndex();
    m_pressedButton = ClipRowView::Hit::none;
    if (event->button() != Qt::LeftButton) {
        // A right click opens the row's menu without moving the selection,
        // which stays what Return would choose.
        event->accept();
        return;
    }
    const ClipRowView::Hit hit = buttonAt(index, pos);
    if (hit != ClipRowView::Hit::none) {
        m_pressedIndex = index;
        m_pressedButton = hit;
        event->accept();
        return;
    }
    QListView::mousePressEvent(event);
    // A press below the last row chooses nothing.
    if (index.isValid())
        emit rowClicked(index.row());
}

void HistoryListView::mouseMoveEvent(QMouseEvent *event)
{
    // While a button is held nothing is dragged or selected.
    if (m_pressedButton != ClipRowView::Hit::none) {
        event->accept();
        return;
    }
    QListView::mouseMoveEvent(event);
}

void HistoryListView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_pressedButton == ClipRowView::Hit::none) {
        QListView::mouseReleaseEvent(event);
        return;
    }
    const ClipRowView::Hit pressed = m_pressedButton;
    const QModelIndex pressedIndex = m_pressedIndex;
    m_pressedIndex = QPersistentModelIndex();
    m_pressedButton = ClipRowView::Hit::none;
    event->accept();
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && pressedIndex.isValid() && indexAt(pos) == pressedIndex
        && buttonAt(pressedIndex, pos) == pressed)
        emit buttonClicked(pressedIndex.row(), pressed);
}

void HistoryListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second click of a double click on a button does not act again: by
    // then the row may hold another clip (after a delete, the next one).
    const QPoint pos = event->position().toPoint();
    if (buttonAt(indexAt(pos), pos) != ClipRowView::Hit::none) {
        event->accept();
        return;
    }
    mousePressEvent(event);
}
