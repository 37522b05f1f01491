// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ClipStore.h"
#include "pasteboard/Pasteboard.h"
#include "pasteboard/PasteboardMonitor.h"

#include <QBuffer>
#include <QImage>
#include <QProcess>
#include <QTest>

#include <functional>
#include <utility>

// Over and over: a program copies a large image and quits after a hold,
// another copies a text at once; at the end a last copy. The image is still
// being prepared when its program quits and is put back once it is ready;
// the holds (0.05 to 0.8 s) move that moment across the text's read. Every
// image and text must be recorded, in the order copied. The images tell
// which copy they came from by their pixels, which survive the store
// compressing them again.
class QuitThenCopySequence
{
public:
    using Offers = QList<std::pair<QString, QByteArray>>;
    // Starts an owner of exactly these types; returns once it owns the clipboard.
    std::function<QProcess *(const Offers &)> startOwner;
    // What the owner calls its text type.
    QString textType;
    // Copies with the platform's usual tool and returns once it has.
    std::function<bool(const QByteArray &)> copy;

    void run(Pasteboard &pasteboard, PasteboardMonitor &monitor, ClipStore &store, int rounds)
    {
        const auto texts = [&store] {
            QStringList out;
            for (const Clip &clip : store.clips())
                out.append(clip.text.value_or(QString()));
            return out;
        };
        QStringList expected;
        for (int i = 0; i < rounds; ++i) {
            QProcess *imageOwner = startOwner({ { PasteboardType::png, png(i) } });
            QVERIFY(imageOwner);
            // Read whole: from here on its program may quit.
            QTRY_VERIFY_WITH_TIMEOUT(pasteboard.dataForType(PasteboardType::png), 10000);
            // The hold is what is varied, not a wait for anything: it moves
            // the owner's quit across the image's preparation. What is
            // checked is only the outcome, whichever way each round falls.
            QTest::qWait(50 + (i * 7 % 16) * 50);
            imageOwner->kill();
            imageOwner->waitForFinished(5000);

            const QByteArray text = "text after image " + QByteArray::number(i);
            QProcess *textOwner = startOwner({ { textType, text } });
            QVERIFY(textOwner);
            // Until the text is recorded or its owner lost the clipboard.
            QTRY_VERIFY_WITH_TIMEOUT(texts().contains(QString::fromLatin1(text))
                    || textOwner->state() == QProcess::NotRunning,
                10000);
            // Likewise varied: the text's owner quits at a different moment
            // after its copy was read.
            QTest::qWait(50 + (i * 3 % 4) * 50);
            textOwner->kill();
            textOwner->waitForFinished(5000);
            expected.prepend(QStringLiteral("image %1").arg(i));
            expected.prepend(QString::fromLatin1(text));
        }
        QVERIFY(copy("sentinel"));
        QTRY_COMPARE_WITH_TIMEOUT(texts().value(0), QStringLiteral("sentinel"), 10000);
        monitor.finishPending();
        expected.prepend(QStringLiteral("sentinel"));
        QStringList recorded;
        for (const Clip &clip : store.clips()) {
            recorded.append(clip.kind == ClipKind::image
                    ? QStringLiteral("image %1").arg(number(store.imagePath(clip)))
                    : clip.text.value_or(QString()));
        }
        QCOMPARE(recorded, expected);
    }

private:
    // Large enough that preparing it takes a while; uncompressed, so that
    // its transfer is large too.
    static QByteArray png(int number)
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
        image.save(&buffer, "PNG", 100);
        return bytes;
    }

    // The number of the image stored at path, -1 when it does not decode.
    static int number(const QString &path)
    {
        const QImage image(path);
        return image.isNull() ? -1 : qRed(image.pixel(0, 0));
    }
};
