// SPDX-License-Identifier: GPL-3.0-or-later
#include "X11AppFixture.h"
#include "X11TestTools.h"
#include "app/HistoryPanel.h"
#include "app/PanelController.h"
#include "app/PasteAfterChoosing.h"
#include "app/PasteKeys.h"
#include "model/Settings.h"
#include "platform/x11/X11Xcb.h"
#include "ui/Translations.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <signal.h>

#include <xcb/xcb.h>

namespace {

// Counts the clipboard's contents asked of us by the program that owns
// `window`, as a program does to paste: the paste has reached it once it asks.
// The X server gives each client's windows ids from a range of its own.
class ClipboardRequests : public QAbstractNativeEventFilter
{
public:
    explicit ClipboardRequests(quint64 window)
        : m_client(window & ~resourceMask())
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~ClipboardRequests() override { QCoreApplication::instance()->removeNativeEventFilter(this); }
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if (eventType != "xcb_generic_event_t"
            || (event->response_type & 0x7f) != XCB_SELECTION_REQUEST)
            return false;
        // Programs ask which forms there are first, then for the text.
        const auto *request = reinterpret_cast<const xcb_selection_request_event_t *>(event);
        if (request->target == utf8String() && (request->requestor & ~resourceMask()) == m_client)
            ++count;
        return false;
    }
    int count = 0;

private:
    quint32 m_client;
    static xcb_connection_t *connection()
    {
        return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    }
    static quint32 resourceMask() { return xcb_get_setup(connection())->resource_id_mask; }
    static xcb_atom_t utf8String()
    {
        static const xcb_atom_t atom = [] {
            xcb_connection_t *c = connection();
            X11Xcb::Reply<xcb_intern_atom_reply_t> reply(
                xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 11, "UTF8_STRING"), nullptr));
            return reply ? reply->atom : xcb_atom_t(XCB_NONE);
        }();
        return atom;
    }
};

} // namespace

class tst_PasteX11 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void pastesIntoTheWindowChosenFrom_data();
    void pastesIntoTheWindowChosenFrom();
};

void tst_PasteX11::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QVERIFY(installTranslations(*QCoreApplication::instance()));
}

void tst_PasteX11::pastesIntoTheWindowChosenFrom_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QStringList>("layout");
    QTest::addColumn<bool>("pasteOn");
    // The choice with Shift+Return, Shift still held as the keys are pressed.
    QTest::addColumn<bool>("shiftHeld");
    // The panel opens again while the paste waits for the keyboard's hand-back.
    QTest::addColumn<bool>("reopen");

    const QStringList us { QStringLiteral("us") };
    const QStringList de { QStringLiteral("de") };
    // V sits elsewhere on Dvorak: a fixed key code would press another letter.
    const QStringList dvorak { QStringLiteral("us"), QStringLiteral("-variant"),
        QStringLiteral("dvorak") };
    QTest::newRow("text field") << false << us << true << false << false;
    QTest::newRow("text field, Dvorak, Shift held") << false << dvorak << true << true << false;
    QTest::newRow("terminal") << true << us << true << false << false;
    QTest::newRow("terminal, German layout, Shift held") << true << de << true << true << false;
    QTest::newRow("text field, setting off") << false << us << false << false << false;
    QTest::newRow("terminal, panel opened again") << true << us << true << false << true;
}

// A real text field (zenity's, which prints what it holds when closed) and a
// real terminal (xterm with cat writing to a file) get the clip typed in.
void tst_PasteX11::pastesIntoTheWindowChosenFrom()
{
    QFETCH(bool, terminal);
    QFETCH(QStringList, layout);
    QFETCH(bool, pasteOn);
    QFETCH(bool, shiftHeld);
    QFETCH(bool, reopen);

    KeyboardRestorer restorer;
    QVERIFY(setLayout(QStringList { QStringLiteral("-layout") } + layout));
    X11AppFixture f;
    f.addText(QStringLiteral("alpha"));
    f.addText(QStringLiteral("pasted clip"));
    f.app->settings().setPasteAfterChoosing(pasteOn);
    f.app->applicationDidFinishLaunching();
    PasteKeys &keys = f.program.pasteKeys();
    QVERIFY2(keys.unavailableReason().isEmpty(), qPrintable(keys.unavailableReason()));

    QTemporaryDir dir;
    const QString typed = dir.filePath(QStringLiteral("typed"));
    QProcess target;
    if (terminal) {
        // xterm binds no key to pasting the clipboard: Ctrl+Shift+V is
        // given that meaning here, as terminals that have it do. In raw mode
        // cat gets each byte at once, and a Ctrl+V arrives as itself.
        target.start(QStringLiteral("xterm"),
            { QStringLiteral("-xrm"),
                QStringLiteral("XTerm*VT100.translations: #override Ctrl Shift <Key>V: "
                               "insert-selection(CLIPBOARD)"),
                QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                QStringLiteral("stty raw -echo; exec cat > '%1'").arg(typed) });
    } else {
        target.start(QStringLiteral("zenity"), { QStringLiteral("--entry") });
    }
    const QString name = terminal ? QStringLiteral("xterm") : QStringLiteral("zenity");
    quint64 focused = 0;
    const auto targetHasKeyboard = [&] {
        const std::optional<PasteKeys::Focus> focus = keys.keyboardFocus();
        focused = focus ? focus->window.windowId : 0;
        return focus && !focus->ours && focus->names.contains(name, Qt::CaseInsensitive);
    };
    // The window manager gives a new window the keyboard, or is asked to.
    const quint64 window = runTool(QStringLiteral("xdotool"),
        { QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
            QStringLiteral("--classname"), name })
                               .section(QLatin1Char('\n'), 0, 0)
                               .toULongLong();
    QVERIFY(window != 0);
    if (!waitFor(targetHasKeyboard, 2000))
        f.workspace.activate(RunningWindow { window, std::nullopt });
    QVERIFY(waitFor(targetHasKeyboard));
    const quint64 targetWindow = focused;
    if (terminal)
        QVERIFY(waitFor([&] { return QFile::exists(typed); }));

    f.app->toggleFromShortcut(ListMode::all);
    QVERIFY(waitFor([&] { return f.panelHasKeyboard(); }));
    ClipboardRequests requests(targetWindow);
    QSignalSpy finished(&f.app->paste(), &PasteAfterChoosing::finished);
    // A slow window manager: the window gets the keyboard back only once it
    // runs again, and before that the shortcut opens the panel again.
    const pid_t windowManager = qEnvironmentVariableIntValue("QUILLSTACK_WM_PID");
    const auto stopped = qScopeGuard([&] {
        if (reopen)
            ::kill(windowManager, SIGCONT);
    });
    if (reopen) {
        QVERIFY(windowManager > 0);
        QVERIFY(::kill(windowManager, SIGSTOP) == 0);
    }
    if (shiftHeld) {
        QVERIFY(runToolOk(QStringLiteral("xdotool"),
            { QStringLiteral("keydown"), QStringLiteral("shift"), QStringLiteral("key"),
                QStringLiteral("Return") }));
    } else {
        QVERIFY(runToolOk(
            QStringLiteral("xdotool"), { QStringLiteral("key"), QStringLiteral("Return") }));
    }
    if (reopen) {
        QVERIFY(waitFor([&] { return f.app->paste().isWaiting(); }));
        f.app->toggleFromShortcut(ListMode::all);
        QVERIFY(!f.app->paste().isWaiting());
        QVERIFY(::kill(windowManager, SIGCONT) == 0);
        f.app->toggleFromShortcut(ListMode::all);
    }
    QVERIFY(waitFor([&] { return !f.panel().isVisible() && targetHasKeyboard(); }));
    QCOMPARE(focused, targetWindow);

    QString expected = QStringLiteral("pasted clip");
    if (pasteOn && !reopen) {
        QVERIFY(waitFor([&] { return !finished.isEmpty(); }));
        QCOMPARE(finished.first().first().toBool(), true);
        QVERIFY(waitFor([&] { return requests.count > 0; }));
        for (const RecordingNotifier::Shown &shown : f.notifier.shown)
            QVERIFY(shown.title != qtTrId("notice.pasteFailed.title"));
    } else {
        QVERIFY(!f.app->paste().isWaiting());
        // What the user types next is all that arrives.
        expected = QStringLiteral("x");
    }
    if (shiftHeld)
        QVERIFY(runToolOk(
            QStringLiteral("xdotool"), { QStringLiteral("keyup"), QStringLiteral("shift") }));
    if (expected == QStringLiteral("x"))
        QVERIFY(
            runToolOk(QStringLiteral("xdotool"), { QStringLiteral("type"), QStringLiteral("x") }));

    if (terminal) {
        const auto contents = [&] {
            QFile file(typed);
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        };
        QVERIFY(waitFor([&] { return contents() == expected; }));
        // Given up without a word.
        QCOMPARE(finished.size(), pasteOn && !reopen ? 1 : 0);
        target.kill();
    } else {
        // The text field answers Return once it has what was pasted.
        QVERIFY(runToolOk(
            QStringLiteral("xdotool"), { QStringLiteral("key"), QStringLiteral("Return") }));
        QVERIFY(target.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(target.readAllStandardOutput()).trimmed(), expected);
    }
    target.waitForFinished();
}

QTEST_MAIN(tst_PasteX11)
#include "tst_PasteX11.moc"
