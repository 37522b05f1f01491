// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextDocumentDump.h"
#include "pasteboard/RtfReader.h"
#include "pasteboard/StyledText.h"

#include <QFile>
#include <QTest>
#include <QTextDocument>

using namespace Qt::StringLiterals;

static QString readText(const QByteArray &rtf, QString *dump = nullptr)
{
    QTextDocument document;
    RtfReader reader(&document);
    if (!reader.read(rtf))
        return u"<not rtf>"_s;
    if (dump)
        *dump = dumpDocument(document);
    return StyledText::plainText(document);
}

class tst_RtfReader : public QObject
{
    Q_OBJECT
private slots:
    void editorSamples_data()
    {
        // Documents as the editors wrote them, kept byte for byte.
        const auto sample = [](const char *name) {
            QFile file(
                QStringLiteral(QUILLSTACK_SOURCE_DIR "/tests/data/rtf/") + QLatin1String(name));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("dump");

        QTest::newRow("TextEdit")
            << sample("textedit.rtf") << u"Café costs 3€ and red bold\nlink"_s
            << u"<pt12>Café costs 3€ and <fg#fb0207,pt12>red<b,pt14,font:Times-Roman> bold|"
               "[center]<b,u,fg#fb0207,pt14,font:Times-Roman,href:https://example.com/a?b=1>link"_s;

        QTest::newRow("Word") << sample("word.rtf") << u"Price: 5€ net, see our site.\n"_s
                              << u"<pt11,font:Calibri>Price: 5€ "
                                 u"<b,pt11,font:Calibri>net<pt11,font:Calibri>, see "
                                 "<u,fg#0000ff,pt11,font:Calibri,href:https://example.com/>our site"
                                 "<bg#ffff00,pt11,font:Calibri>.|"_s;

        QTest::newRow("WordPad lists")
            << sample("wordpad-lists.rtf") << u"Intro\nfirst\nsecond\none\ntwo\n\n"_s
            << u"<pt11>Intro|[disc1]<pt11>first|[disc1]<pt11>second|"
               "[decimal1]<pt11>one|[decimal1]<pt11>two||"_s;

        QTest::newRow("LibreOffice")
            << sample("libreoffice.rtf")
            << u"Mixed bold, italic, underline, gone, red and marked ą.\napple\ngreen\nfirst\npear\n"_s
            << u"<pt12,font:Liberation Serif>Mixed <b,pt12,font:Liberation Serif>bold"
               "<pt12,font:Liberation Serif>, <i,pt12,font:Liberation Serif>italic"
               "<pt12,font:Liberation Serif>, <u,pt12,font:Liberation Serif>under"
               "<pt12,font:Liberation Serif>line, <s,pt12,font:Liberation Serif>gone"
               "<pt12,font:Liberation Serif>, <fg#ff0000,pt12,font:Liberation Serif>red"
               "<pt12,font:Liberation Serif> and <bg#ffff00,pt12,font:Liberation Serif>marked"
               "<pt12,font:Liberation Serif> <pt12,font:Liberation Sans CE>ą<pt12,font:Liberation "
               "Serif>.|"
               "[disc1]<pt12,font:Liberation Serif>apple|[circle2]<pt12,font:Liberation "
               "Serif>green|"
               "[alpha1]<pt12,font:Liberation Serif>first|[disc1]<pt12,font:Liberation Serif>pear|"_s;
    }

    void editorSamples()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QFETCH(QString, dump);
        QString actualDump;
        QCOMPARE(readText(rtf, &actualDump), text);
        QCOMPARE(actualDump, dump);
    }

    void snippets_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("dump");

        QTest::newRow("cp1251 document")
            << QByteArray(R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8\'e2\'e5\'f2})") << u"Привет"_s;
        QTest::newRow("mac charset") << QByteArray(R"({\rtf1\mac caf\'8e})") << u"café"_s;
        QTest::newRow("cp932 font") << QByteArray(
            R"({\rtf1\ansi{\fonttbl{\f0\fnil\fcharset128 \'82\'6c\'82\'72 Gothic;}}\f0 \'82\'a0\'93\'fa})")
                                    << u"あ日"_s;
        QTest::newRow("uc2 skips two bytes")
            << QByteArray(R"({\rtf1\ansi{\uc2\u26085\'93\'fa}x})") << u"日x"_s;
        QTest::newRow("uc resets per group") << QByteArray(R"({\rtf1{\uc2 a}\u233?b})") << u"aéb"_s;
        QTest::newRow("negative u") << QByteArray(R"({\rtf1\u-3913?})") << u"\uF0B7"_s;
        QTest::newRow("surrogate pair")
            << QByteArray(R"({\rtf1 \u-10179?\u-8704?!})") << u"\U0001F600!"_s;
        QTest::newRow("whole code point") << QByteArray(R"({\rtf1 \u128512?})") << u"\U0001F600"_s;
        QTest::newRow("lone surrogate") << QByteArray(R"({\rtf1 \u-10179?x})") << u"\uFFFDx"_s;
        QTest::newRow("breaks and symbols")
            << QByteArray(
                   R"({\rtf1 a\line b\tab c\~d\_e\-f\{\}\\\emdash\bullet\ldblquote q\rdblquote})")
            << u"a<br>b\tc\u00A0d\u2011e\u00ADf{}\\\u2014\u2022\u201Cq\u201D"_s;
        QTest::newRow("nested groups") << QByteArray(R"({\rtf1 {\b bold {\i both} bold}plain})")
                                       << u"<b>bold <b,i>both<b> bold"_s + u"plain"_s;
        QTest::newRow("plain resets, ulnone")
            << QByteArray(R"({\rtf1 \b\i\ul one\plain two \ul three\ulnone four\b0 five})")
            << u"<b,i,u>one"_s + u"two <u>three"_s + u"fourfive"_s;
        QTest::newRow("underline styles")
            << QByteArray(R"({\rtf1 {\uld dot}{\ulwave wave}{\ul0 none}})")
            << u"<u%1>dot<u%2>wave"_s.arg(int(QTextCharFormat::DotLine))
                    .arg(int(QTextCharFormat::WaveUnderline))
                + u"none"_s;
        QTest::newRow("colours by index") << QByteArray(
            R"({\rtf1{\colortbl;\red1\green2\blue3;\red300\green0\blue0;}{\cf1 a}{\cb2 b}{\cf9 c}{\cf0 d}})")
                                          << u"<fg#010203>a<bg#ff0000>b"_s + u"cd"_s;
        QTest::newRow("hidden text") << QByteArray(R"({\rtf1 a{\v secret}b})") << u"ab"_s;
        QTest::newRow("super and sub")
            << QByteArray(R"({\rtf1 x{\super 2}{\sub i}})") << u"x<sup>2<sub>i"_s;
        QTest::newRow("upr keeps the Unicode half")
            << QByteArray(R"({\rtf1 {\upr{ansi}{\*\ud{\u233?t\u233?}}}})") << u"été"_s;
        QTest::newRow("unknown destinations")
            << QByteArray(R"({\rtf1 a{\*\unknown b}{\header c}{\footnote d}{\pict\bin3 }}}}e}g})")
            << u"ae"_s;
        QTest::newRow("field without link")
            << QByteArray(R"({\rtf1 {\field{\*\fldinst PAGE}{\fldrslt 7}}})") << u"7"_s;
        QTest::newRow("link to bookmark")
            << QByteArray(R"({\rtf1 {\field{\*\fldinst HYPERLINK \\l "top"}{\fldrslt up}}})")
            << u"<href:#top>up"_s;
        QTest::newRow("table rows") << QByteArray(
            R"({\rtf1 \trowd\cellx1000\cellx2000\cellx3000\pard\intbl a\cell\cell c\cell\row\trowd\cellx1000\pard\intbl d\cell\row\pard after})")
                                    << u"a\t\tc|d|after"_s;
        QTest::newRow("marker list without table") << QByteArray(
            R"({\rtf1 {\listtext 1.\tab}one\par{\listtext 2.\tab}two\par plain\par{\listtext a)\tab}x})")
                                                   << u"[decimal1]one|[decimal1]two|plain|[alpha1]x"_s;
        QTest::newRow("nonsense sizes keep the size")
            << QByteArray(R"({\rtf1\fs30 a\fs-5 b\fs0 c\fs99999 d})") << u"<pt15>abc<pt1638>d"_s;
        QTest::newRow("alignment")
            << QByteArray(R"({\rtf1\pard\qr right\par\pard\qj just\par\pard left})")
            << u"[right]right|[justify]just|left"_s;

        // Damaged input: what can be read is kept, the rest dropped, nothing crashes.
        QTest::newRow("extra closing braces") << QByteArray(R"({\rtf1 abc}}}def)") << u"abc"_s;
        QTest::newRow("unclosed groups")
            << QByteArray(R"({\rtf1 {\b abc {\i def)") << u"<b>abc <b,i>def"_s;
        QTest::newRow("truncated word") << QByteArray(R"({\rtf1 abc\u)") << u"abc"_s;
        QTest::newRow("truncated hex") << QByteArray(R"({\rtf1 abc\'4)") << u"abc4"_s;
        QTest::newRow("bad hex") << QByteArray(R"({\rtf1 a\'zzb})") << u"azzb"_s;
        QTest::newRow("huge u") << QByteArray(R"({\rtf1 a\u99999999999?b})") << u"a\uFFFDb"_s;
        QTest::newRow("huge negative u")
            << QByteArray(R"({\rtf1 a\u-99999999999?b})") << u"a\uFFFDb"_s;
        QTest::newRow("u zero") << QByteArray(R"({\rtf1 a\u0?b})") << u"ab"_s;
        QTest::newRow("huge uc") << QByteArray(
            R"({\rtf1 \uc999999\u233 abcdefghijklmnopqrstuvwxyz})")
                                 << u"éqrstuvwxyz"_s;
        QTest::newRow("bin past the end") << QByteArray(R"({\rtf1 a\bin999999999 xyz})") << u"a"_s;
        QTest::newRow("negative bin") << QByteArray(R"({\rtf1 a\bin-5 b})") << u"ab"_s;
        static const char kControls[] = "{\\rtf1 a\0b\x01\x7f"
                                        "c}";
        QTest::newRow("nul and controls") << QByteArray(kControls, sizeof kControls - 1)
                                          << u"ab\x7f"
                                             "c"_s;
        QTest::newRow("colour index out of range")
            << QByteArray(R"({\rtf1{\colortbl;}\cf2147483647\cb-3 a})") << u"a"_s;
        QTest::newRow("frame characters")
            << QByteArray(R"({\rtf1 a\u-560?\u65532?\u8233?b})") << u"a<br>b"_s;
        QTest::newRow("fonttbl truncated") << QByteArray(R"({\rtf1{\fonttbl{\f0 Ari)") << u""_s;
        QTest::newRow("long word")
            << QByteArray("{\\rtf1 " + QByteArray(5000, 'x').prepend('\\') + " ok}") << u"ok"_s;
    }

    void snippets()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, dump);
        QString actual = u"<not rtf>"_s; // left as it is when the reader refuses
        readText(rtf, &actual);
        QCOMPARE(actual, dump);
    }

    void deepNestingIsBounded()
    {
        const int depth = 100000;
        const QByteArray rtf = "{\\rtf1 start" + QByteArray(depth, '{') + "\\b deep"
            + QByteArray(depth, '}') + "end}";
        QString dump;
        QCOMPARE(readText(rtf, &dump), u"startdeepend"_s);
        // Groups past the bound share the deepest state, so the bold leaks to
        // the end of that group rather than being lost or crashing.
        QVERIFY2(dump.contains(u"<b>deep"_s), qPrintable(dump));
        QVERIFY2(dump.startsWith(u"start"_s), qPrintable(dump));
    }

    void notRtf_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("plain text") << QByteArray("hello");
        QTest::newRow("html") << QByteArray("<html><body>x</body></html>");
        QTest::newRow("cut header") << QByteArray("{\\rt");
        QTest::newRow("text before") << QByteArray("x{\\rtf1 a}");
    }

    void notRtf()
    {
        QFETCH(QByteArray, bytes);
        QTextDocument document;
        document.setPlainText(u"old"_s);
        RtfReader reader(&document);
        QVERIFY(!reader.read(bytes));
        QVERIFY(document.isEmpty());
    }
};

QTEST_MAIN(tst_RtfReader)
#include "tst_RtfReader.moc"
