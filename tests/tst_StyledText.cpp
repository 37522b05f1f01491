// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextDocumentDump.h"
#include "model/Clip.h"
#include "pasteboard/ImageData.h"
#include "pasteboard/RtfReader.h"
#include "pasteboard/StyledText.h"

#include <QBuffer>
#include <QImage>
#include <QStringEncoder>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QtEndian>

using namespace Qt::StringLiterals;

static std::unique_ptr<QTextDocument> documentFrom(const QString &source, bool html)
{
    auto document = std::make_unique<QTextDocument>();
    if (html)
        document->setHtml(source);
    else
        document->setPlainText(source);
    return document;
}

static QString htmlPlainText(const QByteArray &html)
{
    const auto document = StyledText::attributedStringFromHTML(html);
    return document ? StyledText::plainText(*document) : u"<none>"_s;
}

// Four colours, so that palette formats keep every pixel.
static QImage testImage(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    const QRgb colours[]
        = { qRgb(255, 0, 0), qRgb(0, 128, 0), qRgb(0, 0, 255), qRgb(250, 250, 250) };
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, colours[(x / 4 + y / 3) % 4]);
    }
    return image;
}

// The CRC that PNG chunks end with.
static quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xffffffff;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320 & (0u - (crc & 1)));
    }
    return ~crc;
}

// A 24-bit BMP written by hand, so that the header can claim any size.
static QByteArray bmp(qint32 width, qint32 height, bool withPixels)
{
    const qint64 rowBytes = (qint64(width) * 3 + 3) / 4 * 4;
    const qint64 pixelBytes = withPixels ? rowBytes * height : 0;
    QByteArray bytes(54, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    qToLittleEndian<quint32>(quint32(54 + pixelBytes), bytes.data() + 2);
    qToLittleEndian<quint32>(54, bytes.data() + 10);
    qToLittleEndian<quint32>(40, bytes.data() + 14);
    qToLittleEndian<qint32>(width, bytes.data() + 18);
    qToLittleEndian<qint32>(height, bytes.data() + 22);
    qToLittleEndian<quint16>(1, bytes.data() + 26);
    qToLittleEndian<quint16>(24, bytes.data() + 28);
    bytes.append(QByteArray(pixelBytes, '\x7f'));
    return bytes;
}

class tst_StyledText : public QObject
{
    Q_OBJECT
private slots:
    void rtfRoundTrip_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("html");
        QTest::addColumn<QString>("dump"); // read back; empty: as the original

        QTest::newRow("character formats")
            << u"<p><b>bold</b> <i>italic</i> <u>under</u> <s>strike</s> x<sup>2</sup>y<sub>i</sub>"
               "<b><i><u>all</u></i></b></p>"_s
            << true << QString();
        QTest::newRow("colours")
            << u"<p><span style='color:#123456'>fg</span> <span "
               "style='background-color:#ffff00'>bg</span> <span "
               "style='color:#ff0000;background-color:#00ff00'>both</span></p>"_s
            << true << QString();
        QTest::newRow("sizes and fonts")
            << u"<p><span style='font-size:15pt'>big</span> <span "
               u"style='font-size:7.5pt'>half</span> "
               "<span style=\"font-family:'DejaVu Serif'\">serif</span> "
               "<span style=\"font-family:'Noto Sans CJK JP'; font-size:20pt\">日本</span></p>"_s
            << true << QString();
        QTest::newRow("links")
            << u"<p>see <a href='https://example.com/?q=a&amp;b=%22'>this "
               "<b>page</b></a> or <a href='mailto:x@example.com'>mail</a>.</p>"_s
            << true << QString();
        QTest::newRow("lists")
            << u"<ul><li>one</li><li>two<ol><li>inner</li><li>inner <b>2</b></li>"
               "</ol></li><li>three</li></ul><p>between</p><ol type='a'><li>a</li>"
               "</ol><ol type='I'><li>r</li></ol><ul type='square'><li>sq</li></ul>"_s
            << true << QString();
        QTest::newRow("alignment and breaks")
            << u"<p align=center>c</p><p align=right>r</p><p align=justify>j</p><p>a<br>b</p>"_s
            << true << QString();
        QTest::newRow("special characters")
            << u"{braces} \\back\\slash\ttab\u00A0nbsp café €uro “q” 日本 😀 \u00AD\u2011 ; \"x\""_s
            << false << QString();
        // Pixel sizes at 96 dpi; relative HTML sizes scale RTF's 12 pt default.
        QTest::newRow("pixel size")
            << u"<span style='font-size:20px'>px</span>"_s << true << u"<pt15>px"_s;
        QTest::newRow("heading") << u"<h1>Head</h1>"_s << true << u"<b,pt24>Head"_s;
        QTest::newRow("table")
            << u"<table><tr><td>1</td><td><b>2</b></td></tr><tr><td colspan=2>3</td>"
               "</tr></table><p>after</p>"_s
            << true << u"|1\t<b>2|3||after"_s;
        QTest::newRow("empty paragraphs") << u"a\n\n\nb\n"_s << false << QString();
    }

    void rtfRoundTrip()
    {
        QFETCH(QString, source);
        QFETCH(bool, html);
        const auto original = documentFrom(source, html);
        const auto rtf = StyledText::rtfData(*original);
        QVERIFY(rtf);
        QVERIFY(rtf->startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0"));
        const auto readBack = StyledText::documentFromRtf(*rtf);
        QVERIFY(readBack);
        QFETCH(QString, dump);
        if (!dump.isEmpty()) {
            QCOMPARE(dumpDocument(*readBack), dump);
            return;
        }
        QCOMPARE(StyledText::plainText(*readBack), StyledText::plainText(*original));
        QCOMPARE(dumpDocument(*readBack), dumpDocument(*original));
    }

    void rtfWriterOutput_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("cp1252 letters") << u"café"_s << QByteArray("caf\\'e9");
        QTest::newRow("cp1252 upper range") << u"€“"_s << QByteArray("\\'80\\'93");
        QTest::newRow("outside cp1252") << u"日ą"_s << QByteArray("\\u26085?\\u261?");
        QTest::newRow("astral as signed pair") << u"😀"_s << QByteArray("\\u-10179?\\u-8704?");
        QTest::newRow("syntax characters") << u"{\\}"_s << QByteArray("\\{\\\\\\}");
        QTest::newRow("tab and line break") << u"a\tb\u2028c"_s << QByteArray("a\\tab b\\line c");
        QTest::newRow("controls dropped") << u"a\x01\x1f"
                                             "b"_s
                                          << QByteArray(" ab");
    }

    void rtfWriterOutput()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, expected);
        QTextDocument document;
        QTextCursor(&document).insertText(text);
        const QByteArray rtf = StyledText::rtfData(document).value_or(QByteArray());
        QVERIFY2(rtf.contains(expected), rtf.constData());
        for (const char c : rtf)
            QVERIFY2(uchar(c) < 0x80, "RTF output must be 7-bit");
    }

    void htmlDecoding_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("stored"); // as the history keeps it; null: not compared

        const QString sample = u"<p>café ✓ 日</p>"_s;
        const QByteArray utf8 = sample.toUtf8();
        QTest::newRow("UTF-16 LE with BOM")
            << "\xFF\xFE" + QByteArray(QStringEncoder(QStringEncoder::Utf16LE)(sample))
            << u"café ✓ 日"_s << utf8;
        QTest::newRow("UTF-16 BE with BOM")
            << "\xFE\xFF" + QByteArray(QStringEncoder(QStringEncoder::Utf16BE)(sample))
            << u"café ✓ 日"_s << utf8;
        QTest::newRow("UTF-8 with BOM")
            << "\xEF\xBB\xBF" + utf8 << u"café ✓ 日"_s << "\xEF\xBB\xBF" + utf8;
        QTest::newRow("UTF-8") << utf8 << u"café ✓ 日"_s << utf8;
        QTest::newRow("meta charset windows-1252")
            << QByteArray("<html><head><meta charset=\"windows-1252\"></head><p>caf\xe9 \x80</p>")
            << u"café €"_s
            << QByteArray("\xEF\xBB\xBF<html><head><meta charset=\"windows-1252\"></head><p>"
                          "caf\xc3\xa9 \xe2\x82\xac</p>");
        QTest::newRow("declared charset, ASCII bytes")
            << QByteArray("<meta charset=windows-1252><p>cafe</p>") << u"cafe"_s
            << QByteArray("<meta charset=windows-1252><p>cafe</p>");
        QTest::newRow("http-equiv iso-8859-2")
            << QByteArray("<meta http-equiv=\"Content-Type\" content=\"text/html; "
                          "charset=ISO-8859-2\"><p>\xb1</p>")
            << u"ą"_s << QByteArray();
        QTest::newRow("meta shift_jis")
            << QByteArray("<meta charset=shift_jis><p>\x82\xa0</p>") << u"あ"_s << QByteArray();
        QTest::newRow("UTF-16 label on ASCII bytes")
            << QByteArray("<meta charset='utf-16'><p>caf\xc3\xa9</p>") << u"café"_s << QByteArray();
        QTest::newRow("unknown label") << QByteArray("<meta charset='x-bogus'><p>caf\xc3\xa9</p>")
                                       << u"café"_s << QByteArray();
        QTest::newRow("invalid UTF-8 reads as windows-1252")
            << QByteArray("<p>caf\xe9 \x93q\x94</p>") << u"café “q”"_s
            << QByteArray("<p>caf\xc3\xa9 \xe2\x80\x9cq\xe2\x80\x9d</p>");
        QTest::newRow("meta after the first kilobyte is ignored")
            << "<!--" + QByteArray(1100, '-') + "--><meta charset=windows-1251><p>\xcf</p>"
            << u"Ï"_s << QByteArray();
        QTest::newRow("paragraphs and breaks")
            << "<p>a<br>b</p><p>c</p>"_ba << u"a\nb\nc"_s << QByteArray();
        QTest::newRow("table rows") << "<p>x</p><table><tr><td>1</td><td>2</td></tr><tr><td>3</td>"
                                       "<td>4</td></tr></table>"_ba
                                    << u"x\n1\t2\n3\t4\n"_s << QByteArray();
        QTest::newRow("image dropped") << "x<img src='a.png'>y"_ba << u"xy"_s << QByteArray();
        QTest::newRow("no-break space kept") << "a&nbsp;b"_ba << u"a\u00A0b"_s << QByteArray();
    }

    void htmlDecoding()
    {
        QFETCH(QByteArray, html);
        QFETCH(QString, text);
        QFETCH(QByteArray, stored);
        QCOMPARE(htmlPlainText(html), text);
        // What is stored is UTF-8 or says its charset, and reads back the same.
        const QByteArray decoded = StyledText::decodeHtmlBytes(html);
        if (!stored.isNull())
            QCOMPARE(decoded, stored);
        QCOMPARE(htmlPlainText(decoded), text);
    }

    void emptyResults()
    {
        QVERIFY(!StyledText::attributedStringFromHTML(QByteArray()));
        QVERIFY(!StyledText::attributedStringFromHTML("<html><body></body></html>"));
        QVERIFY(StyledText::attributedStringFromHTML("<html><body>x</body></html>"));
        QVERIFY(!StyledText::documentFromRtf("{\\rtf1 {\\*\\generator x}}"));
        QVERIFY(!StyledText::documentFromRtf("plain text"));
        QVERIFY(StyledText::documentFromRtf("{\\rtf1 x}"));
        const QTextDocument empty;
        QVERIFY(!StyledText::rtfData(empty));
        QVERIFY(!StyledText::htmlData(empty));
        const auto document = documentFrom(u"<b>x</b>"_s, true);
        const auto html = StyledText::htmlData(*document);
        QVERIFY(html);
        const auto readBack = StyledText::attributedStringFromHTML(*html);
        QCOMPARE(StyledText::plainText(*readBack), u"x"_s);
        QCOMPARE(readBack->begin().begin().fragment().charFormat().fontWeight(), int(QFont::Bold));
    }

    void carriesFormatting_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<bool>("formatted");

        QTest::newRow("plain paragraphs") << u"<p>one</p><p>two</p>"_s << false;
        QTest::newRow("font, size and alignment")
            << u"<p align=center style='font-family:serif; font-size:20pt'>x</p>"_s << false;
        QTest::newRow("medium weight") << u"<span style='font-weight:500'>x</span>"_s << false;
        QTest::newRow("named anchor") << u"<a name='here'>x</a>"_s << false;
        QTest::newRow("semibold") << u"plain <span style='font-weight:600'>x</span>"_s << true;
        QTest::newRow("bold") << u"plain <b>x</b>"_s << true;
        QTest::newRow("italic") << u"plain <i>x</i>"_s << true;
        QTest::newRow("underline") << u"plain <u>x</u>"_s << true;
        QTest::newRow("strike") << u"plain <s>x</s>"_s << true;
        QTest::newRow("foreground") << u"plain <span style='color:red'>x</span>"_s << true;
        QTest::newRow("background") << u"plain <span style='background:yellow'>x</span>"_s << true;
        QTest::newRow("link") << u"plain <a href='https://example.com'>x</a>"_s << true;
        QTest::newRow("image") << u"plain <img src='x.png'>"_s << true;
        QTest::newRow("list") << u"<p>plain</p><ul><li>x</li></ul>"_s << true;
        QTest::newRow("table") << u"<p>plain</p><table><tr><td>x</td></tr></table>"_s << true;
    }

    void carriesFormatting()
    {
        QFETCH(QString, html);
        QFETCH(bool, formatted);
        QCOMPARE(StyledText::documentCarriesFormatting(*documentFrom(html, true)), formatted);
    }

    void attributedText_data()
    {
        QTest::addColumn<std::optional<QByteArray>>("rtf");
        QTest::addColumn<std::optional<QByteArray>>("html");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("rtfFromHtml");

        const std::optional<QByteArray> none;
        const std::optional<QByteArray> rtf = QByteArray("{\\rtf1 from {\\b rtf}}");
        const std::optional<QByteArray> html = QByteArray("<p>from <i>html</i></p>");
        const std::optional<QByteArray> emptyRtf = QByteArray("{\\rtf1 {\\info{\\title t}}}");
        const std::optional<QByteArray> emptyHtml = QByteArray("<html></html>");
        QTest::newRow("RTF first") << rtf << html << u"from rtf"_s << false;
        QTest::newRow("RTF only") << rtf << none << u"from rtf"_s << false;
        QTest::newRow("empty RTF falls to HTML") << emptyRtf << html << u"from html"_s << false;
        QTest::newRow("bytes that are not RTF")
            << std::optional(QByteArray("x")) << html << u"from html"_s << false;
        QTest::newRow("zero-length RTF")
            << std::optional(QByteArray()) << html << u"from html"_s << false;
        QTest::newRow("HTML only") << none << html << u"from html"_s << false;
        QTest::newRow("neither") << none << none << u"<none>"_s << false;
        QTest::newRow("both empty") << emptyRtf << emptyHtml << u"<none>"_s << false;
        QTest::newRow("RTF made from the HTML: the HTML first")
            << rtf << html << u"from html"_s << true;
        QTest::newRow("RTF made from HTML that no longer parses")
            << rtf << emptyHtml << u"from rtf"_s << true;
    }

    void attributedText()
    {
        QFETCH(std::optional<QByteArray>, rtf);
        QFETCH(std::optional<QByteArray>, html);
        QFETCH(QString, text);
        QFETCH(bool, rtfFromHtml);
        Clip clip;
        clip.text = u"ignored"_s;
        clip.rtf = rtf;
        clip.html = html;
        clip.rtfFromHtml = rtfFromHtml;
        const auto document = StyledText::attributedText(clip);
        QCOMPARE(document ? StyledText::plainText(*document) : u"<none>"_s, text);
    }

    void pngDataDecodes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("lossless");

        const QSize size(37, 23);
        for (const char *format : { "TIFF", "BMP", "PNG", "JPEG", "WEBP" }) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QVERIFY(testImage(size).save(&buffer, format));
            const bool lossless = qstrcmp(format, "JPEG") != 0 && qstrcmp(format, "WEBP") != 0;
            QTest::newRow(format) << bytes << size << lossless;
        }
        // Qt writes no GIF: the smallest well-known one, a single pixel.
        static const char kGif[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00"
                                   "!\xf9\x04\x01\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00"
                                   "\x00\x02\x02"
                                   "D\x01\x00;";
        QTest::newRow("GIF") << QByteArray(kGif, sizeof kGif - 1) << QSize(1, 1) << false;
        QTest::newRow("hand-made BMP") << bmp(100, 50, true) << QSize(100, 50) << false;

        // Refused: not an image, or one too large to decode.
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        testImage(QSize(64, 64)).save(&buffer, "PNG");

        QTest::newRow("empty") << QByteArray() << QSize() << false;
        QTest::newRow("text") << QByteArray("this is not an image at all") << QSize() << false;
        QTest::newRow("truncated PNG") << png.left(60) << QSize() << false;
        QTest::newRow("XPM is not a clipboard format") << QByteArray(
            "/* XPM */\nstatic const char *x[] = {\"1 1 1 1\", \"a c #ff0000\", \"a\"};\n")
                                                       << QSize() << false;
        QTest::newRow("wider than the side limit")
            << bmp(ImageData::maxImageSide + 1, 1, true) << QSize() << false;
        QTest::newRow("header claims a bomb") << bmp(60000, 60000, false) << QSize() << false;
        QTest::newRow("PNG signature, then garbage")
            << QByteArray("\x89PNG\r\n\x1a\n").append(QByteArray(4000, 'g')) << QSize() << false;
        // A valid header chunk claiming 100000x100000 pixels, and no pixels.
        QByteArray claim = png.left(33);
        qToBigEndian<quint32>(100000, claim.data() + 16);
        qToBigEndian<quint32>(100000, claim.data() + 20);
        qToBigEndian<quint32>(crc32(claim.mid(12, 17)), claim.data() + 29);
        QTest::newRow("PNG header claims 100000x100000") << claim + png.mid(33) << QSize() << false;
    }

    void pngDataDecodes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        QFETCH(bool, lossless);
        const auto png = ImageData::pngData(bytes);
        QCOMPARE(png.has_value(), size.isValid());
        if (!png)
            return;
        QVERIFY(png->startsWith("\x89PNG\r\n\x1a\n"));
        const QImage decoded = QImage::fromData(*png, "PNG");
        QCOMPARE(decoded.size(), size);
        if (lossless)
            QCOMPARE(decoded.convertToFormat(QImage::Format_RGB32), testImage(size));
    }
};

QTEST_MAIN(tst_StyledText)
#include "tst_StyledText.moc"
