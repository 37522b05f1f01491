// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Clip.h"
#include "ui/ClipRowView.h"
#include "ui/ListMode.h"

#include <QList>
#include <QWidget>

#include <functional>

#include <optional>

class ClipListModel;
class ClipStore;
class HistoryListView;
class HistoryViewControllerDelegate;
class QLabel;
class QLineEdit;
class QMenu;
class Settings;

// The content of the history panel: a search field above the list of clips,
// with a message in place of an empty list. It decides which clips are
// visible, keeps a row selected, reads the keys typed into the search field
// and the clicks on the list, and hands every decision that leaves the list
// to its delegate.
class HistoryViewController : public QWidget
{
    Q_OBJECT
public:
    HistoryViewController(ClipStore &store, Settings &settings, QWidget *parent = nullptr);

    // Not owned; may be null, and then every decision is dropped.
    void setDelegate(HistoryViewControllerDelegate *delegate) { m_delegate = delegate; }
    HistoryViewControllerDelegate *delegate() const { return m_delegate; }

    // The caller reloads after changing the mode.
    ListMode listMode() const { return m_listMode; }
    void setListMode(ListMode mode) { m_listMode = mode; }

    QLineEdit *searchField() const { return m_searchField; }
    const QList<Clip> &visibleClips() const;
    // The selected row, or -1.
    int selectedRow() const;

    // Recomputes the visible clips from the search text and the mode, then
    // the message and the selection.
    void reloadVisibleClips();
    // Escape: clears a search, or asks to leave the panel when there is none.
    void cancel();

    // Rebuilds the context menu for a row and returns it; for a row outside
    // the list the menu is empty and is not shown.
    QMenu *updateContextMenu(int row);
    QMenu *contextMenu() const { return m_contextMenu; }
    void copyPlainClicked();
    void keepClicked();

    // Shows the question before a kept clip is deleted and answers the item
    // chosen, or none; tests answer it themselves.
    using QuestionRunner = std::function<QAction *(QMenu &)>;
    void setQuestionRunner(QuestionRunner runner) { m_questionRunner = std::move(runner); }

    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void enableClearButton();
    bool handleSearchKey(int key, Qt::KeyboardModifiers modifiers);
    bool handleListKey(int key, Qt::KeyboardModifiers modifiers);
    void chooseSelected(bool asPlainText = false);
    void moveSelection(int delta);
    int rowsPerPage() const;
    void openContextMenuOfSelected();
    QPoint rowMenuPosition(int row) const;
    void editClip(const Clip &clip);
    void deleteClip(const Clip &clip);
    void selectRow(int row);
    void onRowClicked(int row);
    void onButtonClicked(int row, ClipRowView::Hit hit);
    void onContextMenuRequested(const QPoint &pos);

    HistoryViewControllerDelegate *m_delegate = nullptr;
    ClipStore &m_store;
    [[maybe_unused]] Settings &m_settings;
    QLabel *m_title = nullptr;
    QLineEdit *m_searchField = nullptr;
    HistoryListView *m_listView = nullptr;
    ClipListModel *m_model = nullptr;
    ClipRowView *m_rowView = nullptr;
    QLabel *m_emptyLabel = nullptr;
    QMenu *m_contextMenu = nullptr;
    std::optional<Clip> m_contextClip;
    QuestionRunner m_questionRunner;
    // The search text of the last reload.
    QString m_shownQuery;
    ListMode m_listMode = ListMode::all;
};
