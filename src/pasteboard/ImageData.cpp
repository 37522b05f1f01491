// SPDX-License-Identifier: GPL-3.0-or-later
#include "pasteboard/ImageData.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QMutex>
#include <QSet>

#include <mutex>

namespace ImageData {

namespace {

QtMessageHandler previousHandler = nullptr;

// Broken images make the image libraries print the same complaint on every
// decode ("libpng error: ..."); the log gets each one once.
void logLibraryMessagesOnce(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (text.startsWith(QLatin1String("libpng")) || text.startsWith(QLatin1String("libtiff"))
        || text.startsWith(QLatin1String("libjpeg"))) {
        static QMutex mutex;
        static QSet<QString> seen;
        QMutexLocker lock(&mutex);
        if (seen.contains(text) || seen.size() > 1000)
            return;
        seen.insert(text);
    }
    if (previousHandler)
        previousHandler(type, context, text);
}

void prepareDecoding()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // The process-wide allocation limit matches the pixel cap, so that
        // no decoder may allocate more than the largest image let through.
        QImageReader::setAllocationLimit(int(maxImagePixels * 4 / (1024 * 1024)) + 1);
        previousHandler = qInstallMessageHandler(logLibraryMessagesOnce);
    });
}

bool tooLarge(QSize size)
{
    return size.width() > maxImageSide || size.height() > maxImageSide
        || qint64(size.width()) * size.height() > maxImagePixels;
}

// Only the formats that clipboards carry: the other decoders see little
// untrusted input and need not be exposed to it.
bool isClipboardFormat(const QByteArray &format)
{
    static const QByteArrayList formats
        = { "png", "tiff", "tif", "bmp", "dib", "jpeg", "jpg", "gif", "webp" };
    return formats.contains(format.toLower());
}

// Reads the image within the caps, looking at the declared size first.
QImage decode(QImageReader &reader)
{
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (!isClipboardFormat(reader.format()))
        return {};
    const QSize declared = reader.size();
    if (declared.isValid() && tooLarge(declared))
        return {};
    QImage image = reader.read();
    if (image.isNull() || tooLarge(image.size()))
        return {};
    return image;
}

} // namespace

std::optional<QByteArray> pngData(const QByteArray &imageBytes)
{
    if (imageBytes.isEmpty())
        return std::nullopt;
    prepareDecoding();
    QBuffer buffer;
    buffer.setData(imageBytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    QImageReader reader(&buffer);
    const QImage image = decode(reader);
    if (image.isNull())
        return std::nullopt;
    if (reader.format().toLower() == "png")
        return imageBytes;
    QByteArray png;
    QBuffer out(&png);
    if (!out.open(QIODevice::WriteOnly) || !image.save(&out, "PNG"))
        return std::nullopt;
    return png;
}

QImage thumbnail(const QString &path, QSize box)
{
    prepareDecoding();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&file);
    const QImage image = decode(reader);
    if (image.isNull())
        return {};
    if (image.width() <= box.width() && image.height() <= box.height())
        return image;
    return image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

} // namespace ImageData
