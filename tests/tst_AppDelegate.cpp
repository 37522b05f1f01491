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
#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "model/Settings.h"
#include "model/SettingsKeys.h"
#include "pasteboard/PasteboardMonitor.h"
#include "ui/EditClipController.h"
#include "ui/HistoryViewController.h"
#include "ui/HistoryViewControllerDelegate.h"
#include "ui/PreferencesController.h"
#include "ui/Translations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
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
        return StoreFixture::add(app->store(),
            kind == ClipKind::image ? StoreFixture::image(pngBytes()) : StoreFixture::text(text),
            kept);
    }

    HistoryPanel &panel() { return app->panel().panel(); }
    HistoryViewController &history() { return *app->panel().history(); }
    QLineEdit *searchField() { return history().searchField(); }
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
    void copyPlain();
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
    // The limits apply again when the settings change.
    f.app->settings().setMaxClipCount(3);
    QCOMPARE(f.app->store().clips().size(), 3);

    // A shortcut press that leaves the panel on screen counts as an opening,
    // once the panel is drawn, or at the latest when the program ends.
    const QString opens = QLatin1String(SettingsKeys::reviewHotkeyPanelOpens);
    f.app->toggleFromShortcut(ListMode::all);
    QTRY_COMPARE(f.defaults.integer(opens), 1);
    f.app->toggleFromShortcut(ListMode::all);
    QVERIFY(!f.panel().isVisible());
    f.app->toggleFromShortcut(ListMode::pinned);
    // A copy that arrives just before the end is still recorded.
    PasteboardContents copied;
    copied.setData(PasteboardType::plainText, "last words");
    copied.types = { PasteboardType::plainText };
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
    menu->actions().at(4)->trigger();
    QCOMPARE(recording, (QList<QVariantList> { { false }, { true } }));
    menu->actions().at(2)->trigger();
    QVERIFY(topLevelWindow<PreferencesController>()->isVisible());
    // Shared words go on the clipboard without joining the history.
    menu->actions().at(6)->trigger();
    QTRY_VERIFY(topLevelWindow<QMenu>(u"shareMenu"_s));
    topLevelWindow<QMenu>(u"shareMenu"_s)->actions().first()->trigger();
    QVERIFY(f.pasteboard.dataForType(PasteboardType::plainText)
                ->contains(TrayMenu::shareAddress().toEncoded()));
    f.app->monitor().poll();
    QVERIFY(f.app->store().clips().isEmpty());
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
    QTest::newRow("escape") << QByteArray("\x1b") << 3;
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
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (answer.isEmpty())
            box->done(QDialog::Rejected);
        else if (answer.size() == 1)
            QTest::keyClick(box, answer == "\r" ? Qt::Key_Return : Qt::Key_Escape);
        for (QAbstractButton *button : box->buttons()) {
            if (!answer.isEmpty() && button->text() == qtTrId(answer.constData()))
                button->click();
        }
    });
    f.trayMenu()->actions().at(3)->trigger();
    QCOMPARE(f.app->store().clips().size(), remaining);
    QVERIFY(f.app->store().clips().at(remaining == 1 ? 0 : 1).isKept);
}

// A row's plain copy goes on the clipboard without being recorded, and
// leaves the panel alone.
void tst_AppDelegate::copyPlain()
{
    Fixture f;
    f.add(u"stays"_s);
    f.app->applicationDidFinishLaunching();
    f.app->panel().show(true, ListMode::all);
    f.history().delegate()->historyDidRequestCopyPlain(u"plain words"_s);
    QCOMPARE(f.pasteboard.types(), QStringList { PasteboardType::plainText });
    QCOMPARE(f.pasteboard.dataForType(PasteboardType::plainText), QByteArray("plain words"));
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
    QTest::newRow("image, our panel in front")
        << ClipKind::image << false << false << std::optional(own) << editor;
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
    const auto save = [&f](const QStringList &texts) {
        for (const QString &text : texts)
            f.add(text);
        f.app->store().flush();
    };
    f.app->applicationDidFinishLaunching();
    // Offscreen there is no tray: that is told once, and nothing else.
    QCOMPARE(f.notifier.shown.size(), 1);
    QCOMPARE(f.notifier.shown.first().message, qtTrId("status.noTray"));
    // The archive cannot be written (something is in the way of its
    // temporary file): one message however many changes fail.
    const QString blocker = f.app->store().archivePath() + u".tmp"_s;
    QVERIFY(QDir().mkpath(blocker + u"/x"_s));
    save({ u"one"_s, u"two"_s, u"three"_s });
    QTRY_COMPARE(f.notifier.shown.size(), 2);
    QVERIFY(f.notifier.shown.last().problem);
    QVERIFY(f.notifier.shown.last().message.contains(f.app->store().rootPath()));
    // Once it can be written again, the next change saves and says so.
    QVERIFY(QDir(blocker).removeRecursively());
    save({ u"four"_s });
    QTRY_COMPARE(f.notifier.shown.size(), 3);
    QVERIFY(!f.notifier.shown.last().problem);

    // An archive that does not load is set aside under a name the user is
    // told, once.
    writeFile(f.app->store().archivePath(), "{ not json");
    f.start();
    f.app->applicationDidFinishLaunching();
    save({ u"after"_s, u"more"_s });
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
    save({ u"not saved"_s, u"nor this"_s });
    QTRY_COMPARE(f.notifier.shown.size(), 6);
    QCOMPARE(f.notifier.shown[4].message,
        journal.fileName()
            + QStringLiteral(" is a folder, not Quillstack's journal. Your clips are kept while "
                             "Quillstack runs, but not saved until it is moved away."));
    QVERIFY(f.notifier.shown[5].message.contains(media));
    QCOMPARE(f.notifier.problems(), 5);
    f.app.reset();
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
    preferences->move(preferences->pos() + QPoint(40, 30));
    const QPoint moved = preferences->pos();
    preferences->close();
    f.app->openPreferences();
    QCOMPARE(topLevelWindow<PreferencesController>(), preferences);
    QCOMPARE(preferences->pos(), moved);
    QCOMPARE(f.defaults.integer(QLatin1String(SettingsKeys::reviewSettingsOpens)), 2);
    preferences->close();

    const Clip first = f.add(u"first"_s);
    const Clip second = f.add(u"second"_s);
    f.history().delegate()->historyDidRequestEdit(first);
    const QPointer<EditClipController> firstEditor = topLevelWindow<EditClipController>();
    QVERIFY(firstEditor && firstEditor->isVisible());
    QCOMPARE(firstEditor->clip().id, first.id);
    QCOMPARE(firstEditor->focusWidget(), firstEditor->textView());
    // A second clip to edit replaces the open editor.
    f.history().delegate()->historyDidRequestEdit(second);
    QTRY_VERIFY(!firstEditor);
    QCOMPARE(topLevelWindow<EditClipController>()->clip().id, second.id);
}

QTEST_MAIN(tst_AppDelegate)
#include "tst_AppDelegate.moc"
