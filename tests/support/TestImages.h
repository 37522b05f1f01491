// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>

// An image of one colour as a program offers it, encoded in format ("PNG",
// "BMP", "TIFF"); with alpha where the colour is not opaque.
inline QByteArray encodedImage(
    const char *format = "PNG", QSize size = QSize(5, 4), QColor color = QColor(1, 2, 3, 4))
{
    QImage image(size, color.alpha() == 255 ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}
