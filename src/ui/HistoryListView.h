// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/ClipRowView.h"

#include <QListView>
#include <QPersistentModelIndex>

// The list of the history panel. It never takes the keyboard focus (typing
// stays in the search field) and acts on the first click even while its
// window is not active: a left press on a row is a choice at once, a click
// on a row's button is reported when the button is released over it.
class HistoryListView : public QListView
{
    Q_OBJECT
public:
    explicit HistoryListView(QWidget *parent = nullptr);

    // A row's button pressed other than by the mouse (assistive technology).
    void clickButton(int row, ClipRowView::Hit hit) { emit buttonClicked(row, hit); }

signals:
    void rowClicked(int row);
    void buttonClicked(int row, ClipRowView::Hit hit);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    ClipRowView::Hit buttonAt(const QModelIndex &index, const QPoint &pos) const;

    // A press on a button, until its release. Persistent, so a reload in
    // between (a copy arriving) cancels the click instead of aiming it at
    // whichever clip moved into the row.
    QPersistentModelIndex m_pressedIndex;
    ClipRowView::Hit m_pressedButton = ClipRowView::Hit::none;
};
