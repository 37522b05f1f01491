// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StatusIcon.h"

#include <QPainter>
#include <QPixmap>

namespace StatusIcon {

namespace {

QPixmap drawClipboard(int size, bool paused)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    if (paused)
        painter.setOpacity(0.55);

    const QColor ink(0x3b, 0x42, 0x52);
    QPen pen(ink, 2.4);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(QColor(0xec, 0xef, 0xf4));
    painter.drawRoundedRect(QRectF(6, 5, 20, 24), 3, 3);
    // The clip at the top.
    painter.setBrush(ink);
    painter.drawRoundedRect(QRectF(11, 2.5, 10, 5), 1.5, 1.5);
    // Lines of text.
    painter.setPen(QPen(ink, 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(11, 14), QPointF(21, 14));
    painter.drawLine(QPointF(11, 19), QPointF(21, 19));
    painter.drawLine(QPointF(11, 24), QPointF(17, 24));
    if (paused) {
        painter.setOpacity(1);
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        painter.drawRoundedRect(QRectF(17, 16, 5, 15), 1.5, 1.5);
        painter.drawRoundedRect(QRectF(25, 16, 5, 15), 1.5, 1.5);
    }
    return pixmap;
}

QIcon themedOrBuiltIn(const QString &name, bool paused)
{
    // Without Qt's SVG plugin neither the theme's icon nor ours can be drawn.
    const QIcon builtIn(QStringLiteral(":/icons/%1.svg").arg(name));
    if (builtIn.pixmap(22).isNull())
        return fallbackIcon(paused);
    return QIcon::fromTheme(name, builtIn);
}

} // namespace

QIcon fallbackIcon(bool paused)
{
    QIcon icon;
    for (int size : { 16, 22, 24, 32, 48, 64 })
        icon.addPixmap(drawClipboard(size, paused));
    return icon;
}

QIcon icon()
{
    return themedOrBuiltIn(QStringLiteral("io.github.quillstack.Quillstack-symbolic"), false);
}

QIcon pausedIcon()
{
    return themedOrBuiltIn(QStringLiteral("io.github.quillstack.Quillstack-paused-symbolic"), true);
}

} // namespace StatusIcon
