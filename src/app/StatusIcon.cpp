// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StatusIcon.h"

#include <QPainter>
#include <QPixmap>

namespace StatusIcon {

namespace {

// The built-in icons' drawing, in their 16-unit grid: a dark board and
// lines that read on a light panel, a white sheet that reads on a dark one.
QPixmap drawClipboard(int size, bool paused)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
    painter.setPen(Qt::NoPen);

    const QColor ink(0x24, 0x1f, 0x31);
    painter.setBrush(ink);
    painter.drawRoundedRect(QRectF(1.5, 2, 13, 13.5), 2, 2);
    painter.drawRoundedRect(QRectF(4.5, 0.5, 7, 3.5), 1.25, 1.25);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(3, 4.5, 10, 9.5), 0.75, 0.75);
    painter.setBrush(ink);
    painter.drawRect(QRectF(4.75, 6.5, 6.5, 1.5));
    if (!paused) {
        painter.drawRect(QRectF(4.75, 10, 4.5, 1.5));
        return pixmap;
    }
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(11, 11), 5, 5);
    painter.setBrush(QColor(0xc0, 0x1c, 0x28));
    painter.drawEllipse(QPointF(11, 11), 4, 4);
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(9, 9, 1.5, 4));
    painter.drawRect(QRectF(11.5, 9, 1.5, 4));
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
