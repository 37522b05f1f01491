// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

// Images from other programs and from the media folder are untrusted: they
// are decoded only within a size and allocation cap, and never on the UI
// thread (these calls take as long as the decode does).
namespace ImageData {

// Larger images are refused: 8192x8192 (64 Mpixel, an 8K screen and more)
// at four bytes a pixel is all that one decode may allocate.
inline constexpr int maxImageSide = 16384;
inline constexpr qint64 maxImagePixels = qint64(8192) * 8192;

// The PNG to store for a PNG, TIFF, BMP, JPEG, GIF or WebP image: a PNG that
// decodes is kept as offered, other formats are converted. None when the
// bytes are not such an image, do not decode, or exceed the caps.
std::optional<QByteArray> pngData(const QByteArray &imageBytes);

// The image in a file, decoded within the caps and scaled to fit in `box`
// (never enlarged); a null image when it cannot be.
QImage thumbnail(const QString &path, QSize box);

} // namespace ImageData
