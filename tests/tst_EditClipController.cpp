// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreFixture.h"
#include "TestImages.h"
#include "pasteboard/StyledText.h"
#include "ui/EditClipController.h"
#include "ui/Translations.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QLineEdit>
#include <QTest>
#include <QTextEdit>

using namespace Qt::StringLiterals;

namespace {

const QByteArray wordRtf = "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fswiss Arial;}}"
                           "\\f0\\fs24 Hello {\\b bold} world\\par}";
const QRect largeScreen(0, 0, 2560, 1415);
const QRect laptop(0, 25, 1440, 875);

// A store over a temporary folder, open.
struct Fixture
{
    Clip add(const ClipContent &content) { return StoreFixture::add(store, content); }

    StoreFixture fx;
    ClipStore &store = fx.open();
};

ClipContent files()
{
    ClipContent content = StoreFixture::text(u"/home/ann/a.txt\n/home/ann/b.txt"_s);
    content.kind = ClipKind::fileURLs;
    return content;
}

} // namespace

Q_DECLARE_METATYPE(ClipContent)
Q_DECLARE_METATYPE(std::optional<QSize>)

class tst_EditClipController : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(installTranslations(*QCoreApplication::instance())); }

    void modes_data()
    {
        QTest::addColumn<ClipContent>("content");
        QTest::addColumn<bool>("editing");
        QTest::addColumn<bool>("rich");
        QTest::addColumn<QString>("shown");
        QTest::newRow("text with RTF edits rich text") << StoreFixture::text(u"Hello bold world"_s,
            wordRtf) << true << true << u"Hello bold world\n"_s;
        QTest::newRow("plain text edits plain text")
            << StoreFixture::text(u"let x = 1;"_s) << true << false << u"let x = 1;"_s;
        QTest::newRow("files list their paths")
            << files() << true << false << u"/home/ann/a.txt\n/home/ann/b.txt"_s;
        QTest::newRow("images are viewed")
            << StoreFixture::image(encodedImage("PNG", QSize(400, 300), Qt::red)) << false << false
            << QString();
    }

    void modes()
    {
        QFETCH(ClipContent, content);
        QFETCH(bool, editing);
        QFETCH(bool, rich);
        Fixture f;
        EditClipController editor(f.add(content), f.store, largeScreen);
        QCOMPARE(editor.isEditMode(), editing);
        QCOMPARE(editor.isRichText(), rich);
        QCOMPARE(editor.windowTitle(), qtTrId(editing ? "edit.textTitle" : "edit.imageTitle"));
        if (!editing) {
            // Laid out from the image's header; the pixels follow from a worker.
            QCOMPARE(editor.size(), QSize(432, 384));
            QVERIFY(!editor.isImageShown());
            QTRY_VERIFY(editor.isImageShown());
            return;
        }
        QFETCH(QString, shown);
        QCOMPARE(StyledText::plainText(*editor.textView()->document()), shown);
        // Plain text asks for the desktop's fixed-width font. The request is
        // compared: fontconfig lists no spacing for some monospaced fonts.
        if (!rich)
            QCOMPARE(editor.textView()->font().family(),
                QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    }

    // The keep mark changes at once and is not taken back; Save stores the
    // text, every other way of closing leaves it; each reports the close.
    void save_data()
    {
        QTest::addColumn<ClipContent>("content");
        QTest::addColumn<QString>("newText"); // null: unchanged
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("savedText");
        QTest::addColumn<bool>("renderings");
        const ClipContent rich = StoreFixture::text(u"Hello bold world"_s, wordRtf);
        const ClipContent draft = StoreFixture::text(u"draft"_s);
        QTest::newRow("rich text unchanged gets fresh renderings")
            << rich << QString() << u"save"_s << u"Hello bold world\n"_s << true;
        QTest::newRow("plain text edited gets none")
            << draft << u"final"_s << u"save"_s << u"final"_s << false;
        QTest::newRow("rich text cleared gets none")
            << rich << u""_s << u"save"_s << u""_s << false;
        QTest::newRow("Cancel") << draft << u"changed"_s << u"cancel"_s << u"draft"_s << false;
        QTest::newRow("Escape") << draft << u"changed"_s << u"escape"_s << u"draft"_s << false;
        QTest::newRow("close button") << draft << u"changed"_s << u"close"_s << u"draft"_s << false;
    }

    void save()
    {
        QFETCH(ClipContent, content);
        QFETCH(QString, newText);
        QFETCH(QString, how);
        QFETCH(bool, renderings);
        Fixture f;
        const Clip clip = f.add(content);
        EditClipController editor(clip, f.store, largeScreen);
        int closed = 0;
        editor.setOnClose([&closed] { ++closed; });
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        editor.keepCheckbox()->click();
        QVERIFY(f.store.clip(clip.id)->isKept);
        if (!newText.isNull()) {
            editor.textView()->selectAll();
            editor.textView()->textCursor().insertText(newText);
        }
        if (how == QLatin1String("save"))
            editor.save();
        else if (how == QLatin1String("cancel"))
            editor.cancel();
        else if (how == QLatin1String("escape"))
            QTest::keyClick(editor.textView(), Qt::Key_Escape);
        else
            editor.close();

        const Clip saved = *f.store.clip(clip.id);
        QFETCH(QString, savedText);
        QCOMPARE(saved.text, std::optional<QString>(savedText));
        QVERIFY(saved.isKept);
        QCOMPARE(saved.rtf.has_value(), renderings);
        QCOMPARE(saved.html.has_value(), renderings);
        // Written by us from the edited text, not the clip's own bytes.
        if (renderings)
            QVERIFY(saved.rtf != clip.rtf && saved.html->contains("font-weight"));
        QVERIFY(!editor.isVisible());
        QCOMPARE(closed, 1);
    }

    void findBar()
    {
        Fixture f;
        EditClipController editor(
            f.add(StoreFixture::text(u"one two one"_s)), f.store, largeScreen);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QTest::keyClick(editor.textView(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(editor.findField()->isVisible());
        QTest::keyClicks(editor.findField(), u"one"_s);
        QCOMPARE(editor.textView()->textCursor().selectionStart(), 0);
        QVERIFY(editor.findNext());
        QCOMPARE(editor.textView()->textCursor().selectionStart(), 8);
        QVERIFY(editor.findNext()); // wraps around
        QCOMPARE(editor.textView()->textCursor().selectionStart(), 0);
        // Escape closes the bar, not the window.
        QTest::keyClick(editor.findField(), Qt::Key_Escape);
        QVERIFY(!editor.findField()->isVisible());
        QVERIFY(editor.isVisible());
    }

    void imageContentSize_data()
    {
        QTest::addColumn<std::optional<QSize>>("image");
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QSize>("content");
        QTest::newRow("100 x 50 is widened to 280")
            << std::optional(QSize(100, 50)) << largeScreen << QSize(312, 224);
        QTest::newRow("tall: as high as the screen allows, 280 wide")
            << std::optional(QSize(100, 5000)) << laptop << QSize(312, 775);
        QTest::newRow("wide: as wide as the screen allows")
            << std::optional(QSize(5000, 100)) << laptop << QSize(1376, 111);
        QTest::newRow("zero size: 280 at 3:4")
            << std::optional(QSize(0, 0)) << laptop << QSize(312, 294);
        QTest::newRow("missing: 480 at 2:3") << std::optional<QSize>() << laptop << QSize(512, 404);
        QTest::newRow("tiny screen: the least window")
            << std::optional(QSize(1000, 1000)) << QRect(0, 0, 300, 200) << QSize(312, 260);
    }

    void imageContentSize()
    {
        QFETCH(std::optional<QSize>, image);
        QFETCH(QRect, screen);
        QFETCH(QSize, content);
        QCOMPARE(EditClipController::imageContentSize(image, screen), content);
    }
};

QTEST_MAIN(tst_EditClipController)
#include "tst_EditClipController.moc"
