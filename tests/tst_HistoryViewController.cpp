// SPDX-License-Identifier: GPL-3.0-or-later
#include "PaintedPixels.h"
#include "RecordingHistoryDelegate.h"
#include "StoreFixture.h"
#include "TestImages.h"
#include "ui/ClipRowView.h"
#include "ui/HistoryViewController.h"
#include "ui/Translations.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace {

using Hit = ClipRowView::Hit;

// The history list over four clips, rows from the top: "Apple tart" (kept),
// "Banana bread", "Apple pie" (kept), "Cherry". Lists compare as text joined
// by "|".
struct Panel
{
    explicit Panel(bool withClips = true)
    {
        for (const QString &text :
            { u"Cherry"_s, u"Apple pie"_s, u"Banana bread"_s, u"Apple tart"_s })
            if (withClips)
                add(text, ClipKind::text, text.startsWith(u"Apple"), text);
        view.setDelegate(&recorder);
        view.setQuestionRunner([this](QMenu &question) -> QAction * {
            recorder.calls << u"ask"_s;
            const QList<QAction *> items = question.actions();
            // The question, then Delete, then Cancel, which Return chooses.
            if (items.size() != 3 || items[0]->isEnabled() || question.activeAction() != items[2])
                return nullptr;
            return confirm ? items[1] : items[2];
        });
        view.resize(340, 700);
        view.setAttribute(Qt::WA_ShowWithoutActivating);
    }
    QString visible() const
    {
        QStringList previews;
        for (const Clip &clip : view.visibleClips())
            previews << clip.preview;
        return previews.join(u'|');
    }
    void select(int row) const
    {
        if (row < 0)
            list->selectionModel()->clear();
        else
            list->setCurrentIndex(list->model()->index(row, 0));
    }
    QRect rowRect(int row) const { return list->visualRect(list->model()->index(row, 0)); }
    // A point on a row: on one of its buttons, elsewhere on it, or 30 below it.
    QPoint point(int row, std::optional<Hit> part) const
    {
        const QRect rect = rowRect(row);
        const ClipRowView::Layout parts = ClipRowView::layout(rect, false);
        if (part == Hit::editButton || part == Hit::deleteButton)
            return part == Hit::editButton ? parts.editButton.center()
                                           : parts.deleteButton.center();
        return QPoint(rect.left() + 20, part ? rect.center().y() : rect.bottom() + 30);
    }
    bool show()
    {
        view.show();
        return QTest::qWaitForWindowExposed(&view);
    }
    int textLeft(int row) const
    {
        QStyleOptionViewItem option;
        option.rect = rowRect(row);
        const auto *rows = static_cast<ClipRowView *>(list->itemDelegate());
        return rows->rowLayout(option, list->model()->index(row, 0)).text.left()
            - option.rect.left();
    }
    // Pixels of one colour where a row's thumbnail goes.
    int pixels(int row, Qt::GlobalColor color = Qt::red) const
    {
        const QImage shot = list->viewport()->grab().toImage();
        const QRect area = ClipRowView::layout(rowRect(row), true).thumbnail;
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                count += shot.pixelColor(x, y) == QColor(color) ? 1 : 0;
        return count;
    }

    Clip add(const QString &preview, ClipKind kind = ClipKind::text, bool kept = false,
        const std::optional<QString> &text = {}, const QByteArray &png = {})
    {
        return StoreFixture::add(store, StoreFixture::content(preview, kind, text, png), kept);
    }

    StoreFixture history;
    ClipStore &store = history.open();
    RecordingHistoryDelegate recorder;
    bool confirm = true; // the answer to a question before deleting
    HistoryViewController view { store, *history.settings };
    QAbstractItemView *list = view.findChild<QAbstractItemView *>(u"historyList"_s);
};

const QString all = u"Apple tart|Banana bread|Apple pie|Cherry"_s;

QByteArray filled(int width, int height, Qt::GlobalColor color = Qt::red)
{
    return encodedImage("PNG", QSize(width, height), color);
}

struct Filter
{
    bool withClips, pinned;
    QString query, expected, message; // message: a key, or empty when clips show
};
struct Key
{
    QString query;
    int selected, key, selectedAfter; // -1: no selection
    QString calls, queryAfter; // calls: "menu" where the row's menu opens
    Qt::KeyboardModifiers modifiers = {};
    bool confirm = true;
    int cursor = -1; // where the caret is in the query; -1: at its end
};
struct Click
{
    int row;
    std::optional<Hit> part; // none: below the row
    bool otherWindowActive;
    QString calls, toolTip;
    int selectedAfter;
};
struct Menu
{
    std::optional<ClipKind> kind; // of the clip in row 0; none: below the rows
    bool kept;
    std::optional<QString> text;
    int trigger; // the item to trigger
    QString calls;
};

} // namespace

class tst_HistoryViewController : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(installTranslations(*qApp)); }

    void visibleClips_data()
    {
        QTest::addColumn<Filter>("c");
        const QString apples = u"Apple tart|Apple pie"_s;
        QTest::newRow("everything") << Filter { true, false, {}, all, {} };
        QTest::newRow("query") << Filter { true, false, u"  APPLE\n"_s, apples, {} };
        QTest::newRow("blanks") << Filter { true, false, u"   "_s, all, {} };
        QTest::newRow("pinned") << Filter { true, true, {}, apples, {} };
        QTest::newRow("pinned query") << Filter { true, true, u"pie"_s, u"Apple pie"_s, {} };
        QTest::newRow("no match") << Filter { true, true, u"bread"_s, {}, u"empty.search"_s };
        QTest::newRow("empty history") << Filter { false, false, {}, {}, u"empty.history"_s };
        QTest::newRow("nothing kept") << Filter { false, true, {}, {}, u"empty.pinned"_s };
        QTest::newRow("blanks, empty list")
            << Filter { false, true, u" "_s, {}, u"empty.search"_s };
    }

    void visibleClips()
    {
        QFETCH(Filter, c);
        Panel panel(c.withClips);
        if (!c.withClips && c.pinned)
            panel.add(u"Not kept"_s);
        panel.view.setListMode(c.pinned ? ListMode::pinned : ListMode::all);
        panel.view.searchField()->setText(c.query);
        panel.view.reloadVisibleClips();

        QCOMPARE(panel.visible(), c.expected);
        const auto *label = panel.view.findChild<QLabel *>(u"emptyLabel"_s);
        QCOMPARE(label->isHidden(), c.message.isEmpty());
        if (!c.message.isEmpty())
            QCOMPARE(label->text(), qtTrId(qPrintable(c.message)));

        // The message is painted, not only set: over the list.
        QVERIFY(panel.show());
        const QImage shot = panel.view.grab().toImage();
        if (!c.message.isEmpty()) {
            const QRect text = label->contentsRect().translated(label->pos());
            QVERIFY(pixelsUnlikeSurroundings(shot, text) > 0);
            // A message that fits on one line is painted on one.
            const QFontMetrics metrics(label->font());
            int top = text.bottom(), bottom = text.top();
            for (int y = text.top(); y <= text.bottom(); ++y) {
                if (pixelsUnlikeSurroundings(shot, QRect(text.left(), y, text.width(), 1)) > 0) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
            if (metrics.horizontalAdvance(label->text()) < panel.list->width() - 60)
                QVERIFY2(bottom - top < 2 * metrics.lineSpacing(), qPrintable(label->text()));
        }
        // The kept clips' list says so above the search field, and nothing is
        // painted there in the history.
        const QRect aboveField(20, 2, panel.view.width() - 20, panel.view.searchField()->y() - 4);
        QCOMPARE(pixelsUnlikeSurroundings(shot, aboveField) > 0, c.pinned);
        // A kept clip's row carries the keep mark; the others do not.
        const QImage rows = panel.list->viewport()->grab().toImage();
        for (int row = 0; row < panel.list->model()->rowCount(); ++row) {
            const QRect mark = ClipRowView::layout(panel.rowRect(row), false).keepMark;
            QCOMPARE(pixelsUnlikeSurroundings(rows, mark) > mark.width() * mark.height() / 3,
                panel.view.visibleClips().at(row).isKept);
        }

        // The field's clear button, there once the panel is open, brings back
        // the whole list.
        auto *clear = panel.view.searchField()->findChild<QToolButton *>();
        QVERIFY(clear);
        panel.view.setListMode(ListMode::all);
        if (!c.query.isEmpty())
            QTRY_VERIFY(clear->isVisible());
        QTest::mouseClick(clear, Qt::LeftButton);
        panel.view.reloadVisibleClips();
        QTRY_COMPARE(panel.visible(), c.withClips ? all : c.pinned ? u"Not kept"_s : QString());
    }

    void selection_data()
    {
        QTest::addColumn<int>("selected"); // -1: none
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("typedFirst"); // the query is typed before the row is selected
        QTest::addColumn<int>("expected");
        QTest::newRow("none: row 0") << -1 << QString() << false << 0;
        QTest::newRow("index kept over a store change") << 2 << QString() << false << 2;
        QTest::newRow("index kept over a store change in a search") << 1 << u"apple"_s << true << 1;
        QTest::newRow("empty list") << 1 << u"zzz"_s << false << -1;
    }

    // The row Return chooses: after typing, the first match, not whichever clip
    // moved into the row highlighted before.
    void selection()
    {
        QFETCH(int, selected);
        QFETCH(QString, query);
        QFETCH(bool, typedFirst);
        QFETCH(int, expected);
        Panel panel;
        QCOMPARE(panel.view.selectedRow(), 0);
        if (typedFirst)
            QTest::keyClicks(panel.view.searchField(), query);
        panel.select(selected);
        if (!typedFirst)
            QTest::keyClicks(panel.view.searchField(), query);
        if (query.isEmpty() || typedFirst)
            panel.add(u"Date"_s); // the store's announcement reloads
        QCOMPARE(panel.view.selectedRow(), expected);
    }

    void keys_data()
    {
        QTest::addColumn<Key>("c");
        QTest::newRow("down, no selection") << Key { {}, -1, Qt::Key_Down, 1, {}, {} };
        QTest::newRow("down") << Key { {}, 1, Qt::Key_Down, 2, {}, {} };
        QTest::newRow("down on last row") << Key { {}, 3, Qt::Key_Down, 3, {}, {} };
        QTest::newRow("up") << Key { {}, 2, Qt::Key_Up, 1, {}, {} };
        QTest::newRow("up, no selection") << Key { {}, -1, Qt::Key_Up, 0, {}, {} };
        QTest::newRow("up on row 0") << Key { {}, 0, Qt::Key_Up, 0, {}, {} };
        QTest::newRow("return") << Key { {}, 2, Qt::Key_Return, 2, u"choose Apple pie"_s, {} };
        QTest::newRow("enter, no selection")
            << Key { {}, -1, Qt::Key_Enter, -1, u"choose Apple tart"_s, {} };
        QTest::newRow("return, empty list")
            << Key { u"zzz"_s, -1, Qt::Key_Return, -1, {}, u"zzz"_s };
        QTest::newRow("escape clears") << Key { u"pie"_s, 0, Qt::Key_Escape, 0, {}, {} };
        QTest::newRow("escape leaves") << Key { {}, 0, Qt::Key_Escape, 0, u"dismiss"_s, {} };
        QTest::newRow("other keys type") << Key { {}, 0, Qt::Key_B, 0, {}, u"b"_s };
        QTest::newRow("page down") << Key { {}, 1, Qt::Key_PageDown, 3, {}, {} };
        QTest::newRow("page up") << Key { u"e"_s, 2, Qt::Key_PageUp, 0, {}, u"e"_s };
        QTest::newRow("end, empty field") << Key { {}, 1, Qt::Key_End, 3, {}, {} };
        QTest::newRow("home, empty field") << Key { {}, 2, Qt::Key_Home, 0, {}, {} };
        QTest::newRow("home edits a query") << Key { u"e"_s, 2, Qt::Key_Home, 2, {}, u"e"_s };
        QTest::newRow("ctrl+end in a query")
            << Key { u"e"_s, 0, Qt::Key_End, 3, {}, u"e"_s, Qt::ControlModifier };
        QTest::newRow("ctrl+home in a query")
            << Key { u"e"_s, 3, Qt::Key_Home, 0, {}, u"e"_s, Qt::ControlModifier };
        QTest::newRow("menu key") << Key { {}, 2, Qt::Key_Menu, 2, u"menu Apple pie"_s, {} };
        QTest::newRow("shift+F10")
            << Key { u"a"_s, 1, Qt::Key_F10, 1, u"menu Banana bread"_s, u"a"_s, Qt::ShiftModifier };
        QTest::newRow("F2 edits") << Key { {}, 1, Qt::Key_F2, 1, u"edit Banana bread"_s, {} };
        QTest::newRow("delete") << Key { {}, 1, Qt::Key_Delete, 1, u"delete Banana bread"_s, {} };
        QTest::newRow("delete a kept clip, cancelled")
            << Key { {}, 0, Qt::Key_Delete, 0, u"ask"_s, {}, {}, false };
        QTest::newRow("delete after the query's end")
            << Key { u"pie"_s, 0, Qt::Key_Delete, 0, u"ask|delete Apple pie"_s, u"pie"_s };
        QTest::newRow("delete inside the query edits it")
            << Key { u"apple"_s, 0, Qt::Key_Delete, 0, {}, u"pple"_s, {}, true, 0 };
        // Opening the panel again selects the last query: typing replaces it.
        QTest::newRow("typing after reopening")
            << Key { u"pie"_s, 0, Qt::Key_B, 0, {}, u"b"_s, {}, true, -2 };
    }

    void keys()
    {
        QFETCH(Key, c);
        Panel panel;
        panel.confirm = c.confirm;
        QVERIFY(panel.show()); // a page is as many rows as the open list shows
        panel.view.searchField()->setText(c.query);
        if (c.cursor >= 0)
            panel.view.searchField()->setCursorPosition(c.cursor);
        if (c.cursor == -2) {
            panel.view.hide();
            panel.view.show();
        }
        panel.select(c.selected);
        QTest::keyClick(panel.view.searchField(), Qt::Key(c.key), c.modifiers);
        if (c.key == Qt::Key_Menu) {
            // X11 follows the key with a context menu event; a menu of the
            // field's own would run its loop here, and is closed and told.
            QTimer guard;
            guard.setSingleShot(true);
            connect(&guard, &QTimer::timeout, &panel.view, [&panel] {
                if (QWidget *menu = QApplication::activePopupWidget();
                    menu && menu != panel.view.contextMenu()) {
                    panel.recorder.calls << u"field menu"_s;
                    menu->close();
                }
            });
            guard.start(0);
            QContextMenuEvent fromX11(QContextMenuEvent::Keyboard, {}, {});
            QApplication::sendEvent(panel.view.searchField(), &fromX11);
        }
        // An open menu is the highlighted row's: its Copy as Plain Text copies
        // that row's text.
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            panel.recorder.calls << u"menu"_s;
            for (QAction *item : menu->actions())
                if (item->text() == qtTrId("clip.copyPlain"))
                    item->trigger();
            menu->close();
        }
        QCOMPARE(panel.recorder.calls.join(u'|').replace(u"menu|copyPlain"_s, u"menu"_s), c.calls);
        QCOMPARE(panel.view.searchField()->text(), c.queryAfter);
        QCOMPARE(panel.view.selectedRow(), c.selectedAfter);
        QCOMPARE(panel.view.visibleClips(), panel.store.search(c.queryAfter));
    }

    void clicks_data()
    {
        // Rows: "Image", "Files", "Long", then the four text clips. A row's
        // tooltip tells what it holds, its buttons' what they do.
        QTest::addColumn<Click>("c");
        const QString none;
        // A long line wraps between words, and twelve lines are shown at most.
        const QString sevenWords = QStringList(7, u"abcdefghi"_s).join(u' ');
        QStringList lines(4, sevenWords);
        lines << u"abcdefghi abcdefghi"_s;
        for (int line = 2; line <= 8; ++line)
            lines << u"line %1"_s.arg(line);
        QTest::newRow("row") << Click { 4, Hit::none, false, u"choose Banana bread"_s,
            u"Banana bread"_s, 4 };
        QTest::newRow("row, inactive panel") << Click { 0, Hit::none, true, u"choose Image"_s,
            qtTrId("clip.tooltip.image").arg(4).arg(3).arg(u"%bytes"_s), 0 };
        QTest::newRow("file names")
            << Click { 1, Hit::none, false, u"choose Files"_s, u"a\nb c"_s, 1 };
        QTest::newRow("long text, its first lines")
            << Click { 2, Hit::none, false, u"choose Long"_s, (lines << u"…"_s).join(u'\n'), 2 };
        QTest::newRow("view image")
            << Click { 0, Hit::editButton, false, u"edit Image"_s, qtTrId("clip.view"), 0 };
        QTest::newRow("edit files")
            << Click { 1, Hit::editButton, false, u"edit Files"_s, qtTrId("clip.edit"), 0 };
        QTest::newRow("delete, inactive panel")
            << Click { 6, Hit::deleteButton, true, u"delete Cherry"_s, qtTrId("clip.delete"), 0 };
        QTest::newRow("below the last row") << Click { 6, std::nullopt, false, none, none, -1 };
    }

    void clicks()
    {
        QFETCH(Click, c);
        Panel panel;
        QStringList long_ { QStringList(30, u"abcdefghi"_s).join(u' ') };
        for (int line = 2; line <= 30; ++line)
            long_ << u"line %1"_s.arg(line);
        panel.add(u"Long"_s, ClipKind::text, false, long_.join(u'\n'));
        panel.add(u"Files"_s, ClipKind::fileURLs, false, u"/home/me/a\n/home/me/b c"_s);
        const Clip image = panel.add(u"Image"_s, ClipKind::image, false, {}, filled(4, 3));
        QVERIFY(panel.show());
        QWidget other;
        if (c.otherWindowActive) {
            other.show();
            other.activateWindow();
            QTRY_VERIFY(other.isActiveWindow());
        }
        const QPoint pos = panel.point(c.row, c.part);
        QHelpEvent help(QEvent::ToolTip, pos, panel.list->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(panel.list->viewport(), &help);
        QCOMPARE(QToolTip::text(),
            QString(c.toolTip).replace(u"%bytes"_s, QLocale().formattedDataSize(image.byteSize)));
        QToolTip::hideText();

        QTest::mouseClick(panel.list->viewport(), Qt::LeftButton, {}, pos);
        QCOMPARE(panel.recorder.calls.join(u'|'), c.calls);
        QCOMPARE(panel.view.selectedRow(), c.selectedAfter);
    }

    void contextMenu_data()
    {
        // Items: Keep, Edit (View for an image), Copy as Plain Text, a line, Delete.
        QTest::addColumn<Menu>("c");
        const std::optional<QString> full(u"full\ttext"_s);
        QTest::newRow("copy text")
            << Menu { ClipKind::text, false, full, 2, u"copyPlain full\ttext"_s };
        QTest::newRow("copy preview") << Menu { ClipKind::text, false, {}, 2, u"copyPlain Row"_s };
        QTest::newRow("keep") << Menu { ClipKind::text, false, full, 0, {} };
        QTest::newRow("stop keeping") << Menu { ClipKind::fileURLs, true, full, 0, {} };
        QTest::newRow("edit") << Menu { ClipKind::fileURLs, false, full, 1, u"edit Row"_s };
        QTest::newRow("view an image") << Menu { ClipKind::image, false, {}, 1, u"edit Row"_s };
        QTest::newRow("delete") << Menu { ClipKind::text, false, full, 4, u"delete Row"_s };
        QTest::newRow("delete a kept clip asks")
            << Menu { ClipKind::text, true, full, 4, u"ask|delete Row"_s };
        QTest::newRow("below the rows") << Menu { std::nullopt, false, full, -1, {} };
    }

    void contextMenu()
    {
        QFETCH(Menu, c);
        Panel panel;
        const Clip clip
            = panel.add(u"Row"_s, c.kind.value_or(ClipKind::text), c.kept, c.text, filled(4, 4));
        QVERIFY(panel.show());
        const int row = c.kind ? 0 : 5;
        const QList<QAction *> items = panel.view.updateContextMenu(row)->actions();
        QStringList texts;
        for (const QAction *item : items)
            texts << item->text();
        const char *edit = c.kind == ClipKind::image ? "clip.view" : "clip.edit";
        QCOMPARE(texts,
            c.kind ? QStringList({ qtTrId("clip.keep"), qtTrId(edit), qtTrId("clip.copyPlain"),
                QString(), qtTrId("clip.delete") })
                   : QStringList());
        if (c.kind) {
            QCOMPARE(items[2]->isEnabled(), c.kind != ClipKind::image);
            QCOMPARE(items[0]->isChecked(), c.kept);
            items[c.trigger]->trigger();
        }
        QCOMPARE(panel.recorder.calls.join(u'|'), c.calls);
        const bool keptNow = c.trigger == 0 ? !c.kept : c.kept;
        QCOMPARE(panel.store.clip(clip.id)->isKept, keptNow);

        // A right click opens the same menu, on a row only.
        const QPoint pos
            = panel.point(c.kind ? 0 : 4, c.kind ? std::optional(Hit::none) : std::nullopt);
        QContextMenuEvent event(
            QContextMenuEvent::Mouse, pos, panel.list->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(panel.list->viewport(), &event);
        auto *open = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QCOMPARE(open != nullptr, c.kind.has_value());
        if (open) {
            QCOMPARE(open->actions().at(0)->isChecked(), keptNow);
            open->close();
        }
    }

    void storeChanges()
    {
        Panel panel;
        panel.view.setListMode(ListMode::pinned);
        panel.view.reloadVisibleClips();
        ClipStore &store = panel.store;
        const QList<Clip> clips = store.clips();
        store.setKept(clips[3].id, true);
        QCOMPARE(panel.visible(), u"Apple tart|Apple pie|Cherry"_s);
        store.deleteClip(clips[0].id);
        QCOMPARE(panel.visible(), u"Apple pie|Cherry"_s);
        panel.view.setListMode(ListMode::all);
        panel.add(u"Fig"_s);
        QCOMPARE(panel.visible(), u"Fig|Banana bread|Apple pie|Cherry"_s);
        store.clearHistory();
        QCOMPARE(panel.visible(), u"Apple pie|Cherry"_s);
    }

    // Images and lists of files copied under English read, and are found, in
    // German once that is the language; the stored previews stay as they were.
    void kindNames()
    {
        Panel panel(false);
        panel.add(u"Image"_s, ClipKind::image, false, {}, filled(4, 4));
        panel.add(u"Files"_s, ClipKind::fileURLs, false, u"/a\n/b"_s);
        panel.add(u"/a /b"_s, ClipKind::fileURLs, false, u"/a\n/b"_s); // edited
        panel.add(u"b"_s, ClipKind::fileURLs, false, u"/a/b"_s);
        QTranslator german;
        QVERIFY(german.load(u":/i18n/quillstack_de.qm"_s));
        QVERIFY(qApp->installTranslator(&german));
        const auto restore = qScopeGuard([&german] { qApp->removeTranslator(&german); });
        panel.view.reloadVisibleClips();
        QStringList shown;
        for (int row = 0; row < panel.list->model()->rowCount(); ++row)
            shown << panel.list->model()->index(row, 0).data().toString();
        QCOMPARE(shown, QStringList({ u"b"_s, u"/a /b"_s, u"Dateien"_s, u"Bild"_s }));
        panel.view.searchField()->setText(u"bild"_s);
        QCOMPARE(panel.visible(), u"Image"_s);
        panel.view.searchField()->setText(u"dateien"_s);
        QCOMPARE(panel.visible(), u"Files"_s);
    }

    void previewLines()
    {
        // Texts one and a half and three column widths wide, of words and of one
        // long word: two lines, the second elided only when the text goes on.
        const QFontMetrics metrics(QApplication::font());
        for (const QString &text : { u"the quick brown fox jumps over the lazy dog "_s.repeated(20),
                 u"x"_s.repeated(600) }) {
            for (const double widths : { 1.5, 3.0 }) {
                QString preview = text;
                while (metrics.horizontalAdvance(preview) > 200 * widths)
                    preview.chop(1);
                preview = preview.trimmed();
                const QStringList lines
                    = ClipRowView::previewLines(preview, QApplication::font(), 200);
                QCOMPARE(lines.size(), 2);
                QCOMPARE(lines[1].endsWith(QChar(0x2026)), widths > 2);
                QVERIFY(metrics.horizontalAdvance(lines[0]) <= 200);
                QVERIFY(metrics.horizontalAdvance(lines[1]) <= 200);
                if (widths < 2) // nothing of the text is lost
                    QCOMPARE(lines.join(QString()).remove(u' '), preview.remove(u' '));
            }
        }
    }

    void thumbnails_data()
    {
        QTest::addColumn<int>("file"); // 0 readable, 1 missing, 2 not an image
        QTest::newRow("image") << 0;
        QTest::newRow("missing file") << 1;
        QTest::newRow("not an image") << 2;
    }

    void thumbnails()
    {
        QFETCH(int, file);
        Panel panel(false);
        QVERIFY(panel.show());
        const Clip clip = panel.add(u"Image"_s, ClipKind::image, false, {}, filled(4000, 1000));
        QFile image(panel.store.imagePath(clip));
        if (file == 1)
            QVERIFY(image.remove());
        if (file == 2) {
            QVERIFY(image.open(QIODevice::WriteOnly | QIODevice::Truncate));
            image.write("\x89PNG\r\n\x1a\n not really");
            image.close();
        }
        // The list paints at once; the image is read meanwhile, and painted
        // once it is there.
        QCOMPARE(panel.pixels(0), 0);
        // Scaled into the 36-point square with its proportions; the text starts
        // after it, or 10 from the edge without one. (Its edges are antialiased.)
        QTRY_VERIFY((panel.pixels(0) > 36 * 9 / 2) == (file == 0)
            && panel.textLeft(0) == (file == 0 ? 8 + 36 + 8 : 10));

        // The image clip moves down; its row now paints a text clip, then another
        // image.
        panel.add(u"Plain words"_s);
        QCOMPARE(panel.pixels(0), 0);
        QCOMPARE(panel.textLeft(0), 10);
        QCOMPARE(panel.pixels(1) > 36 * 9 / 2, file == 0);
        panel.add(u"Blue"_s, ClipKind::image, false, {}, filled(36, 36, Qt::blue));
        QTRY_VERIFY(panel.pixels(0, Qt::blue) > 30 * 30);
        QCOMPARE(panel.pixels(0), 0);
    }

    // The painted buttons are buttons to assistive technology too, and pressing
    // one acts like a click.
    void accessibleButtons()
    {
        // Their names and places in the tree, as a screen reader reads them,
        // are checked over AT-SPI.
        Panel panel;
        QVERIFY(panel.show());
        QAccessibleInterface *row = QAccessible::queryAccessibleInterface(panel.list)->child(1);
        row->child(0)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(panel.recorder.calls, QStringList { u"edit Banana bread"_s });
    }
};

QTEST_MAIN(tst_HistoryViewController)
#include "tst_HistoryViewController.moc"
