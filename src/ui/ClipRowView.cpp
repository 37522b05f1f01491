// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ClipRowView.h"

#include "pasteboard/ImageData.h"
#include "ui/ClipListModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolTip>

namespace {

constexpr int thumbnailLeft = 8;
constexpr int textAfterThumbnail = 8;
constexpr int textWithoutThumbnail = 10;
constexpr int buttonsRight = 10;
constexpr int buttonSpacing = 6;
constexpr int textBeforeButtons = 8;
constexpr int lineSpacing = 2;
constexpr int iconSize = 16;
constexpr int keepMarkWidth = 10;
constexpr int keepMarkHeight = 14;
constexpr qreal thumbnailRadius = 4;
constexpr qreal selectionRadius = 6;
// Enough for every image clip a history normally holds; each entry is a few
// kilobytes.
constexpr int thumbnailCacheEntries = 1000;

QFont dateFont(const QFont &base)
{
    // The date line is smaller than the preview in the proportion 10 : 12.
    QFont font = base;
    if (base.pointSizeF() > 0)
        font.setPointSizeF(base.pointSizeF() * 10 / 12);
    else
        font.setPixelSize(std::max(1, base.pixelSize() * 10 / 12));
    return font;
}

void paintPencil(QPainter *painter, const QRectF &box, const QColor &color)
{
    painter->save();
    painter->translate(box.center());
    painter->rotate(-45);
    QPen pen(color, 1.2);
    pen.setJoinStyle(Qt::RoundJoin);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(QRectF(-6.5, -2, 10, 4));
    painter->drawPolygon(QPolygonF({ QPointF(3.5, -2), QPointF(7, 0), QPointF(3.5, 2) }));
    painter->restore();
}

void paintTrash(QPainter *painter, const QRectF &box, const QColor &color)
{
    painter->save();
    painter->translate(box.center());
    QPen pen(color, 1.2);
    pen.setJoinStyle(Qt::RoundJoin);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawLine(QPointF(-6, -4.5), QPointF(6, -4.5));
    painter->drawRect(QRectF(-2, -7, 4, 2.5));
    painter->drawPolygon(
        QPolygonF({ QPointF(-4.5, -4.5), QPointF(4.5, -4.5), QPointF(3.5, 7), QPointF(-3.5, 7) }));
    painter->drawLine(QPointF(-1.5, -2), QPointF(-1.5, 5));
    painter->drawLine(QPointF(1.5, -2), QPointF(1.5, 5));
    painter->restore();
}

} // namespace

ClipRowView::ClipRowView(QObject *parent)
    : QStyledItemDelegate(parent)
    , m_editIcon(QIcon::fromTheme(
          QStringLiteral("document-edit"), QIcon::fromTheme(QStringLiteral("document-properties"))))
    , m_deleteIcon(QIcon::fromTheme(QStringLiteral("edit-delete")))
    , m_thumbnails(thumbnailCacheEntries)
{
}

ClipRowView::Layout ClipRowView::layout(const QRect &row, bool hasThumbnail)
{
    Layout result;
    const int buttonTop = row.top() + (row.height() - buttonSize) / 2;
    const int deleteLeft = row.left() + row.width() - buttonsRight - buttonSize;
    result.deleteButton = QRect(deleteLeft, buttonTop, buttonSize, buttonSize);
    result.editButton
        = QRect(deleteLeft - buttonSpacing - buttonSize, buttonTop, buttonSize, buttonSize);

    // Above the buttons, where no text runs: a ribbon over the delete button
    // says the clip is kept, out of the limits' and Clear History's reach.
    result.keepMark = QRect(result.deleteButton.center().x() - keepMarkWidth / 2 + 1, row.top() + 2,
        keepMarkWidth, keepMarkHeight);

    int textLeft = row.left() + textWithoutThumbnail;
    if (hasThumbnail) {
        result.thumbnail = QRect(row.left() + thumbnailLeft,
            row.top() + (row.height() - thumbnailSize) / 2, thumbnailSize, thumbnailSize);
        textLeft = result.thumbnail.left() + thumbnailSize + textAfterThumbnail;
    }
    const int textRight = result.editButton.left() - textBeforeButtons;
    result.text = QRect(textLeft, row.top(), std::max(0, textRight - textLeft), row.height());
    return result;
}

ClipRowView::Hit ClipRowView::hitTest(const QRect &row, const QPoint &pos)
{
    // The buttons sit at the same place whether or not there is a thumbnail.
    const Layout parts = layout(row, false);
    if (parts.editButton.contains(pos))
        return Hit::editButton;
    if (parts.deleteButton.contains(pos))
        return Hit::deleteButton;
    return Hit::none;
}

QStringList ClipRowView::previewLines(const QString &preview, const QFont &font, int width)
{
    if (width <= 0 || preview.isEmpty())
        return {};
    QTextLayout textLayout(preview, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    textLayout.setTextOption(option);
    textLayout.beginLayout();
    QTextLine first = textLayout.createLine();
    first.setLineWidth(width);
    textLayout.endLayout();

    const int firstEnd = first.textStart() + first.textLength();
    if (firstEnd >= preview.size())
        return { preview };
    const QString rest = preview.mid(firstEnd).trimmed();
    QStringList lines { preview.left(firstEnd).trimmed() };
    if (!rest.isEmpty())
        lines.append(QFontMetrics(font).elidedText(rest, Qt::ElideRight, width));
    return lines;
}

QString ClipRowView::buttonToolTip(ClipKind kind, Hit hit)
{
    switch (hit) {
    case Hit::editButton:
        return kind == ClipKind::image ? qtTrId("clip.view") : qtTrId("clip.edit");
    case Hit::deleteButton:
        return qtTrId("clip.delete");
    case Hit::none:
        break;
    }
    return QString();
}

std::optional<QPixmap> ClipRowView::thumbnail(
    const QModelIndex &index, qreal devicePixelRatio) const
{
    const QString path = index.data(ClipListModel::ImagePathRole).toString();
    if (path.isEmpty())
        return QPixmap();
    const QUuid id = index.data(ClipListModel::IdRole).toUuid();
    if (const QPixmap *cached = m_thumbnails.object(id)) {
        if (cached->isNull() || qFuzzyCompare(cached->devicePixelRatio(), devicePixelRatio))
            return *cached;
    }
    if (m_loading.contains(id))
        return std::nullopt;
    m_loading.insert(id);
    const int side = qRound(thumbnailSize * devicePixelRatio);
    m_loader.submit([this, id, path, side, devicePixelRatio]() -> OrderedWorker::Finish {
        QImage image = ImageData::thumbnail(path, QSize(side, side));
        return [this, id, image = std::move(image), devicePixelRatio] {
            QPixmap result;
            if (!image.isNull()) {
                result = QPixmap::fromImage(image);
                result.setDevicePixelRatio(devicePixelRatio);
            }
            // A file that cannot be read is remembered too, so that it is
            // not read again at every paint.
            m_thumbnails.insert(id, new QPixmap(result));
            m_loading.remove(id);
            emit const_cast<ClipRowView *>(this)->thumbnailLoaded();
        };
    });
    return std::nullopt;
}

ClipRowView::Layout ClipRowView::rowLayout(
    const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const qreal ratio
        = option.widget ? option.widget->devicePixelRatioF() : qApp->devicePixelRatio();
    // A thumbnail still being read keeps its place.
    const std::optional<QPixmap> image = thumbnail(index, ratio);
    return layout(option.rect, !image || !image->isNull());
}

void ClipRowView::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    // The panel works without being the active window, so its rows keep the
    // active colours instead of the dimmed inactive ones.
    const QPalette &palette = option.palette;
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    if (selected) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(palette.brush(QPalette::Active, QPalette::Highlight));
        painter->drawRoundedRect(QRectF(option.rect), selectionRadius, selectionRadius);
    }
    const QColor primary
        = palette.color(QPalette::Active, selected ? QPalette::HighlightedText : QPalette::Text);
    QColor secondary = primary;
    secondary.setAlphaF(0.6F);

    const qreal ratio
        = option.widget ? option.widget->devicePixelRatioF() : qApp->devicePixelRatio();
    const std::optional<QPixmap> loaded = thumbnail(index, ratio);
    const QPixmap image = loaded.value_or(QPixmap());
    const Layout parts = layout(option.rect, !loaded || !image.isNull());

    if (!image.isNull()) {
        const QSizeF size = image.deviceIndependentSize();
        const QRectF target(parts.thumbnail.left() + (parts.thumbnail.width() - size.width()) / 2,
            parts.thumbnail.top() + (parts.thumbnail.height() - size.height()) / 2, size.width(),
            size.height());
        QPainterPath rounded;
        rounded.addRoundedRect(target, thumbnailRadius, thumbnailRadius);
        painter->save();
        painter->setClipPath(rounded, Qt::IntersectClip);
        painter->drawPixmap(target.topLeft(), image);
        painter->restore();
    }

    const QFont previewFont = option.font;
    const QFont smallFont = dateFont(option.font);
    const QFontMetrics previewMetrics(previewFont);
    const QFontMetrics dateMetrics(smallFont);
    const QStringList lines
        = previewLines(index.data(Qt::DisplayRole).toString(), previewFont, parts.text.width());
    const int height
        = int(lines.size()) * previewMetrics.lineSpacing() + lineSpacing + dateMetrics.height();
    int y = parts.text.top() + (parts.text.height() - height) / 2;

    painter->setPen(primary);
    painter->setFont(previewFont);
    for (const QString &line : lines) {
        painter->drawText(QPoint(parts.text.left(), y + previewMetrics.ascent()), line);
        y += previewMetrics.lineSpacing();
    }
    y += lineSpacing;
    painter->setPen(secondary);
    painter->setFont(smallFont);
    const QString date = dateMetrics.elidedText(
        index.data(ClipListModel::TimestampRole).toString(), Qt::ElideRight, parts.text.width());
    painter->drawText(QPoint(parts.text.left(), y + dateMetrics.ascent()), date);

    if (index.data(ClipListModel::KeptRole).toBool()) {
        paintKeepMark(painter, parts.keepMark,
            selected ? primary : palette.color(QPalette::Active, QPalette::Highlight));
    }
    paintButton(painter, parts.editButton, Hit::editButton, secondary);
    paintButton(painter, parts.deleteButton, Hit::deleteButton, secondary);
    painter->restore();
}

void ClipRowView::paintButton(
    QPainter *painter, const QRect &rect, Hit hit, const QColor &color) const
{
    const QIcon &icon = hit == Hit::editButton ? m_editIcon : m_deleteIcon;
    if (!icon.isNull()) {
        const QRect iconRect(rect.left() + (rect.width() - iconSize) / 2,
            rect.top() + (rect.height() - iconSize) / 2, iconSize, iconSize);
        icon.paint(painter, iconRect);
    } else if (hit == Hit::editButton) {
        paintPencil(painter, QRectF(rect), color);
    } else {
        paintTrash(painter, QRectF(rect), color);
    }
}

void ClipRowView::paintKeepMark(QPainter *painter, const QRect &rect, const QColor &color)
{
    // A bookmark ribbon: a band with a notch cut into its lower end.
    const QRectF r(rect);
    painter->save();
    painter->setPen(Qt::NoPen);
    painter->setBrush(color);
    painter->drawPolygon(QPolygonF({ r.topLeft(), r.topRight(), r.bottomRight(),
        QPointF(r.center().x(), r.bottom() - r.width() / 2), r.bottomLeft() }));
    painter->restore();
}

QSize ClipRowView::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    // The width is the least the list allows; the list widens rows to its own
    // width.
    return QSize(200, rowHeight);
}

bool ClipRowView::helpEvent(QHelpEvent *event, QAbstractItemView *view,
    const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const Hit hit = hitTest(option.rect, event->pos());
    const auto kind = ClipKind(index.data(ClipListModel::KindRole).toInt());
    const QString text = buttonToolTip(kind, hit);
    if (text.isEmpty()) {
        // The clip's own text is never read as markup.
        const QString tip = index.data(Qt::ToolTipRole).toString();
        QToolTip::showText(event->globalPos(),
            Qt::mightBeRichText(tip) ? Qt::convertFromPlainText(tip, Qt::WhiteSpaceNormal) : tip,
            view->viewport(), option.rect);
        return true;
    }
    const Layout parts = layout(option.rect, false);
    const QRect area = hit == Hit::editButton ? parts.editButton : parts.deleteButton;
    QToolTip::showText(event->globalPos(), text, view->viewport(), area);
    return true;
}
