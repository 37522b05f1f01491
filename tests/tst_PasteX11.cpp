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

using namespace Qt::StringLiterals;
using GlobalHotkeys::Key;

namespace {

// Counts the clipboard's text asked of us by the program that owns `window`,
// as a program does to paste: the paste has reached it once it asks. The X
// server gives each client's windows ids from a range of its own.
class TextRequests : public QAbstractNativeEventFilter
{
public:
    explicit TextRequests(quint64 window)
    {
        xcb_connection_t *c
            = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
        m_mask = xcb_get_setup(c)->resource_id_mask;
        m_client = quint32(window) & ~m_mask;
        const X11Xcb::Reply<xcb_intern_atom_reply_t> atom(
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 11, "UTF8_STRING"), nullptr));
        m_utf8String = atom ? atom->atom : xcb_atom_t(XCB_NONE);
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~TextRequests() override { QCoreApplication::instance()->removeNativeEventFilter(this); }
    bool nativeEventFilter(const QByteArray &, void *message, qintptr *) override
    {
        // Programs ask which forms there are first, then for the text.
        const auto *request = static_cast<const xcb_selection_request_event_t *>(message);
        if ((request->response_type & 0x7f) == XCB_SELECTION_REQUEST
            && request->target == m_utf8String && (request->requestor & ~m_mask) == m_client)
            ++count;
        return false;
    }
    int count = 0;

private:
    quint32 m_mask = 0;
    quint32 m_client = 0;
    xcb_atom_t m_utf8String = XCB_NONE;
};

} // namespace

class tst_PasteX11 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), u"xcb"_s);
        QVERIFY(installTranslations(*QCoreApplication::instance()));
    }

    void pastesIntoTheWindowChosenFrom_data()
    {
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<QStringList>("layout");
        QTest::addColumn<bool>("pasteOn");
        // The choice with Shift+Return, Shift still held as the keys are pressed.
        QTest::addColumn<bool>("shiftHeld");
        // The panel opens again while the paste waits for the keyboard's hand-back.
        QTest::addColumn<bool>("reopen");

        const QStringList us { u"us"_s };
        // V sits elsewhere on Dvorak: a fixed key code would press another letter.
        const QStringList dvorak { u"us"_s, u"-variant"_s, u"dvorak"_s };
        QTest::newRow("text field") << false << us << true << false << false;
        QTest::newRow("text field, Dvorak, Shift held") << false << dvorak << true << true << false;
        QTest::newRow("terminal") << true << us << true << false << false;
        QTest::newRow("terminal, German layout, Shift held")
            << true << QStringList { u"de"_s } << true << true << false;
        QTest::newRow("text field, setting off") << false << us << false << false << false;
        QTest::newRow("terminal, panel opened again") << true << us << true << false << true;
    }

    // A real text field (zenity's, which prints what it holds when closed)
    // and a real terminal (xterm with cat writing to a file) get the clip
    // typed in; when nothing is pasted, what the user types next is all that
    // arrives.
    void pastesIntoTheWindowChosenFrom()
    {
        QFETCH(bool, terminal);
        QFETCH(QStringList, layout);
        QFETCH(bool, pasteOn);
        QFETCH(bool, shiftHeld);
        QFETCH(bool, reopen);
        const bool pasted = pasteOn && !reopen;

        KeyboardRestorer restorer;
        QVERIFY(setLayout(QStringList { u"-layout"_s } + layout));
        X11AppFixture f;
        f.addText(u"alpha"_s);
        f.addText(u"pasted clip"_s);
        f.app->settings().setPasteAfterChoosing(pasteOn);
        f.app->applicationDidFinishLaunching();
        PasteKeys &keys = f.program.pasteKeys();
        QVERIFY2(keys.unavailableReason().isEmpty(), qPrintable(keys.unavailableReason()));

        QTemporaryDir dir;
        const QString typed = dir.filePath(u"typed"_s);
        QProcess target;
        if (terminal) {
            // xterm binds no key to pasting the clipboard: Ctrl+Shift+V is
            // given that meaning here, as terminals that have it do. In raw
            // mode cat gets each byte at once, and a Ctrl+V arrives as itself.
            target.start(u"xterm"_s,
                { u"-xrm"_s,
                    u"XTerm*VT100.translations: #override Ctrl Shift <Key>V: "
                    "insert-selection(CLIPBOARD)"_s,
                    u"-e"_s, u"sh"_s, u"-c"_s, u"stty raw -echo; exec cat > '%1'"_s.arg(typed) });
        } else {
            target.start(u"zenity"_s, { u"--entry"_s });
        }
        const QString name = terminal ? u"xterm"_s : u"zenity"_s;
        quint64 focused = 0;
        const auto targetHasKeyboard = [&] {
            const std::optional<PasteKeys::Focus> focus = keys.keyboardFocus();
            focused = focus ? focus->window.windowId : 0;
            return focus && !focus->ours && focus->names.contains(name, Qt::CaseInsensitive);
        };
        // The window manager gives a new window the keyboard, or is asked to.
        const quint64 window = runTool(
            u"xdotool"_s, { u"search"_s, u"--sync"_s, u"--onlyvisible"_s, u"--classname"_s, name })
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
        TextRequests requests(targetWindow);
        QSignalSpy finished(&f.app->paste(), &PasteAfterChoosing::finished);
        // A slow window manager: the window gets the keyboard back only once
        // it runs again, and before that the shortcut opens the panel again.
        const pid_t windowManager = qEnvironmentVariableIntValue("QUILLSTACK_WM_PID");
        const auto stopped = qScopeGuard([&] {
            if (reopen)
                ::kill(windowManager, SIGCONT);
        });
        if (reopen) {
            QVERIFY(windowManager > 0);
            QVERIFY(::kill(windowManager, SIGSTOP) == 0);
        }
        if (shiftHeld)
            QVERIFY(xdotool("keydown", { Key::shift }));
        QVERIFY(xdotool("key", { Key::return_ }));
        if (reopen) {
            QVERIFY(waitFor([&] { return f.app->paste().isWaiting(); }));
            f.app->toggleFromShortcut(ListMode::all);
            QVERIFY(!f.app->paste().isWaiting());
            QVERIFY(::kill(windowManager, SIGCONT) == 0);
            f.app->toggleFromShortcut(ListMode::all);
        }
        QVERIFY(waitFor([&] { return !f.panel().isVisible() && targetHasKeyboard(); }));
        QCOMPARE(focused, targetWindow);
        if (pasted)
            QVERIFY(waitFor([&] { return !finished.isEmpty() && requests.count > 0; }));
        QVERIFY(!f.app->paste().isWaiting());
        if (shiftHeld)
            QVERIFY(xdotool("keyup", { Key::shift }));
        if (!pasted)
            QVERIFY(runToolOk(u"xdotool"_s, { u"type"_s, u"x"_s }));

        const QString expected = pasted ? u"pasted clip"_s : u"x"_s;
        if (terminal) {
            const auto contents = [&] {
                QFile file(typed);
                return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                                      : QString();
            };
            QVERIFY(waitFor([&] { return contents() == expected; }));
            target.kill();
        } else {
            // The text field answers Return once it has what was pasted.
            QVERIFY(xdotool("key", { Key::return_ }));
            QVERIFY(target.waitForFinished(10000));
            QCOMPARE(QString::fromUtf8(target.readAllStandardOutput()).trimmed(), expected);
        }
        target.waitForFinished();
        // Given up without a word.
        QCOMPARE(finished.size(), pasted ? 1 : 0);
        QVERIFY(!pasted || finished.first().first().toBool());
    }
};

QTEST_MAIN(tst_PasteX11)
#include "tst_PasteX11.moc"
