// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeHotkeyRegistrar.h"
#include "FakeKeyboardLayout.h"
#include "FakeMouseMonitor.h"
#include "FakeScreens.h"
#include "FakeWorkspace.h"
#include "MemoryPasteboard.h"
#include "RecordingNotifier.h"
#include "StoreFixture.h"
#include "TestImages.h"
#include "TopLevelWindow.h"
#include "app/AppDelegate.h"
#include "app/HistoryPanel.h"
#include "app/PanelController.h"
#include "app/TrayMenu.h"
#include "globalhotkeys/NamedShortcuts.h"
#include "model/ClipFunctions.h"
#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "model/Settings.h"
#include "model/SettingsKeys.h"
#include "pasteboard/PasteboardMonitor.h"
#include "ui/ClipRowView.h"
#include "ui/EditClipController.h"
#include "ui/HistoryViewController.h"
#include "ui/PreferencesController.h"
#include "ui/Translations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ClipKind)
Q_DECLARE_METATYPE(RunningWindow)
Q_DECLARE_METATYPE(std::optional<RunningWindow>)

namespace {

const RunningWindow editor { 0x400001, 4242 };
const RunningWindow terminal { 0x600007, 5151 };

QByteArray pngBytes()
{
    return encodedImage("PNG", QSize(4, 3), Qt::darkCyan);
}

struct Fixture
{
    explicit Fixture(bool alwaysVisible = false)
    {
        screens.sideBySide();
        workspace.frontmost = editor;
        defaults.setObject(QLatin1String(SettingsKeys::alwaysVisible), alwaysVisible);
        start();
    }

    // A fresh controller over the same data and services, as after a restart.
    void start()
    {
        app.reset();
        app = std::make_unique<AppDelegate>(AppServices {
            defaults, pasteboard, workspace, screens, mouse, shortcuts, notifier, dir.path() });
    }

    Clip add(const QString &text, bool kept = false, ClipKind kind = ClipKind::text)
    {
        const bool image = kind == ClipKind::image;
        return StoreFixture::add(app->store(),
            StoreFixture::content(text, kind, image ? std::nullopt : std::optional(text),
                image ? pngBytes() : QByteArray()),
            kept);
    }

    HistoryPanel &panel() { return app->panel().panel(); }
    HistoryViewController &history() { return *app->panel().history(); }
    QLineEdit *searchField() { return history().searchField(); }
    // Presses one of the buttons of a row in the list, as the user does.
    void click(int row, ClipRowView::Hit button)
    {
        auto *list = history().findChild<QListView *>(u"historyList"_s);
        const ClipRowView::Layout parts
            = ClipRowView::layout(list->visualRect(list->model()->index(row, 0)), false);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
            (button == ClipRowView::Hit::editButton ? parts.editButton : parts.deleteButton)
                .center());
    }
    static QMenu *trayMenu() { return topLevelWindow<QMenu>(u"trayMenu"_s); }

    QTemporaryDir dir;
    Defaults defaults { dir.filePath(u"Quillstack.conf"_s) };
    MemoryPasteboard pasteboard;
    FakeWorkspace workspace;
    FakeScreens screens;
    FakeMouseMonitor mouse;
    FakeHotkeyRegistrar registrar;
    FakeKeyboardLayout layout;
    GlobalHotkeys::NamedShortcuts shortcuts { defaults, registrar, layout };
    RecordingNotifier notifier;
    std::unique_ptr<AppDelegate> app;
};

} // namespace

class tst_AppDelegate : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void launch();
    void trayMenu();
    void clearHistory_data();
    void clearHistory();
    void deleteAndCopyPlain();
    void choose_data();
    void choose();
    void failuresAreToldOnce();
    void auxiliaryWindows();

private:
    // The autostart entry is looked for here, not in the real home.
    QTemporaryDir m_config;
};

void tst_AppDelegate::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    QVERIFY(installTranslations(*QCoreApplication::instance()));
}

void tst_AppDelegate::launch()
{
    Fixture f;
    for (int i = 0; i < 4; ++i)
        f.add(u"clip %1"_s.arg(i));
    f.app->applicationDidFinishLaunching();

    QCOMPARE(f.panel().geometry(), QRect(1580, 30, 340, 1050));
    QVERIFY(!f.panel().isVisible());
    QVERIFY(f.trayMenu());
    // The limits apply again when the settings change.
    f.app->settings().setMaxClipCount(3);
    QCOMPARE(f.app->store().clips().size(), 3);

    // The monitor records other programs' copies from now on.
    PasteboardContents copied;
    copied.setData(PasteboardType::plainText, "from elsewhere");
    copied.types = { PasteboardType::plainText };
    f.pasteboard.copyFromOtherProgram(copied);
    QTRY_COMPARE(f.app->store().clips().first().preview, u"from elsewhere"_s);

    // A shortcut press that leaves the panel on screen counts as an opening,
    // once the panel is drawn, or at the latest when the program ends.
    const QString opens = QLatin1String(SettingsKeys::reviewHotkeyPanelOpens);
    f.app->toggleFromShortcut(ListMode::all);
    QVERIFY(f.panel().isVisible());
    QTRY_COMPARE(f.defaults.integer(opens), 1);
    f.app->toggleFromShortcut(ListMode::all);
    QVERIFY(!f.panel().isVisible());
    f.app->toggleFromShortcut(ListMode::pinned);
    // A copy that arrives just before the end is still recorded.
    copied.setData(PasteboardType::plainText, "last words");
    f.pasteboard.copyFromOtherProgram(copied);
    f.app->applicationWillTerminate();
    QCOMPARE(f.defaults.integer(opens), 2);
    QVERIFY(!f.app->monitor().isRunning());
    QCOMPARE(f.mouse.installed(), 0);
    QCOMPARE(f.app->store().clips().first().preview, u"last words"_s);
}

// What the tray menu asks for is done, and an open menu holds off the
// panel's hiding on a click elsewhere.
void tst_AppDelegate::trayMenu()
{
    Fixture f;
    f.app->applicationDidFinishLaunching();
    QMenu *menu = f.trayMenu();
    QSignalSpy quit(f.app.get(), &AppDelegate::quitRequested);
    QSignalSpy recording(f.app.get(), &AppDelegate::recordingChanged);

    menu->actions().first()->trigger();
    QVERIFY(f.panel().isVisible());
    QTRY_VERIFY(f.searchField()->hasFocus());
    menu->popup(QPoint(10, 10));
    QCOMPARE(f.mouse.installed(), 0);
    menu->hide();
    QCOMPARE(f.mouse.installed(), 1);
    menu->actions().first()->trigger();
    QVERIFY(!f.panel().isVisible());
    QCOMPARE(f.mouse.installed(), 0);
    QVERIFY(f.workspace.activations.isEmpty()); // the menu hide hands nothing back

    menu->actions().at(4)->trigger();
    QVERIFY(!f.app->isRecording());
    menu->actions().at(4)->trigger();
    QCOMPARE(recording, (QList<QVariantList> { { false }, { true } }));
    menu->actions().at(2)->trigger();
    QVERIFY(topLevelWindow<PreferencesController>()->isVisible());
    // Shared words go on the clipboard without joining the history.
    menu->actions().at(6)->trigger();
    QTRY_VERIFY(topLevelWindow<QMenu>(u"shareMenu"_s));
    topLevelWindow<QMenu>(u"shareMenu"_s)->actions().first()->trigger();
    QVERIFY(
        f.pasteboard.dataForType(PasteboardType::plainText)
            ->startsWith(
                (qtTrId("share.message") + u'\n' + TrayMenu::shareAddress().toString()).toUtf8()));
    f.app->monitor().poll();
    QVERIFY(f.app->store().clips().isEmpty());
    QCOMPARE(quit.count(), 0);
    menu->actions().last()->trigger();
    QCOMPARE(quit.count(), 1);
}

void tst_AppDelegate::clearHistory_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("remaining");
    QTest::newRow("confirmed: kept clips stay") << QByteArray("alert.clear.confirm") << 1;
    QTest::newRow("cancelled") << QByteArray("alert.cancel") << 3;
    QTest::newRow("closed") << QByteArray() << 3;
    QTest::newRow("return, unread") << QByteArray("\r") << 3;
}

void tst_AppDelegate::clearHistory()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, remaining);

    Fixture f;
    f.add(u"oldest"_s);
    f.add(u"kept"_s, true);
    f.add(u"newest"_s);
    f.app->applicationDidFinishLaunching();
    // Answered as the user does, once the question is on screen.
    QStringList asked;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        asked << box->text() << box->informativeText() << box->escapeButton()->text();
        if (answer.isEmpty())
            box->done(QDialog::Rejected);
        else if (answer == "\r")
            QTest::keyClick(box, Qt::Key_Return);
        for (QAbstractButton *button : box->buttons()) {
            if (!answer.isEmpty() && button->text() == qtTrId(answer.constData()))
                button->click();
        }
    });
    f.trayMenu()->actions().at(3)->trigger();

    QCOMPARE(asked,
        (QStringList {
            qtTrId("alert.clear.title"), qtTrId("alert.clear.message"), qtTrId("alert.cancel") }));
    QCOMPARE(f.app->store().clips().size(), remaining);
    QVERIFY(f.app->store().clips().at(remaining == 1 ? 0 : 1).isKept);
}

void tst_AppDelegate::deleteAndCopyPlain()
{
    Fixture f;
    f.add(u"stays"_s);
    const Clip image = f.add(u"Image"_s, false, ClipKind::image);
    f.app->applicationDidFinishLaunching();
    f.app->panel().show(true, ListMode::all);
    const QString imageFile = f.app->store().imagePath(image);
    QVERIFY(QFile::exists(imageFile));

    f.click(0, ClipRowView::Hit::deleteButton);
    QCOMPARE(f.app->store().clips().size(), 1);
    // The file goes once the deletion is saved.
    f.app->store().flush();
    QVERIFY(!QFile::exists(imageFile));
    QCOMPARE(f.history().visibleClips().size(), 1);

    const QList<QAction *> actions = f.history().updateContextMenu(0)->actions();
    const auto copyPlain = std::find_if(actions.cbegin(), actions.cend(),
        [](const QAction *action) { return action->text() == qtTrId("clip.copyPlain"); });
    QVERIFY(copyPlain != actions.cend());
    (*copyPlain)->trigger();
    QCOMPARE(f.pasteboard.types(), QStringList { PasteboardType::plainText });
    QCOMPARE(f.pasteboard.dataForType(PasteboardType::plainText), QByteArray("stays"));
    // Not recorded as a copy, and the panel is left alone.
    f.app->monitor().poll();
    QCOMPARE(f.app->store().clips().size(), 1);
    QVERIFY(f.panel().isVisible());
    QVERIFY(f.workspace.activations.isEmpty());
}

void tst_AppDelegate::choose_data()
{
    QTest::addColumn<ClipKind>("kind");
    QTest::addColumn<bool>("fileVanished");
    QTest::addColumn<bool>("alwaysVisible");
    QTest::addColumn<std::optional<RunningWindow>>("frontAtChoice");
    QTest::addColumn<RunningWindow>("previous");

    const auto own = RunningWindow { 0x1200003, QCoreApplication::applicationPid() };
    const auto anonymous = RunningWindow { 0x800001, std::nullopt };
    QTest::newRow("text, our panel in front")
        << ClipKind::text << false << false << std::optional(own) << editor;
    QTest::newRow("image") << ClipKind::image << false << false << std::optional(own) << editor;
    QTest::newRow("image whose file vanished")
        << ClipKind::image << true << false << std::optional(own) << editor;
    QTest::newRow("always visible: only loses the keyboard")
        << ClipKind::text << false << true << std::optional(own) << editor;
    QTest::newRow("nothing in front")
        << ClipKind::text << false << false << std::optional<RunningWindow>() << editor;
    QTest::newRow("clicked in while another program was in front")
        << ClipKind::text << false << false << std::optional(terminal) << terminal;
    QTest::newRow("a window that names no process")
        << ClipKind::text << false << false << std::optional(anonymous) << anonymous;
}

void tst_AppDelegate::choose()
{
    QFETCH(ClipKind, kind);
    QFETCH(bool, fileVanished);
    QFETCH(bool, alwaysVisible);
    QFETCH(std::optional<RunningWindow>, frontAtChoice);
    QFETCH(RunningWindow, previous);

    Fixture f(alwaysVisible);
    f.add(u"older"_s);
    const Clip clip = f.add(u"chosen words"_s, false, kind);
    if (fileVanished)
        QVERIFY(QFile::remove(f.app->store().imagePath(clip)));
    f.app->applicationDidFinishLaunching();
    f.app->panel().show(true, ListMode::all);
    f.workspace.frontmost = frontAtChoice;
    const QList<Clip> before = f.app->store().clips();
    const qsizetype toldBefore = f.notifier.shown.size();

    QTest::keyClick(f.searchField(), Qt::Key_Return);

    // An image that is gone is told, not put on the clipboard as an empty offer.
    QCOMPARE(f.pasteboard.writes(), fileVanished ? 0 : 1);
    QCOMPARE(f.notifier.shown.size() - toldBefore, fileVanished ? 1 : 0);
    if (kind == ClipKind::text)
        QCOMPARE(f.pasteboard.dataForType(PasteboardType::plainText), QByteArray("chosen words"));
    else if (!fileVanished)
        QCOMPARE(f.pasteboard.dataForType(PasteboardType::png), pngBytes());
    else
        QVERIFY(f.notifier.shown.last().message.contains(f.app->store().imagePath(clip)));
    QCOMPARE(f.panel().isVisible(), alwaysVisible);
    QCOMPARE(f.mouse.installed(), alwaysVisible ? 1 : 0);
    QCOMPARE(f.workspace.activations, QList<RunningWindow> { previous });
    // Neither the choice nor the write it made changes the history.
    f.app->monitor().poll();
    QCOMPARE(f.app->store().clips(), before);
}

void tst_AppDelegate::failuresAreToldOnce()
{
    Fixture f;
    f.app->applicationDidFinishLaunching();
    // Offscreen there is no tray: that is told once, and nothing else.
    QCOMPARE(f.notifier.shown.size(), 1);
    QCOMPARE(f.notifier.shown.first().message, qtTrId("status.noTray"));
    // The archive cannot be written (something is in the way of its
    // temporary file): one message however many changes fail.
    const QString blocker = f.app->store().archivePath() + u".tmp"_s;
    QVERIFY(QDir().mkpath(blocker + u"/x"_s));
    for (const char *text : { "one", "two", "three" })
        f.add(QString::fromLatin1(text));
    f.app->store().flush();
    QTRY_COMPARE(f.notifier.shown.size(), 2);
    QVERIFY(f.notifier.shown.last().problem);
    QVERIFY(f.notifier.shown.last().message.contains(f.app->store().rootPath()));
    QCOMPARE(f.app->store().clips().size(), 3);
    // Once it can be written again, the next change saves and says so.
    QVERIFY(QDir(blocker).removeRecursively());
    f.add(u"four"_s);
    f.app->store().flush();
    QTRY_COMPARE(f.notifier.shown.size(), 3);
    QVERIFY(!f.notifier.shown.last().problem);
    QVERIFY(QFile::exists(f.app->store().archivePath()));

    // An archive that does not load is set aside under a name the user is
    // told, once.
    QFile archive(f.app->store().archivePath());
    QVERIFY(archive.open(QIODevice::WriteOnly | QIODevice::Truncate));
    archive.write("{ not json");
    archive.close();
    f.start();
    f.app->applicationDidFinishLaunching();
    f.add(u"after"_s);
    f.add(u"more"_s);
    f.app->store().flush();
    QTRY_COMPARE(f.notifier.shown.size(), 4);
    const QStringList asides
        = QDir(f.app->store().rootPath()).entryList({ u"clips.json.corrupt-*"_s });
    QCOMPARE(asides.size(), 1);
    QVERIFY(f.notifier.shown.last().message.contains(asides.first()));
    QCOMPARE(f.notifier.problems(), 3);

    QFile journal(f.dir.filePath(u"Quillstack/clips.journal"_s));
    // A folder in the journal's place is not ours: it stays as it is, and
    // the user is told once what it is, not to free disk space. A file in
    // the images' place is told of its own.
    const QString media = f.app->store().mediaPath();
    f.app.reset();
    journal.remove();
    QVERIFY(QDir().mkpath(journal.fileName()));
    QVERIFY(QDir(media).removeRecursively());
    QVERIFY(QFile(media).open(QIODevice::WriteOnly));
    f.start();
    f.app->applicationDidFinishLaunching();
    f.add(u"not saved"_s);
    f.add(u"nor this"_s);
    f.app->store().flush();
    QTRY_COMPARE(f.notifier.shown.size(), 6);
    QCOMPARE(f.notifier.shown[4].message,
        journal.fileName()
            + QStringLiteral(" is a folder, not Quillstack's journal. Your clips are kept while "
                             "Quillstack runs, but not saved until it is moved away."));
    QVERIFY(f.notifier.shown[5].message.contains(media));
    QCOMPARE(f.notifier.problems(), 5);
    f.app.reset();
    QVERIFY(QFileInfo(journal.fileName()).isDir());
    QCOMPARE(f.notifier.shown.size(), 6);
}

// The preferences window is made once and comes back where the user left
// it; a second clip to edit replaces the open editor.
void tst_AppDelegate::auxiliaryWindows()
{
    Fixture f;
    f.app->applicationDidFinishLaunching();
    f.app->openPreferences();
    PreferencesController *preferences = topLevelWindow<PreferencesController>();
    QVERIFY(preferences && preferences->isVisible());
    QCOMPARE(f.workspace.activations.last().windowId, quint64(preferences->winId()));
    preferences->move(preferences->pos() + QPoint(40, 30));
    const QPoint moved = preferences->pos();
    preferences->close();
    QVERIFY(!preferences->isVisible());
    f.app->openPreferences();
    QCOMPARE(topLevelWindow<PreferencesController>(), preferences);
    QCOMPARE(preferences->pos(), moved);
    QCOMPARE(f.defaults.integer(QLatin1String(SettingsKeys::reviewSettingsOpens)), 2);
    preferences->close();

    const Clip first = f.add(u"first"_s);
    const Clip second = f.add(u"second"_s);
    f.app->panel().show(true, ListMode::all);
    f.click(1, ClipRowView::Hit::editButton);
    const QPointer<EditClipController> firstEditor = topLevelWindow<EditClipController>();
    QVERIFY(firstEditor && firstEditor->isVisible());
    QCOMPARE(firstEditor->clip().id, first.id);
    QCOMPARE(firstEditor->focusWidget(), firstEditor->textView());
    // A second clip to edit replaces the open editor.
    f.click(0, ClipRowView::Hit::editButton);
    QTRY_VERIFY(!firstEditor);
    const QPointer<EditClipController> editor = topLevelWindow<EditClipController>();
    QCOMPARE(editor->clip().id, second.id);
    QCOMPARE(f.workspace.activations.last().windowId, quint64(editor->winId()));
}

QTEST_MAIN(tst_AppDelegate)
#include "tst_AppDelegate.moc"
