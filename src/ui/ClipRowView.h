// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Clip.h"
#include "model/OrderedWorker.h"

#include <QCache>
#include <QIcon>
#include <QPixmap>
#include <QSet>
#include <QStyledItemDelegate>
#include <QUuid>

#include <optional>

// Paints one row of the history list: the preview in up to two lines, the
// date line under it, a thumbnail on the left for image clips and the edit
// and delete buttons on the right. Rows are painted, not built from widgets,
// so the cost of a list grows with the rows on screen only. The row makes no
// decision: the list asks hitTest() which part of a row was clicked.
class ClipRowView : public QStyledItemDelegate
{
    Q_OBJECT
public:
    enum class Hit { none, editButton, deleteButton };

    struct Layout
    {
        QRect thumbnail; // empty when the row has no thumbnail
        QRect text; // the column of the preview and the date line
        QRect editButton;
        QRect deleteButton;
        QRect keepMark; // where a kept clip's ribbon hangs from the row's top
    };

    static constexpr int rowHeight = 60;
    static constexpr int thumbnailSize = 36;
    static constexpr int buttonSize = 22;

    explicit ClipRowView(QObject *parent = nullptr);

    static Layout layout(const QRect &row, bool hasThumbnail);
    static Hit hitTest(const QRect &row, const QPoint &pos);
    // The preview as painted in a column `width` wide: at most two lines, the
    // second one elided at its end when the text goes on.
    static QStringList previewLines(const QString &preview, const QFont &font, int width);
    // The tooltip of a row's button; empty outside the buttons.
    static QString buttonToolTip(ClipKind kind, Hit hit);

    // The row's thumbnail, kept per clip: null when the clip has no image or
    // its file does not decode, none while it is still being read. The
    // first request reads the file on a worker, so that no image, however
    // large, holds up painting; thumbnailLoaded() says when it is there.
    std::optional<QPixmap> thumbnail(const QModelIndex &index, qreal devicePixelRatio) const;
    Layout rowLayout(const QStyleOptionViewItem &option, const QModelIndex &index) const;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
        const QModelIndex &index) override;

signals:
    void thumbnailLoaded();

private:
    void paintButton(QPainter *painter, const QRect &rect, Hit hit, const QColor &color) const;
    static void paintKeepMark(QPainter *painter, const QRect &rect, const QColor &color);

    QIcon m_editIcon;
    QIcon m_deleteIcon;
    mutable QCache<QUuid, QPixmap> m_thumbnails;
    mutable QSet<QUuid> m_loading;
    mutable OrderedWorker m_loader;
};
