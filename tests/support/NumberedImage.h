// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QBuffer>
#include <QImage>
#include <QString>

// Images that tell which copy they came from by their pixels, which survive
// the store compressing them again, and large enough that preparing one
// takes a while.
namespace NumberedImage {

inline QByteArray png(int number)
{
    QImage image(640, 400, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb((x * 7 + number) & 0xff, (y * 13 + x * x) & 0xff, (x ^ y) & 0xff);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    // Uncompressed: a large transfer.
    image.save(&buffer, "PNG", 100);
    return bytes;
}

// The number of the image stored at path, -1 when it does not decode.
inline int number(const QString &path)
{
    const QImage image(path);
    return image.isNull() ? -1 : qRed(image.pixel(0, 0));
}

} // namespace NumberedImage
