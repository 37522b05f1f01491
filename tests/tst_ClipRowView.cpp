#include "ClipRowView.h"
#include "HistoryViewController.h"
#include "TestHistory.h"
#include "Translations.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

using namespace Qt::StringLiterals;

namespace {

struct Rows
{
    Rows()
    {
        view = std::make_unique<HistoryViewController>(history.store(), history.settings());
        view->resize(340, 400);
        list = view->findChild<QAbstractItemView *>(u"historyList"_s);
        rowView = qobject_cast<ClipRowView *>(list->itemDelegate());
    }
    QModelIndex index(int row) const { return list->model()->index(row, 0); }
    ClipRowView::Layout layout(int row) const
    {
        QStyleOptionViewItem option;
        option.rect = list->visualRect(index(row));
        return rowView->rowLayout(option, index(row));
    }
    // How many pixels of the row's thumbnail area are pure red.
    int redPixels(int row) const
    {
        const QImage shot = list->viewport()->grab().toImage();
        const QRect area = ClipRowView::layout(list->visualRect(index(row)), true).thumbnail;
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x)
                count += shot.pixelColor(x, y) == QColor(Qt::red) ? 1 : 0;
        }
        return count;
    }

    TestHistory history;
    std::unique_ptr<HistoryViewController> view;
    QAbstractItemView *list = nullptr;
    ClipRowView *rowView = nullptr;
};

QImage redImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    return image;
}

} // namespace

class tst_ClipRowView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(installTranslations(*qApp)); }
    void previewLines_data();
    void previewLines();
    void thumbnailPlacesText_data();
    void thumbnailPlacesText();
    void reusedRowForgetsTheThumbnail();
    void buttonToolTips_data();
    void buttonToolTips();
};

void tst_ClipRowView::previewLines_data()
{
    QTest::addColumn<QString>("preview");
    QTest::addColumn<double>("lineWidths"); // the text's width in column widths
    QTest::addColumn<int>("lines");
    QTest::addColumn<bool>("elided");

    const QString words = u"the quick brown fox jumps over the lazy dog "_s.repeated(20);
    const QString oneWord = u"https://example.org/"_s + u"x"_s.repeated(400);
    QTest::newRow("one line") << words << 0.5 << 1 << false;
    QTest::newRow("two lines") << words << 1.5 << 2 << false;
    QTest::newRow("longer than two lines") << words << 3.0 << 2 << true;
    QTest::newRow("one long word") << oneWord << 3.0 << 2 << true;
}

void tst_ClipRowView::previewLines()
{
    QFETCH(QString, preview);
    QFETCH(double, lineWidths);
    QFETCH(int, lines);
    QFETCH(bool, elided);

    const QFont font = QApplication::font();
    const QFontMetrics metrics(font);
    const int width = 200;
    while (metrics.horizontalAdvance(preview) > width * lineWidths)
        preview.chop(1);
    const QStringList result = ClipRowView::previewLines(preview.trimmed(), font, width);
    QCOMPARE(result.size(), lines);
    QCOMPARE(result.last().endsWith(QChar(0x2026)), elided);
    for (const QString &line : result)
        QVERIFY2(metrics.horizontalAdvance(line) <= width, qPrintable(line));
    if (!elided)
        QCOMPARE(result.join(QLatin1Char(' ')).remove(QLatin1Char(' ')),
            preview.trimmed().remove(QLatin1Char(' ')));
}

void tst_ClipRowView::thumbnailPlacesText_data()
{
    QTest::addColumn<int>("file"); // 0 readable, 1 missing, 2 not an image, 3 a text clip
    QTest::addColumn<int>("textLeft");

    QTest::newRow("image") << 0 << 8 + 36 + 8;
    QTest::newRow("missing file") << 1 << 10;
    QTest::newRow("not an image") << 2 << 10;
    QTest::newRow("text clip") << 3 << 10;
}

void tst_ClipRowView::thumbnailPlacesText()
{
    QFETCH(int, file);
    QFETCH(int, textLeft);

    Rows rows;
    const Clip clip = file == 3 ? rows.history.addText(u"Some text"_s)
                                : rows.history.addImage(u"Image"_s, redImage(80, 20));
    const QString path = rows.history.store().imagePath(clip);
    if (file == 1)
        QVERIFY(QFile::remove(path));
    if (file == 2) {
        QFile broken(path);
        QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
        broken.write("\x89PNG\r\n\x1a\n not really");
    }

    const ClipRowView::Layout layout = rows.layout(0);
    const QRect rect = rows.list->visualRect(rows.index(0));
    QCOMPARE(layout.text.left() - rect.left(), textLeft);
    QCOMPARE(layout.thumbnail.isEmpty(), file != 0);
    const QPixmap thumbnail = rows.rowView->thumbnail(rows.index(0), 1.0);
    // Scaled into the 36-point square with its proportions.
    QCOMPARE(thumbnail.size(), file == 0 ? QSize(36, 9) : QSize(0, 0));
}

void tst_ClipRowView::reusedRowForgetsTheThumbnail()
{
    Rows rows;
    rows.view->show();
    QVERIFY(QTest::qWaitForWindowExposed(rows.view.get()));
    rows.history.addImage(u"Red"_s, redImage(36, 36));
    QVERIFY(rows.redPixels(0) > 30 * 30);

    // The image clip moves down a row; the top row now paints a text clip.
    rows.history.addText(u"Plain words"_s);
    QCOMPARE(rows.redPixels(0), 0);
    QVERIFY(rows.redPixels(1) > 30 * 30);
    QCOMPARE(rows.layout(0).text.left() - rows.list->visualRect(rows.index(0)).left(), 10);
}

void tst_ClipRowView::buttonToolTips_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("part");
    QTest::addColumn<QString>("key"); // empty: no tooltip

    const int edit = int(ClipRowView::Hit::editButton);
    const int trash = int(ClipRowView::Hit::deleteButton);
    QTest::newRow("text edit") << int(ClipKind::text) << edit << u"clip.edit"_s;
    QTest::newRow("files edit") << int(ClipKind::fileURLs) << edit << u"clip.edit"_s;
    QTest::newRow("image view") << int(ClipKind::image) << edit << u"clip.view"_s;
    QTest::newRow("image delete") << int(ClipKind::image) << trash << u"clip.delete"_s;
    QTest::newRow("text delete") << int(ClipKind::text) << trash << u"clip.delete"_s;
    QTest::newRow("preview") << int(ClipKind::text) << int(ClipRowView::Hit::none) << QString();
}

void tst_ClipRowView::buttonToolTips()
{
    QFETCH(int, kind);
    QFETCH(int, part);
    QFETCH(QString, key);

    Rows rows;
    if (kind == int(ClipKind::image))
        rows.history.addImage(u"Image"_s, redImage(4, 4));
    else if (kind == int(ClipKind::fileURLs))
        rows.history.addFiles(u"notes.txt"_s, u"/home/me/notes.txt"_s);
    else
        rows.history.addText(u"Some text"_s);
    rows.view->show();
    QVERIFY(QTest::qWaitForWindowExposed(rows.view.get()));

    const QRect rect = rows.list->visualRect(rows.index(0));
    const ClipRowView::Layout layout = ClipRowView::layout(rect, false);
    QPoint pos(rect.left() + 20, rect.center().y());
    if (part == int(ClipRowView::Hit::editButton))
        pos = layout.editButton.center();
    else if (part == int(ClipRowView::Hit::deleteButton))
        pos = layout.deleteButton.center();
    QWidget *viewport = rows.list->viewport();
    QHelpEvent event(QEvent::ToolTip, pos, viewport->mapToGlobal(pos));
    QApplication::sendEvent(viewport, &event);
    QTRY_COMPARE(QToolTip::text(), key.isEmpty() ? QString() : qtTrId(key.toLatin1().constData()));
    QToolTip::hideText();
}

QTEST_MAIN(tst_ClipRowView)
#include "tst_ClipRowView.moc"
