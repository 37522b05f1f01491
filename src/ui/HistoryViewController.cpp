// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/HistoryViewController.h"

#include "model/ClipStore.h"
#include "ui/ClipListModel.h"
#include "ui/HistoryListView.h"
#include "ui/HistoryViewControllerDelegate.h"

#include <QContextMenuEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr int searchMargin = 10;
constexpr int searchToList = 8;
constexpr int listToBottom = 6;
constexpr int rowSpacing = 2;
constexpr int emptyLabelMargin = 20;
constexpr qreal cornerRadius = 10;
// How much of the desktop shows through the panel where the window is
// translucent.
constexpr int backgroundAlpha = 235;
constexpr int clearButtonDelayMs = 1000;

} // namespace

HistoryViewController::HistoryViewController(ClipStore &store, Settings &settings, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_settings(settings)
    , m_questionRunner([](QMenu &menu) { return menu.exec(); })
{
    // The kept clips are a list of their own: its title tells them from the
    // history, which can look the same.
    m_title = new QLabel(qtTrId("list.title.pinned"), this);
    m_title->setObjectName(QStringLiteral("listTitle"));
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    m_title->setContentsMargins(searchMargin + 2, 0, searchMargin, 0);
    m_title->hide();

    m_searchField = new QLineEdit(this);
    m_searchField->setObjectName(QStringLiteral("searchField"));
    m_searchField->setPlaceholderText(qtTrId("search.placeholder"));
    m_searchField->setAccessibleName(qtTrId("search.placeholder"));
    m_searchField->installEventFilter(this);
    // Finding the clear button's icon searches the icon theme and loads the
    // image plugins: a start does not wait for it, and neither should the
    // panel's first opening. It is set up once the program has settled, or
    // when the panel opens before that.
    QTimer::singleShot(clearButtonDelayMs, this, &HistoryViewController::enableClearButton);
    // Every edit, also one that replaces part of the text, filters at once.
    connect(
        m_searchField, &QLineEdit::textChanged, this, &HistoryViewController::reloadVisibleClips);

    m_model = new ClipListModel(store, this);
    m_rowView = new ClipRowView(this);

    m_listView = new HistoryListView(this);
    m_listView->setObjectName(QStringLiteral("historyList"));
    m_listView->setModel(m_model);
    m_listView->setItemDelegate(m_rowView);
    connect(m_rowView, &ClipRowView::thumbnailLoaded, m_listView->viewport(),
        qOverload<>(&QWidget::update));
    // One size for every row lets the list place rows by arithmetic instead
    // of asking each row for its size: a reload costs the same for ten rows
    // or ten thousand.
    m_listView->setUniformItemSizes(true);
    m_listView->setSpacing(rowSpacing / 2);
    m_listView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listView->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_listView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_listView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_listView->setFrameShape(QFrame::NoFrame);
    m_listView->setAutoFillBackground(false);
    m_listView->viewport()->setAutoFillBackground(false);
    m_listView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_listView, &HistoryListView::rowClicked, this, &HistoryViewController::onRowClicked);
    connect(
        m_listView, &HistoryListView::buttonClicked, this, &HistoryViewController::onButtonClicked);
    connect(m_listView, &QWidget::customContextMenuRequested, this,
        &HistoryViewController::onContextMenuRequested);

    m_emptyLabel = new QLabel(this);
    m_emptyLabel->setObjectName(QStringLiteral("emptyLabel"));
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_emptyLabel->setWordWrap(true);
    m_emptyLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont labelFont = m_emptyLabel->font();
    if (labelFont.pointSizeF() > 0)
        labelFont.setPointSizeF(labelFont.pointSizeF() * 13 / 12);
    m_emptyLabel->setFont(labelFont);
    QPalette labelPalette = m_emptyLabel->palette();
    labelPalette.setColor(
        QPalette::WindowText, labelPalette.color(QPalette::Active, QPalette::PlaceholderText));
    m_emptyLabel->setPalette(labelPalette);

    m_contextMenu = new QMenu(this);

    auto *searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(searchMargin, 0, searchMargin, 0);
    searchRow->addWidget(m_searchField);
    // The message shares the list's cell, so it is centred on the list.
    auto *listArea = new QGridLayout;
    listArea->setContentsMargins(0, 0, 0, 0);
    listArea->addWidget(m_listView, 0, 0);
    // As wide as the list, so that a short message stays on one line.
    m_emptyLabel->setContentsMargins(emptyLabelMargin, 0, emptyLabelMargin, 0);
    listArea->addWidget(m_emptyLabel, 0, 0);
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, searchMargin, 0, listToBottom);
    root->setSpacing(searchToList);
    root->addWidget(m_title);
    root->addLayout(searchRow);
    root->addLayout(listArea, 1);

    reloadVisibleClips();
    connect(&m_store, &ClipStore::storeDidChange, this, &HistoryViewController::reloadVisibleClips);
}

const QList<Clip> &HistoryViewController::visibleClips() const
{
    return m_model->clips();
}

int HistoryViewController::selectedRow() const
{
    const QModelIndexList selected = m_listView->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void HistoryViewController::reloadVisibleClips()
{
    const QString query = m_searchField->text();
    // A new search starts at its first match: the row highlighted before
    // holds another clip now. Over a store change the highlight stays.
    const bool newSearch = query != std::exchange(m_shownQuery, query);
    const int previous = newSearch ? -1 : selectedRow();
    if (m_listMode == ListMode::all && ClipStore::findsAll(query)) {
        m_model->showWholeHistory();
    } else {
        QList<Clip> clips = m_store.search(query);
        if (m_listMode == ListMode::pinned)
            clips.removeIf([](const Clip &clip) { return !clip.isKept; });
        m_model->setClips(std::move(clips));
    }

    m_title->setVisible(m_listMode == ListMode::pinned);
    m_listView->setAccessibleName(
        qtTrId(m_listMode == ListMode::pinned ? "list.title.pinned" : "list.title.all"));
    const int count = m_model->rowCount();
    m_emptyLabel->setVisible(count == 0);
    if (count > 0) {
        selectRow(previous >= 0 && previous < count ? previous : 0);
        return;
    }
    // A query of blanks still counts as a search that found nothing.
    if (!query.isEmpty())
        m_emptyLabel->setText(qtTrId("empty.search"));
    else if (m_listMode == ListMode::pinned)
        m_emptyLabel->setText(qtTrId("empty.pinned"));
    else
        m_emptyLabel->setText(qtTrId("empty.history"));
}

void HistoryViewController::selectRow(int row)
{
    const QModelIndex index = m_model->index(row);
    m_listView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_listView->scrollTo(index);
}

void HistoryViewController::cancel()
{
    if (!m_searchField->text().isEmpty()) {
        // Clearing the field reloads through textChanged.
        m_searchField->clear();
        return;
    }
    if (m_delegate)
        m_delegate->historyDidRequestDismiss();
}

bool HistoryViewController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_searchField && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        return handleSearchKey(key->key(), key->modifiers());
    }
    // X11 follows the Menu key with a context menu event of its own: the
    // row's menu answers it, not the field's editing menu. A right click on
    // the field still gets that one.
    if (watched == m_searchField && event->type() == QEvent::ContextMenu
        && static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
        if (!m_contextMenu->isVisible())
            openContextMenuOfSelected();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool HistoryViewController::handleSearchKey(int key, Qt::KeyboardModifiers modifiers)
{
    modifiers &= ~Qt::KeypadModifier;
    if (handleListKey(key, modifiers))
        return true;
    // With Shift, Ctrl or Alt held the keys keep their meaning in the field
    // (selecting text, for one).
    if (modifiers != Qt::NoModifier)
        return false;
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        chooseSelected();
        return true;
    case Qt::Key_Escape:
        cancel();
        return true;
    case Qt::Key_Down:
        moveSelection(1);
        return true;
    case Qt::Key_Up:
        moveSelection(-1);
        return true;
    case Qt::Key_PageDown:
        moveSelection(rowsPerPage());
        return true;
    case Qt::Key_PageUp:
        moveSelection(-rowsPerPage());
        return true;
    default:
        return false;
    }
}

// The keys that act on the highlighted row, or move to the list's ends,
// whenever the field has no use for them.
bool HistoryViewController::handleListKey(int key, Qt::KeyboardModifiers modifiers)
{
    const bool ctrl = modifiers == Qt::ControlModifier;
    const bool plain = modifiers == Qt::NoModifier;
    // Home and End move the caret in a query; Ctrl moves the highlight anyway.
    const bool fieldEmpty = m_searchField->text().isEmpty();
    if ((key == Qt::Key_Home || key == Qt::Key_End) && (ctrl || (plain && fieldEmpty))) {
        moveSelection(key == Qt::Key_Home ? -m_model->rowCount() : m_model->rowCount());
        return true;
    }
    if ((key == Qt::Key_Menu && plain) || (key == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
        openContextMenuOfSelected();
        return true;
    }
    const Clip *selected = m_model->clipAt(selectedRow());
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::ShiftModifier) {
        chooseSelected(true);
        return true;
    }
    if (key == Qt::Key_F2 && plain && selected) {
        editClip(*selected);
        return true;
    }
    // Delete edits the query while there is something after the caret or a
    // part of it is selected.
    const bool nothingToDelete = m_searchField->cursorPosition() == m_searchField->text().size()
        && !m_searchField->hasSelectedText();
    if (key == Qt::Key_Delete && plain && nothingToDelete && selected) {
        deleteClip(*selected);
        return true;
    }
    return false;
}

void HistoryViewController::chooseSelected(bool asPlainText)
{
    const Clip *found = m_model->clipAt(std::max(selectedRow(), 0));
    if (!found || !m_delegate)
        return;
    // The row may be the store's own, which the delegate may change.
    const Clip clip = *found;
    if (asPlainText)
        m_delegate->historyDidChooseAsPlainText(clip);
    else
        m_delegate->historyDidChoose(clip);
}

void HistoryViewController::moveSelection(int delta)
{
    const int count = m_model->rowCount();
    if (count == 0)
        return;
    const int base = std::max(selectedRow(), 0);
    selectRow(std::clamp(base + delta, 0, count - 1));
}

int HistoryViewController::rowsPerPage() const
{
    const int rowHeight = m_listView->sizeHintForRow(0) + rowSpacing;
    return rowHeight > 0 ? std::max(m_listView->viewport()->height() / rowHeight, 1) : 1;
}

void HistoryViewController::openContextMenuOfSelected()
{
    const int row = selectedRow();
    QMenu *menu = updateContextMenu(row);
    if (menu->isEmpty())
        return;
    menu->popup(rowMenuPosition(row));
}

QPoint HistoryViewController::rowMenuPosition(int row) const
{
    const QRect rect = m_listView->visualRect(m_model->index(row));
    return m_listView->viewport()->mapToGlobal(
        rect.bottomLeft() + QPoint(rect.height(), 0) - QPoint(0, rect.height() / 2));
}

void HistoryViewController::editClip(const Clip &clip)
{
    if (!m_delegate)
        return;
    // The row may be the store's own, which the delegate may change.
    const Clip copy = clip;
    m_delegate->historyDidRequestEdit(copy);
}

void HistoryViewController::deleteClip(const Clip &clip)
{
    if (!m_delegate)
        return;
    const Clip copy = clip;
    // A kept clip was kept on purpose: a slip of a key must not lose it.
    if (copy.isKept) {
        // Asked in a menu at the row: the panel stays above every window,
        // where a dialog would go under it, and a menu hands the keyboard
        // back to the field when it closes.
        QMenu question(this);
        question.addAction(qtTrId("alert.deleteKept.title"))->setEnabled(false);
        QAction *confirm = question.addAction(qtTrId("clip.delete"));
        question.setActiveAction(question.addAction(qtTrId("alert.cancel")));
        const auto shown = std::find_if(visibleClips().cbegin(), visibleClips().cend(),
            [&copy](const Clip &one) { return one.id == copy.id; });
        question.move(rowMenuPosition(int(shown - visibleClips().cbegin())));
        if (m_questionRunner(question) != confirm)
            return;
    }
    m_delegate->historyDidRequestDelete(copy);
}

void HistoryViewController::onRowClicked(int row)
{
    const Clip *found = m_model->clipAt(row);
    if (!found || !m_delegate)
        return;
    // The row may be the store's own, which the delegate may change.
    const Clip clip = *found;
    m_delegate->historyDidChoose(clip);
}

void HistoryViewController::onButtonClicked(int row, ClipRowView::Hit hit)
{
    const Clip *found = m_model->clipAt(row);
    if (!found || !m_delegate)
        return;
    // The row may be the store's own, which the delegate may change.
    const Clip clip = *found;
    if (hit == ClipRowView::Hit::editButton)
        m_delegate->historyDidRequestEdit(clip);
    else if (hit == ClipRowView::Hit::deleteButton)
        m_delegate->historyDidRequestDelete(clip);
}

QMenu *HistoryViewController::updateContextMenu(int row)
{
    m_contextMenu->clear();
    m_contextClip.reset();
    const Clip *clip = m_model->clipAt(row);
    if (!clip)
        return m_contextMenu;
    m_contextClip = *clip;

    QAction *keep
        = m_contextMenu->addAction(qtTrId("clip.keep"), this, &HistoryViewController::keepClicked);
    keep->setCheckable(true);
    keep->setChecked(clip->isKept);
    m_contextMenu->addAction(
        qtTrId(clip->kind == ClipKind::image ? "clip.view" : "clip.edit"), this, [this] {
            if (m_contextClip)
                editClip(*m_contextClip);
        });
    QAction *copyPlain = m_contextMenu->addAction(
        qtTrId("clip.copyPlain"), this, &HistoryViewController::copyPlainClicked);
    copyPlain->setEnabled(clip->kind != ClipKind::image);
    m_contextMenu->addSeparator();
    m_contextMenu->addAction(qtTrId("clip.delete"), this, [this] {
        if (m_contextClip)
            deleteClip(*m_contextClip);
    });
    return m_contextMenu;
}

void HistoryViewController::onContextMenuRequested(const QPoint &pos)
{
    QMenu *menu = updateContextMenu(m_listView->indexAt(pos).row());
    if (!menu->isEmpty())
        menu->popup(m_listView->viewport()->mapToGlobal(pos));
}

void HistoryViewController::copyPlainClicked()
{
    if (!m_contextClip || !m_delegate)
        return;
    m_delegate->historyDidRequestCopyPlain(m_contextClip->text.value_or(m_contextClip->preview));
}

void HistoryViewController::keepClicked()
{
    if (!m_contextClip)
        return;
    // The store announces the change and the list reloads from it.
    m_store.setKept(m_contextClip->id, !m_contextClip->isKept);
}

QSize HistoryViewController::sizeHint() const
{
    return QSize(340, 700);
}

void HistoryViewController::enableClearButton()
{
    if (!m_searchField->isClearButtonEnabled())
        m_searchField->setClearButtonEnabled(true);
}

void HistoryViewController::showEvent(QShowEvent *event)
{
    enableClearButton();
    // The last search is there to reuse, and typing replaces it.
    m_searchField->selectAll();
    QWidget::showEvent(event);
}

void HistoryViewController::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor background = palette().color(QPalette::Active, QPalette::Window);
    if (window()->testAttribute(Qt::WA_TranslucentBackground))
        background.setAlpha(backgroundAlpha);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
}

// Clicks on the panel's empty parts stop here rather than reaching the
// window below the panel's content.
void HistoryViewController::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void HistoryViewController::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void HistoryViewController::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}

void HistoryViewController::contextMenuEvent(QContextMenuEvent *event)
{
    event->accept();
}
