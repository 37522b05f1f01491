#include "ClipRowView.h"
#include "HistoryViewController.h"
#include "RecordingHistoryDelegate.h"
#include "TestHistory.h"
#include "Translations.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QStringList previews(const QList<Clip> &clips)
{
    QStringList result;
    for (const Clip &clip : clips)
        result.append(clip.preview);
    return result;
}

// The history list over four clips, rows from the top: "Apple tart" (kept),
// "Banana bread", "Apple pie" (kept), "Cherry".
struct Panel
{
    explicit Panel(bool withClips = true)
    {
        if (withClips) {
            history.addText(u"Cherry"_s);
            history.addText(u"Apple pie"_s, true);
            history.addText(u"Banana bread"_s);
            history.addText(u"Apple tart"_s, true);
        }
        view = std::make_unique<HistoryViewController>(history.store(), history.settings());
        view->setDelegate(&recorder);
        view->resize(340, 700);
        list = view->findChild<QAbstractItemView *>(u"historyList"_s);
        label = view->findChild<QLabel *>(u"emptyLabel"_s);
    }
    bool show()
    {
        view->setAttribute(Qt::WA_ShowWithoutActivating);
        view->show();
        return QTest::qWaitForWindowExposed(view.get());
    }
    QRect rowRect(int row) const { return list->visualRect(list->model()->index(row, 0)); }

    TestHistory history;
    RecordingHistoryDelegate recorder;
    std::unique_ptr<HistoryViewController> view;
    QAbstractItemView *list = nullptr;
    QLabel *label = nullptr;
};

} // namespace

class tst_HistoryViewController : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(installTranslations(*qApp)); }
    void visibleClipsAndMessage_data();
    void visibleClipsAndMessage();
    void selectionAfterReload_data();
    void selectionAfterReload();
    void searchFieldKeys_data();
    void searchFieldKeys();
    void clicks_data();
    void clicks();
    void contextMenu_data();
    void contextMenu();
    void contextMenuCommands_data();
    void contextMenuCommands();
    void storeChangesReload_data();
    void storeChangesReload();
};

void tst_HistoryViewController::visibleClipsAndMessage_data()
{
    QTest::addColumn<bool>("withClips");
    QTest::addColumn<bool>("pinned");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("messageKey"); // empty: no message shown

    const QStringList all { u"Apple tart"_s, u"Banana bread"_s, u"Apple pie"_s, u"Cherry"_s };
    const QStringList apples { u"Apple tart"_s, u"Apple pie"_s };
    QTest::newRow("everything") << true << false << QString() << all << QString();
    QTest::newRow("query") << true << false << u"apple"_s << apples << QString();
    QTest::newRow("query trimmed, any case")
        << true << false << u"  APPLE\n"_s << apples << QString();
    QTest::newRow("blanks list everything") << true << false << u"   "_s << all << QString();
    QTest::newRow("pinned") << true << true << QString() << apples << QString();
    QTest::newRow("pinned and query")
        << true << true << u"pie"_s << QStringList { u"Apple pie"_s } << QString();
    QTest::newRow("nothing found")
        << true << false << u"zzz"_s << QStringList() << u"empty.search"_s;
    QTest::newRow("pinned, nothing found")
        << true << true << u"bread"_s << QStringList() << u"empty.search"_s;
    QTest::newRow("empty history")
        << false << false << QString() << QStringList() << u"empty.history"_s;
    QTest::newRow("nothing kept") << false << true << QString() << QStringList()
                                  << u"empty.pinned"_s;
    QTest::newRow("blanks, empty list")
        << false << true << u"  "_s << QStringList() << u"empty.search"_s;
}

void tst_HistoryViewController::visibleClipsAndMessage()
{
    QFETCH(bool, withClips);
    QFETCH(bool, pinned);
    QFETCH(QString, query);
    QFETCH(QStringList, expected);
    QFETCH(QString, messageKey);

    Panel panel(withClips);
    if (!withClips)
        panel.history.addText(u"Not kept"_s);
    panel.view->setListMode(pinned ? ListMode::pinned : ListMode::all);
    panel.view->searchField()->setText(query);
    panel.view->reloadVisibleClips();
    if (!withClips && !pinned)
        panel.history.store().clearHistory();

    QCOMPARE(previews(panel.view->visibleClips()), expected);
    QCOMPARE(panel.list->model()->rowCount(), expected.size());
    QCOMPARE(panel.label->isHidden(), messageKey.isEmpty());
    if (!messageKey.isEmpty())
        QCOMPARE(panel.label->text(), qtTrId(messageKey.toLatin1().constData()));
}

void tst_HistoryViewController::selectionAfterReload_data()
{
    QTest::addColumn<int>("selected"); // -1: no selection
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("storeChanges");
    QTest::addColumn<int>("expected");

    QTest::newRow("nothing selected") << -1 << QString() << false << 0;
    QTest::newRow("index kept") << 2 << QString() << true << 2;
    QTest::newRow("index kept over a search") << 1 << u"apple"_s << false << 1;
    QTest::newRow("index gone") << 3 << u"apple"_s << false << 0;
    QTest::newRow("empty list") << 1 << u"zzz"_s << false << -1;
}

void tst_HistoryViewController::selectionAfterReload()
{
    QFETCH(int, selected);
    QFETCH(QString, query);
    QFETCH(bool, storeChanges);
    QFETCH(int, expected);

    Panel panel;
    QCOMPARE(panel.view->selectedRow(), 0);
    if (selected < 0)
        panel.list->selectionModel()->clear();
    else
        panel.list->setCurrentIndex(panel.list->model()->index(selected, 0));
    panel.view->searchField()->setText(query);
    if (storeChanges)
        panel.history.addText(u"Date"_s);
    else
        panel.view->reloadVisibleClips();
    QCOMPARE(panel.view->selectedRow(), expected);
}

void tst_HistoryViewController::searchFieldKeys_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("selected"); // -1: no selection
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expectedRow");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("queryAfter");

    QTest::newRow("down without selection")
        << QString() << -1 << int(Qt::Key_Down) << 1 << QStringList() << QString();
    QTest::newRow("down") << QString() << 1 << int(Qt::Key_Down) << 2 << QStringList() << QString();
    QTest::newRow("down on last row")
        << QString() << 3 << int(Qt::Key_Down) << 3 << QStringList() << QString();
    QTest::newRow("up") << QString() << 2 << int(Qt::Key_Up) << 1 << QStringList() << QString();
    QTest::newRow("up without selection")
        << QString() << -1 << int(Qt::Key_Up) << 0 << QStringList() << QString();
    QTest::newRow("up on row 0") << QString() << 0 << int(Qt::Key_Up) << 0 << QStringList()
                                 << QString();
    QTest::newRow("return") << QString() << 2 << int(Qt::Key_Return) << 2
                            << QStringList { u"choose Apple pie"_s } << QString();
    QTest::newRow("enter without selection") << QString() << -1 << int(Qt::Key_Enter) << -1
                                             << QStringList { u"choose Apple tart"_s } << QString();
    QTest::newRow("return on empty list")
        << u"zzz"_s << -1 << int(Qt::Key_Return) << -1 << QStringList() << u"zzz"_s;
    QTest::newRow("escape clears the query")
        << u"pie"_s << 0 << int(Qt::Key_Escape) << 0 << QStringList() << QString();
    QTest::newRow("escape leaves")
        << QString() << 0 << int(Qt::Key_Escape) << 0 << QStringList { u"dismiss"_s } << QString();
    QTest::newRow("other keys type")
        << QString() << 0 << int(Qt::Key_B) << 0 << QStringList() << u"b"_s;
}

void tst_HistoryViewController::searchFieldKeys()
{
    QFETCH(QString, query);
    QFETCH(int, selected);
    QFETCH(int, key);
    QFETCH(int, expectedRow);
    QFETCH(QStringList, calls);
    QFETCH(QString, queryAfter);

    Panel panel;
    panel.view->searchField()->setText(query);
    if (selected < 0)
        panel.list->selectionModel()->clear();
    else
        panel.list->setCurrentIndex(panel.list->model()->index(selected, 0));

    QTest::keyClick(panel.view->searchField(), Qt::Key(key));
    QCOMPARE(panel.recorder.calls, calls);
    QCOMPARE(panel.view->searchField()->text(), queryAfter);
    QCOMPARE(panel.view->selectedRow(), expectedRow);
    // Whatever the key did, the list shows what the query finds.
    QCOMPARE(panel.view->visibleClips(), panel.history.store().search(queryAfter));
}

void tst_HistoryViewController::clicks_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("part"); // ClipRowView::Hit; -1 below the last row
    QTest::addColumn<bool>("otherWindowActive");
    QTest::addColumn<QStringList>("calls");

    const int none = int(ClipRowView::Hit::none);
    QTest::newRow("row") << 1 << none << false << QStringList { u"choose Banana bread"_s };
    QTest::newRow("row of an inactive panel")
        << 2 << none << true << QStringList { u"choose Apple pie"_s };
    QTest::newRow("edit button") << 1 << int(ClipRowView::Hit::editButton) << false
                                 << QStringList { u"edit Banana bread"_s };
    QTest::newRow("delete button")
        << 3 << int(ClipRowView::Hit::deleteButton) << true << QStringList { u"delete Cherry"_s };
    QTest::newRow("below the last row") << 3 << -1 << false << QStringList();
}

void tst_HistoryViewController::clicks()
{
    QFETCH(int, row);
    QFETCH(int, part);
    QFETCH(bool, otherWindowActive);
    QFETCH(QStringList, calls);

    Panel panel;
    QVERIFY(panel.show());
    QWidget other;
    if (otherWindowActive) {
        other.show();
        other.activateWindow();
        QTRY_VERIFY(other.isActiveWindow());
        QVERIFY(!panel.view->isActiveWindow());
    }
    const QRect rect = panel.rowRect(row);
    const ClipRowView::Layout parts = ClipRowView::layout(rect, false);
    QPoint pos(rect.left() + 20, rect.center().y());
    if (part == int(ClipRowView::Hit::editButton))
        pos = parts.editButton.center();
    else if (part == int(ClipRowView::Hit::deleteButton))
        pos = parts.deleteButton.center();
    else if (part < 0)
        pos.setY(rect.bottom() + 30);

    QTest::mouseClick(panel.list->viewport(), Qt::LeftButton, {}, pos);
    QCOMPARE(panel.recorder.calls, calls);
    // A button acts without moving the selection; a click below the rows
    // clears it, as in any list.
    const int selected = part < 0 ? -1 : part == int(ClipRowView::Hit::none) ? row : 0;
    QCOMPARE(panel.view->selectedRow(), selected);
}

void tst_HistoryViewController::contextMenu_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("copyEnabled");
    QTest::addColumn<bool>("kept");

    QTest::newRow("text") << 2 << true << false;
    QTest::newRow("kept text") << 1 << true << true;
    QTest::newRow("image") << 0 << false << false;
    QTest::newRow("below the last row") << 5 << false << false;
}

void tst_HistoryViewController::contextMenu()
{
    QFETCH(int, row);
    QFETCH(bool, copyEnabled);
    QFETCH(bool, kept);

    Panel panel;
    panel.history.addImage(u"Image"_s, QImage(8, 8, QImage::Format_RGB32));
    QVERIFY(panel.show());
    const QList<QAction *> actions = panel.view->updateContextMenu(row)->actions();
    const bool onRow = row < panel.view->visibleClips().size();
    if (!onRow) {
        QVERIFY(actions.isEmpty());
    } else {
        QCOMPARE(actions.size(), 2);
        QCOMPARE(actions[0]->text(), qtTrId("clip.copyPlain"));
        QCOMPARE(actions[0]->isEnabled(), copyEnabled);
        QCOMPARE(actions[1]->text(), qtTrId("clip.keep"));
        QVERIFY(actions[1]->isCheckable());
        QCOMPARE(actions[1]->isChecked(), kept);
    }

    // A right click opens the same menu, on a row only.
    const QPoint pos
        = onRow ? panel.rowRect(row).center() : QPoint(40, panel.rowRect(4).bottom() + 30);
    QContextMenuEvent event(
        QContextMenuEvent::Mouse, pos, panel.list->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(panel.list->viewport(), &event);
    QMenu *open = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QCOMPARE(open != nullptr, onRow);
    if (open) {
        QCOMPARE(open->actions().size(), 2);
        QCOMPARE(open->actions()[1]->isChecked(), kept);
        open->close();
    }
}

void tst_HistoryViewController::contextMenuCommands_data()
{
    QTest::addColumn<std::optional<QString>>("text");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<int>("action");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("copy text") << std::optional<QString>(u"full\ttext"_s) << false << 0
                               << QStringList { u"copyPlain full\ttext"_s };
    QTest::newRow("copy preview without text")
        << std::optional<QString>() << false << 0 << QStringList { u"copyPlain Preview"_s };
    QTest::newRow("keep") << std::optional<QString>() << false << 1 << QStringList();
    QTest::newRow("stop keeping") << std::optional<QString>() << true << 1 << QStringList();
}

void tst_HistoryViewController::contextMenuCommands()
{
    QFETCH(std::optional<QString>, text);
    QFETCH(bool, kept);
    QFETCH(int, action);
    QFETCH(QStringList, calls);

    Panel panel;
    const Clip clip = panel.history.addText(u"Preview"_s, text, kept);
    panel.view->setListMode(ListMode::pinned);
    panel.view->reloadVisibleClips();
    const int pinnedBefore = int(panel.view->visibleClips().size());

    panel.view->setListMode(ListMode::all);
    panel.view->reloadVisibleClips();
    panel.view->updateContextMenu(0)->actions().at(action)->trigger();
    QCOMPARE(panel.recorder.calls, calls);
    QCOMPARE(panel.history.store().clip(clip.id)->isKept, action == 1 ? !kept : kept);

    // The store's announcement reloads the list, so the pinned list follows.
    panel.view->setListMode(ListMode::pinned);
    panel.view->reloadVisibleClips();
    const int change = action == 1 ? (kept ? -1 : 1) : 0;
    QCOMPARE(panel.view->visibleClips().size(), pinnedBefore + change);
}

void tst_HistoryViewController::storeChangesReload_data()
{
    QTest::addColumn<bool>("pinned");
    QTest::addColumn<int>("change");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("copy arrives") << false << 0
                                  << QStringList { u"Fig"_s, u"Apple tart"_s, u"Banana bread"_s,
                                         u"Apple pie"_s, u"Cherry"_s };
    QTest::newRow("kept elsewhere")
        << true << 1 << QStringList { u"Apple tart"_s, u"Apple pie"_s, u"Cherry"_s };
    QTest::newRow("deleted") << true << 2 << QStringList { u"Apple pie"_s };
    QTest::newRow("history cleared")
        << false << 3 << QStringList { u"Apple tart"_s, u"Apple pie"_s };
}

void tst_HistoryViewController::storeChangesReload()
{
    QFETCH(bool, pinned);
    QFETCH(int, change);
    QFETCH(QStringList, expected);

    Panel panel;
    panel.view->setListMode(pinned ? ListMode::pinned : ListMode::all);
    panel.view->reloadVisibleClips();
    ClipStore &store = panel.history.store();
    const QList<Clip> clips = store.clips();
    switch (change) {
    case 0:
        panel.history.addText(u"Fig"_s);
        break;
    case 1:
        store.setKept(clips[3].id, true);
        break;
    case 2:
        store.deleteClip(clips[0].id);
        break;
    default:
        store.clearHistory();
    }
    QCOMPARE(previews(panel.view->visibleClips()), expected);
}

QTEST_MAIN(tst_HistoryViewController)
#include "tst_HistoryViewController.moc"
