// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/HistoryListAccessible.h"

#include "ui/ClipListModel.h"
#include "ui/ClipRowView.h"
#include "ui/HistoryListView.h"

#include <QAccessibleWidget>
#include <QPointer>

namespace {

QAccessibleInterface *listInterface(HistoryListView *list)
{
    return QAccessible::queryAccessibleInterface(list);
}

// Rows and buttons are looked up anew from the list each time: they hold a
// row number and nothing that a reload could leave dangling.
class RowPart : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    RowPart(HistoryListView *list, int row, ClipRowView::Hit hit)
        : m_list(list)
        , m_row(row)
        , m_hit(hit)
    {
    }

    bool isValid() const override
    {
        return m_list && m_list->model() && m_row < m_list->model()->rowCount();
    }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_list ? m_list->window()->windowHandle() : nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override
    {
        if (!m_list)
            return nullptr;
        if (m_hit == ClipRowView::Hit::none)
            return listInterface(m_list);
        return listInterface(m_list)->child(m_row);
    }
    QAccessibleInterface *child(int index) const override
    {
        if (m_hit != ClipRowView::Hit::none || index < 0 || index > 1)
            return nullptr;
        return cached(m_list, m_row,
            index == 0 ? ClipRowView::Hit::editButton : ClipRowView::Hit::deleteButton);
    }
    int childCount() const override { return m_hit == ClipRowView::Hit::none ? 2 : 0; }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (int i = 0; i < childCount(); ++i) {
            if (this->child(i) == child)
                return i;
        }
        return -1;
    }
    QString text(QAccessible::Text t) const override
    {
        if (!isValid() || (t != QAccessible::Name && t != QAccessible::Description))
            return QString();
        const QModelIndex index = m_list->model()->index(m_row, 0);
        if (m_hit == ClipRowView::Hit::none) {
            return t == QAccessible::Name ? index.data(Qt::DisplayRole).toString()
                                          : index.data(ClipListModel::TimestampRole).toString();
        }
        if (t != QAccessible::Name)
            return QString();
        return ClipRowView::buttonToolTip(
            ClipKind(index.data(ClipListModel::KindRole).toInt()), m_hit);
    }
    void setText(QAccessible::Text, const QString &) override { }
    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        const QRect row = m_list->visualRect(m_list->model()->index(m_row, 0));
        const ClipRowView::Layout parts = ClipRowView::layout(row, false);
        const QRect local = m_hit == ClipRowView::Hit::editButton ? parts.editButton
            : m_hit == ClipRowView::Hit::deleteButton             ? parts.deleteButton
                                                                  : row;
        return QRect(m_list->viewport()->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override
    {
        return m_hit == ClipRowView::Hit::none ? QAccessible::ListItem : QAccessible::Button;
    }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.invisible = !isValid();
        return state;
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ActionInterface && m_hit != ClipRowView::Hit::none)
            return static_cast<QAccessibleActionInterface *>(this);
        return nullptr;
    }

    QStringList actionNames() const override
    {
        return m_hit == ClipRowView::Hit::none ? QStringList() : QStringList { pressAction() };
    }
    void doAction(const QString &name) override
    {
        if (name == pressAction() && isValid() && m_hit != ClipRowView::Hit::none)
            m_list->clickButton(m_row, m_hit);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

    // One interface per part for the life of the list, as Qt's cache wants.
    static QAccessibleInterface *cached(HistoryListView *list, int row, ClipRowView::Hit hit)
    {
        if (!list || row < 0 || !list->model() || row >= list->model()->rowCount())
            return nullptr;
        const QString key = QStringLiteral("quillstack-row-%1-%2").arg(row).arg(int(hit));
        QVariant id = list->property(key.toLatin1().constData());
        if (id.isValid()) {
            if (QAccessibleInterface *found
                = QAccessible::accessibleInterface(QAccessible::Id(id.toUInt())))
                return found;
        }
        auto *part = new RowPart(list, row, hit);
        const QAccessible::Id newId = QAccessible::registerAccessibleInterface(part);
        list->setProperty(key.toLatin1().constData(), newId);
        return part;
    }

private:
    QPointer<HistoryListView> m_list;
    int m_row;
    ClipRowView::Hit m_hit;
};

class ListInterface : public QAccessibleWidget
{
public:
    explicit ListInterface(HistoryListView *list)
        : QAccessibleWidget(list, QAccessible::List)
    {
    }

    HistoryListView *list() const { return static_cast<HistoryListView *>(widget()); }
    int childCount() const override { return list()->model() ? list()->model()->rowCount() : 0; }
    QAccessibleInterface *child(int index) const override
    {
        return RowPart::cached(list(), index, ClipRowView::Hit::none);
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (int i = 0; i < childCount(); ++i) {
            if (this->child(i) == child)
                return i;
        }
        return -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QModelIndex index = list()->indexAt(list()->viewport()->mapFromGlobal(QPoint(x, y)));
        return index.isValid() ? child(index.row()) : nullptr;
    }
};

} // namespace

QAccessibleInterface *historyListAccessible(const QString &, QObject *object)
{
    if (auto *list = qobject_cast<HistoryListView *>(object))
        return new ListInterface(list);
    return nullptr;
}
