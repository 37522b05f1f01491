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

static QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, format))
        qFatal("cannot write %s", format);
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
        QTest::addColumn<QByteArray>("written"); // found in the RTF, which is 7-bit
        const auto html = [](const char *name, const QString &source, const QString &dump = {}) {
            QTest::newRow(name) << source << true << dump << QByteArray();
        };
        const auto plain = [](const char *name, const QString &text, const QByteArray &written = {},
                               const QString &dump = {}) {
            QTest::newRow(name) << text << false << dump << written;
        };
        html("character formats",
            u"<p><b>bold</b> <i>italic</i> <u>under</u> <s>strike</s> x<sup>2</sup>y<sub>i</sub>"
            "<b><i><u>all</u></i></b></p>"_s);
        html("colours",
            u"<p><span style='color:#123456'>fg</span> <span style='background-color:#ffff00'>bg"
            "</span> <span style='color:#ff0000;background-color:#00ff00'>both</span></p>"_s);
        html("sizes and fonts",
            u"<p><span style='font-size:15pt'>big</span> <span style='font-size:7.5pt'>half</span> "
            "<span style=\"font-family:'DejaVu Serif'\">serif</span> "
            "<span style=\"font-family:'Noto Sans CJK JP'; font-size:20pt\">日本</span></p>"_s);
        html("links",
            u"<p>see <a href='https://example.com/?q=a&amp;b=%22'>this "
            "<b>page</b></a> or <a href='mailto:x@example.com'>mail</a>.</p>"_s);
        html("lists",
            u"<ul><li>one</li><li>two<ol><li>inner</li><li>inner <b>2</b></li>"
            "</ol></li><li>three</li></ul><p>between</p><ol type='a'><li>a</li>"
            "</ol><ol type='I'><li>r</li></ol><ul type='square'><li>sq</li></ul>"_s);
        html("alignment and breaks",
            u"<p align=center>c</p><p align=right>r</p><p align=justify>j</p><p>a<br>b</p>"_s);
        // Pixel sizes at 96 dpi; relative HTML sizes scale RTF's 12 pt default.
        html("pixel size", u"<span style='font-size:20px'>px</span>"_s, u"<pt15>px"_s);
        html("heading", u"<h1>Head</h1>"_s, u"<b,pt24>Head"_s);
        html("table",
            u"<table><tr><td>1</td><td><b>2</b></td></tr><tr><td colspan=2>3</td>"
            "</tr></table><p>after</p>"_s,
            u"|1\t<b>2|3||after"_s);
        plain("special characters",
            u"{braces} \\back\\slash\ttab\u00A0nbsp café €uro “q” 日本 😀 \u00AD\u2011 ; \"x\""_s);
        plain("empty paragraphs", u"a\n\n\nb\n"_s);
        plain("cp1252 letters", u"café"_s, "caf\\'e9");
        plain("cp1252 upper range", u"€“"_s, "\\'80\\'93");
        plain("outside cp1252", u"日ą"_s, "\\u26085?\\u261?");
        plain("astral as signed pair", u"😀"_s, "\\u-10179?\\u-8704?");
        plain("syntax characters", u"{\\}"_s, "\\{\\\\\\}");
        plain("tab and line break", u"a\tb\u2028c"_s, "a\\tab b\\line c");
        plain("controls dropped",
            u"a\x01\x1f"
            "b"_s,
            " ab", u"ab"_s);
    }

    void rtfRoundTrip()
    {
        QFETCH(QString, source);
        QFETCH(bool, html);
        const auto original = documentFrom(source, html);
        const auto rtf = StyledText::rtfData(*original);
        QVERIFY(rtf);
        QVERIFY(rtf->startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0"));
        QFETCH(QByteArray, written);
        QVERIFY2(rtf->contains(written), rtf->constData());
        QVERIFY2(std::all_of(rtf->begin(), rtf->end(), [](char c) { return uchar(c) < 0x80; }),
            rtf->constData());
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

    void htmlDecoding_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("stored"); // as the history keeps it; null: not compared
        const auto row
            = [](const char *name, const QByteArray &html, const QString &text,
                  const QByteArray &stored = {}) { QTest::newRow(name) << html << text << stored; };
        const QString sample = u"<p>café ✓ 日</p>"_s;
        const QByteArray utf8 = sample.toUtf8();
        row("UTF-16 BE with BOM",
            "\xFE\xFF" + QByteArray(QStringEncoder(QStringEncoder::Utf16BE)(sample)),
            u"café ✓ 日"_s, utf8);
        row("UTF-8 with BOM", "\xEF\xBB\xBF" + utf8, u"café ✓ 日"_s, "\xEF\xBB\xBF" + utf8);
        row("UTF-8", utf8, u"café ✓ 日"_s, utf8);
        row("meta charset windows-1252",
            "<html><head><meta charset=\"windows-1252\"></head><p>caf\xe9 \x80</p>", u"café €"_s,
            "\xEF\xBB\xBF<html><head><meta charset=\"windows-1252\"></head><p>caf\xc3\xa9 "
            "\xe2\x82\xac</p>");
        row("declared charset, ASCII bytes", "<meta charset=windows-1252><p>cafe</p>", u"cafe"_s,
            "<meta charset=windows-1252><p>cafe</p>");
        row("http-equiv iso-8859-2",
            "<meta http-equiv=\"Content-Type\" content=\"text/html; "
            "charset=ISO-8859-2\"><p>\xb1</p>",
            u"ą"_s);
        row("meta shift_jis", "<meta charset=shift_jis><p>\x82\xa0</p>", u"あ"_s);
        row("UTF-16 label on ASCII bytes", "<meta charset='utf-16'><p>caf\xc3\xa9</p>", u"café"_s);
        row("unknown label", "<meta charset='x-bogus'><p>caf\xc3\xa9</p>", u"café"_s);
        row("invalid UTF-8 reads as windows-1252", "<p>caf\xe9 \x93q\x94</p>", u"café “q”"_s,
            "<p>caf\xc3\xa9 \xe2\x80\x9cq\xe2\x80\x9d</p>");
        row("meta after the first kilobyte is ignored",
            "<!--" + QByteArray(1100, '-') + "--><meta charset=windows-1251><p>\xcf</p>", u"Ï"_s);
        row("paragraphs and breaks", "<p>a<br>b</p><p>c</p>", u"a\nb\nc"_s);
        row("table rows",
            "<p>x</p><table><tr><td>1</td><td>2</td></tr><tr><td>3</td><td>4</td></tr></table>",
            u"x\n1\t2\n3\t4\n"_s);
        row("image dropped", "x<img src='a.png'>y", u"xy"_s);
        row("no-break space kept", "a&nbsp;b", u"a\u00A0b"_s);
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

    // An empty document has no renderings to offer.
    void emptyDocument()
    {
        const QTextDocument empty;
        QVERIFY(!StyledText::rtfData(empty));
        QVERIFY(!StyledText::htmlData(empty));
    }

    void carriesFormatting_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<bool>("formatted");

        for (const char *html : { "<p>one</p><p>two</p>",
                 "<p align=center style='font-family:serif; font-size:20pt'>x</p>",
                 "<span style='font-weight:500'>x</span>", "<a name='here'>x</a>" })
            QTest::newRow(html) << QString::fromLatin1(html) << false;
        for (const char *html : { "<span style='font-weight:600'>x</span>", "<b>x</b>", "<i>x</i>",
                 "<u>x</u>", "<s>x</s>", "<span style='color:red'>x</span>",
                 "<span style='background:yellow'>x</span>", "<a href='https://example.com'>x</a>",
                 "<img src='x.png'>", "<ul><li>x</li></ul>", "<table><tr><td>x</td></tr></table>" })
            QTest::newRow(html) << u"<p>plain</p>"_s + QString::fromLatin1(html) << true;
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
            const bool lossless = qstrcmp(format, "JPEG") != 0 && qstrcmp(format, "WEBP") != 0;
            QTest::newRow(format) << encoded(testImage(size), format) << size << lossless;
        }
        // Qt writes no GIF: the smallest well-known one, a single pixel.
        static const char kGif[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00"
                                   "!\xf9\x04\x01\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00"
                                   "\x00\x02\x02"
                                   "D\x01\x00;";
        QTest::newRow("GIF") << QByteArray(kGif, sizeof kGif - 1) << QSize(1, 1) << false;

        // Refused: not an image, or one too large to decode.
        const QByteArray png = encoded(testImage(QSize(64, 64)), "PNG");
        QByteArray bomb = encoded(testImage(QSize(1, 1)), "BMP"); // its header claims 60000x60000
        qToLittleEndian<qint32>(60000, bomb.data() + 18);
        qToLittleEndian<qint32>(60000, bomb.data() + 22);
        QTest::newRow("empty") << QByteArray() << QSize() << false;
        QTest::newRow("text") << QByteArray("this is not an image at all") << QSize() << false;
        QTest::newRow("truncated PNG") << png.left(60) << QSize() << false;
        QTest::newRow("XPM is not a clipboard format") << QByteArray(
            "/* XPM */\nstatic const char *x[] = {\"1 1 1 1\", \"a c #ff0000\", \"a\"};\n")
                                                       << QSize() << false;
        QTest::newRow("wider than the side limit")
            << encoded(testImage(QSize(ImageData::maxImageSide + 1, 1)), "PNG") << QSize() << false;
        QTest::newRow("header claims a bomb") << bomb << QSize() << false;
        QTest::newRow("PNG signature, then garbage")
            << QByteArray("\x89PNG\r\n\x1a\n").append(QByteArray(4000, 'g')) << QSize() << false;
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
