// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextDocumentDump.h"
#include "pasteboard/RtfReader.h"

#include <QFile>
#include <QTest>
#include <QTextDocument>

using namespace Qt::StringLiterals;

// What `rtf` reads as. A document the reader refuses is left empty.
static QString readDump(const QByteArray &rtf)
{
    QTextDocument document;
    document.setPlainText(u"old"_s);
    RtfReader reader(&document);
    return reader.read(rtf) || !document.isEmpty() ? dumpDocument(document) : u"<not rtf>"_s;
}

class tst_RtfReader : public QObject
{
    Q_OBJECT
private slots:
    void snippets_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("dump");
        const auto row = [](const char *name, const QByteArray &rtf, const QString &dump) {
            QTest::newRow(name) << rtf << dump;
        };

        // Documents as the editors wrote them, kept byte for byte.
        const auto sample = [](const char *name) {
            QFile file(
                QStringLiteral(QUILLSTACK_SOURCE_DIR "/tests/data/rtf/") + QLatin1String(name));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        row("TextEdit", sample("textedit.rtf"),
            u"<pt12>Café costs 3€ and <fg#fb0207,pt12>red<b,pt14,font:Times-Roman> bold|"
            "[center]<b,u,fg#fb0207,pt14,font:Times-Roman,href:https://example.com/a?b=1>link"_s);
        row("Word", sample("word.rtf"),
            u"<pt11,font:Calibri>Price: 5€ "
            u"<b,pt11,font:Calibri>net<pt11,font:Calibri>, see "
            "<u,fg#0000ff,pt11,font:Calibri,href:https://example.com/>our site"
            "<bg#ffff00,pt11,font:Calibri>.|"_s);
        row("WordPad lists", sample("wordpad-lists.rtf"),
            u"<pt11>Intro|[disc1]<pt11>first|[disc1]<pt11>second|"
            "[decimal1]<pt11>one|[decimal1]<pt11>two||"_s);
        row("LibreOffice", sample("libreoffice.rtf"),
            u"<pt12,font:Liberation Serif>Mixed <b,pt12,font:Liberation Serif>bold"
            "<pt12,font:Liberation Serif>, <i,pt12,font:Liberation Serif>italic"
            "<pt12,font:Liberation Serif>, <u,pt12,font:Liberation Serif>under"
            "<pt12,font:Liberation Serif>line, <s,pt12,font:Liberation Serif>gone"
            "<pt12,font:Liberation Serif>, <fg#ff0000,pt12,font:Liberation Serif>red"
            "<pt12,font:Liberation Serif> and <bg#ffff00,pt12,font:Liberation Serif>marked"
            "<pt12,font:Liberation Serif> <pt12,font:Liberation Sans CE>ą<pt12,font:Liberation "
            "Serif>.|"
            "[disc1]<pt12,font:Liberation Serif>apple|[circle2]<pt12,font:Liberation "
            "Serif>green|"
            "[alpha1]<pt12,font:Liberation Serif>first|[disc1]<pt12,font:Liberation Serif>pear|"_s);
        row("cp1251 document", R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8\'e2\'e5\'f2})", u"Привет"_s);
        row("mac charset", R"({\rtf1\mac caf\'8e})", u"café"_s);
        row("cp932 font",
            R"({\rtf1\ansi{\fonttbl{\f0\fnil\fcharset128 \'82\'6c\'82\'72 Gothic;}}\f0 \'82\'a0\'93\'fa})",
            u"あ日"_s);
        row("uc2 skips two bytes", R"({\rtf1\ansi{\uc2\u26085\'93\'fa}x})", u"日x"_s);
        row("uc resets per group", R"({\rtf1{\uc2 a}\u233?b})", u"aéb"_s);
        row("negative u", R"({\rtf1\u-3913?})", u"\uF0B7"_s);
        row("surrogate pair", R"({\rtf1 \u-10179?\u-8704?!})", u"\U0001F600!"_s);
        row("whole code point", R"({\rtf1 \u128512?})", u"\U0001F600"_s);
        row("lone surrogate", R"({\rtf1 \u-10179?x})", u"\uFFFDx"_s);
        row("breaks and symbols",
            R"({\rtf1 a\line b\tab c\~d\_e\-f\{\}\\\emdash\bullet\ldblquote q\rdblquote})",
            u"a<br>b\tc\u00A0d\u2011e\u00ADf{}\\\u2014\u2022\u201Cq\u201D"_s);
        row("nested groups", R"({\rtf1 {\b bold {\i both} bold}plain})",
            u"<b>bold <b,i>both<b> bold"_s + u"plain"_s);
        row("plain resets, ulnone",
            R"({\rtf1 \b\i\ul one\plain two \ul three\ulnone four\b0 five})",
            u"<b,i,u>one"_s + u"two <u>three"_s + u"fourfive"_s);
        row("underline styles", R"({\rtf1 {\uld dot}{\ulwave wave}{\ul0 none}})",
            u"<u%1>dot<u%2>wave"_s.arg(int(QTextCharFormat::DotLine))
                    .arg(int(QTextCharFormat::WaveUnderline))
                + u"none"_s);
        row("colours by index",
            R"({\rtf1{\colortbl;\red1\green2\blue3;\red300\green0\blue0;}{\cf1 a}{\cb2 b}{\cf9 c}{\cf0 d}})",
            u"<fg#010203>a<bg#ff0000>b"_s + u"cd"_s);
        row("hidden text", R"({\rtf1 a{\v secret}b})", u"ab"_s);
        row("super and sub", R"({\rtf1 x{\super 2}{\sub i}})", u"x<sup>2<sub>i"_s);
        row("upr keeps the Unicode half", R"({\rtf1 {\upr{ansi}{\*\ud{\u233?t\u233?}}}})",
            u"été"_s);
        row("unknown destinations",
            R"({\rtf1 a{\*\unknown b}{\header c}{\footnote d}{\pict\bin3 }}}}e}g})", u"ae"_s);
        row("field without link", R"({\rtf1 {\field{\*\fldinst PAGE}{\fldrslt 7}}})", u"7"_s);
        row("link to bookmark", R"({\rtf1 {\field{\*\fldinst HYPERLINK \\l "top"}{\fldrslt up}}})",
            u"<href:#top>up"_s);
        row("table rows",
            R"({\rtf1 \trowd\cellx1000\cellx2000\cellx3000\pard\intbl a\cell\cell c\cell\row\trowd\cellx1000\pard\intbl d\cell\row\pard after})",
            u"a\t\tc|d|after"_s);
        row("marker list without table",
            R"({\rtf1 {\listtext 1.\tab}one\par{\listtext 2.\tab}two\par plain\par{\listtext a)\tab}x})",
            u"[decimal1]one|[decimal1]two|plain|[alpha1]x"_s);
        row("nonsense sizes keep the size", R"({\rtf1\fs30 a\fs-5 b\fs0 c\fs99999 d})",
            u"<pt15>abc<pt1638>d"_s);
        row("alignment", R"({\rtf1\pard\qr right\par\pard\qj just\par\pard left})",
            u"[right]right|[justify]just|left"_s);

        // Damaged input: what can be read is kept, the rest dropped, nothing crashes.
        row("extra closing braces", R"({\rtf1 abc}}}def)", u"abc"_s);
        row("unclosed groups", R"({\rtf1 {\b abc {\i def)", u"<b>abc <b,i>def"_s);
        row("truncated word", R"({\rtf1 abc\u)", u"abc"_s);
        row("truncated hex", R"({\rtf1 abc\'4)", u"abc4"_s);
        row("bad hex", R"({\rtf1 a\'zzb})", u"azzb"_s);
        row("huge u", R"({\rtf1 a\u99999999999?b})", u"a\uFFFDb"_s);
        row("huge negative u", R"({\rtf1 a\u-99999999999?b})", u"a\uFFFDb"_s);
        row("u zero", R"({\rtf1 a\u0?b})", u"ab"_s);
        row("huge uc", R"({\rtf1 \uc999999\u233 abcdefghijklmnopqrstuvwxyz})", u"éqrstuvwxyz"_s);
        row("bin past the end", R"({\rtf1 a\bin999999999 xyz})", u"a"_s);
        row("negative bin", R"({\rtf1 a\bin-5 b})", u"ab"_s);
        static const char kControls[] = "{\\rtf1 a\0b\x01\x7f"
                                        "c}";
        row("nul and controls", QByteArray(kControls, sizeof kControls - 1),
            u"ab\x7f"
            "c"_s);
        row("colour index out of range", R"({\rtf1{\colortbl;}\cf2147483647\cb-3 a})", u"a"_s);
        row("frame characters", R"({\rtf1 a\u-560?\u65532?\u8233?b})", u"a<br>b"_s);
        row("fonttbl truncated", R"({\rtf1{\fonttbl{\f0 Ari)", u""_s);
        row("long word", QByteArray("{\\rtf1 " + QByteArray(5000, 'x').prepend('\\') + " ok}"),
            u"ok"_s);
        // Groups past the bound share the deepest state, so the bold leaks
        // past their end rather than being lost or crashing.
        row("deep nesting is bounded",
            "{\\rtf1 start" + QByteArray(100000, '{') + "\\b deep" + QByteArray(100000, '}')
                + "end}",
            u"start<b>deepend"_s);
        for (const char *bytes :
            { "", "hello", "<html><body>x</body></html>", "{\\rt", "x{\\rtf1 a}" })
            QTest::addRow("not RTF: %s", bytes) << QByteArray(bytes) << u"<not rtf>"_s;
    }

    void snippets()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, dump);
        QCOMPARE(readDump(rtf), dump);
    }
};

QTEST_MAIN(tst_RtfReader)
#include "tst_RtfReader.moc"
