// SPDX-License-Identifier: GPL-3.0-or-later
#include "PaintedPixels.h"
#include "TopLevelWindow.h"
#include "X11AppFixture.h"
#include "X11TestTools.h"
#include "app/HistoryPanel.h"
#include "model/Settings.h"
#include "ui/ClipRowView.h"
#include "ui/EditClipController.h"
#include "ui/HistoryViewController.h"
#include "ui/Translations.h"

#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QScreen>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

void clickAt(const QPoint &point)
{
    runTool(u"xdotool"_s,
        { u"mousemove"_s, QString::number(point.x()), QString::number(point.y()), u"click"_s,
            u"1"_s });
}

bool underWindowManager()
{
    return qEnvironmentVariable("QUILLSTACK_NO_WM") != QLatin1String("1");
}

// The window with the keyboard by xdotool: the window manager's active
// window, or the input focus when there is no window manager.
quint64 activeWindowByXdotool()
{
    return runTool(
        u"xdotool"_s, { underWindowManager() ? u"getactivewindow"_s : u"getwindowfocus"_s })
        .toULongLong();
}

// The windows that clients have asked the window manager to activate, seen as
// the _NET_ACTIVE_WINDOW messages sent to the root window. A window manager
// that gives the focus back by itself when our panel goes away hides a
// missing request from the focus alone; other window managers do not.
class ActivationRequests
{
public:
    ActivationRequests()
        : m_connection(xcb_connect(nullptr, nullptr))
    {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const quint32 mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, root, XCB_CW_EVENT_MASK, &mask);
        const char name[] = "_NET_ACTIVE_WINDOW";
        xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 1, sizeof name - 1, name), nullptr);
        m_activeWindow = atom ? atom->atom : XCB_NONE;
        std::free(atom);
    }
    ~ActivationRequests() { xcb_disconnect(m_connection); }
    ActivationRequests(const ActivationRequests &) = delete;
    ActivationRequests &operator=(const ActivationRequests &) = delete;

    // The requested windows that have arrived since the last call.
    QList<quint64> take()
    {
        QList<quint64> windows;
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            const auto *message = reinterpret_cast<const xcb_client_message_event_t *>(event);
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE
                && message->type == m_activeWindow)
                windows.append(message->window);
            std::free(event);
        }
        return windows;
    }

private:
    xcb_connection_t *m_connection;
    xcb_atom_t m_activeWindow = XCB_NONE;
};

using Fixture = X11AppFixture;

} // namespace

class tst_AppX11 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void chooseWithReturnHandsTheKeyboardBack();
    void typedSearch();
    void outsideClicks();
};

void tst_AppX11::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), u"xcb"_s);
    QVERIFY(installTranslations(*QCoreApplication::instance()));
}

void tst_AppX11::chooseWithReturnHandsTheKeyboardBack()
{
    Fixture f;
    f.addText(u"alpha"_s);
    f.addText(u"beta"_s);
    f.app->applicationDidFinishLaunching();
    QVERIFY(f.focusOther());
    // The window manager publishes the active window a little after the
    // focus has moved.
    QVERIFY(waitFor([&] { return activeWindowByXdotool() == f.otherWindow; }));

    f.app->toggleFromShortcut(ListMode::all);
    QVERIFY(waitFor([&] { return f.panelHasKeyboard(); }));
    ActivationRequests requests;
    QVERIFY(requests.take().isEmpty());

    // Both the window manager's active window and the X input focus are the
    // previous window again; with a window manager, because we asked for it.
    runTool(u"xdotool"_s, { u"key"_s, u"Return"_s });
    QVERIFY(waitFor([&] { return !f.panel().isVisible() && f.otherHasKeyboard(); }));
    QCOMPARE(activeWindowByXdotool(), f.otherWindow);
    QCOMPARE(runTool(u"xdotool"_s, { u"getwindowfocus"_s }).toULongLong(), f.otherWindow);
    if (underWindowManager()) {
        QList<quint64> asked;
        QVERIFY(waitFor([&] {
            asked += requests.take();
            return !asked.isEmpty();
        }));
        QCOMPARE(asked, QList<quint64> { f.otherWindow });
    }
    QCOMPARE(runTool(u"xclip"_s, { u"-o"_s, u"-selection"_s, u"clipboard"_s }), u"beta"_s);
}

// Typed into the panel, a search starts at its first match, which Return
// copies; a search or a kept view with nothing to list says so on screen.
// The panel takes the keyboard back when a clip's editor closes over it.
void tst_AppX11::typedSearch()
{
    Fixture f;
    for (const char *text : { "apple one", "banana", "apple two", "date" })
        f.addText(QString::fromLatin1(text));
    f.app->applicationDidFinishLaunching();
    QVERIFY(f.focusOther());
    f.app->toggleFromShortcut(ListMode::all);
    QVERIFY(waitFor([&] { return f.panelHasKeyboard(); }));
    const HistoryViewController &history = f.history();
    const auto *rows = history.findChild<QListView *>(u"historyList"_s);
    const QRect firstRow = rows->visualRect(rows->model()->index(0, 0));
    clickAt(
        rows->viewport()->mapToGlobal(ClipRowView::layout(firstRow, false).editButton.center()));
    QVERIFY(waitFor([] {
        const auto *editor = topLevelWindow<EditClipController>();
        return editor
            && runTool(u"xdotool"_s, { u"getwindowfocus"_s }).toULongLong() == editor->winId();
    }));
    runTool(u"xdotool"_s, { u"key"_s, u"Escape"_s });
    QVERIFY(waitFor([&] { return f.panelHasKeyboard(); }));
    runTool(u"xdotool"_s, { u"key"_s, u"Down"_s });
    QVERIFY(waitFor([&] { return history.selectedRow() == 1; }));
    runTool(u"xdotool"_s, { u"type"_s, u"apple"_s });
    QVERIFY(waitFor([&] { return history.searchField()->text() == u"apple"; }));
    runTool(u"xdotool"_s, { u"key"_s, u"Return"_s });
    QVERIFY(waitFor([&] { return !f.panel().isVisible(); }));
    QCOMPARE(runTool(u"xclip"_s, { u"-o"_s, u"-selection"_s, u"clipboard"_s }), u"apple two"_s);

    // What the X server shows across the middle of the list, where the
    // message stands and no row reaches with four clips.
    const auto messageOnScreen = [rows] {
        const QRect area(
            rows->mapToGlobal(QPoint(20, rows->height() / 2 - 20)), QSize(rows->width() - 40, 40));
        const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        return pixelsUnlikeSurroundings(screen, area);
    };
    f.app->toggleFromShortcut(ListMode::all);
    // Typed once the server sends keys to the panel.
    QVERIFY(waitFor([&] {
        return f.panel().isVisible() && messageOnScreen() == 0
            && runTool(u"xdotool"_s, { u"getwindowfocus"_s }).toULongLong() == f.panel().winId();
    }));
    runTool(u"xdotool"_s, { u"type"_s, u"zzz"_s });
    QVERIFY(waitFor([&] { return history.visibleClips().isEmpty() && messageOnScreen() > 0; }));

    runTool(u"xdotool"_s, { u"key"_s, u"Escape"_s });
    QVERIFY(waitFor([&] { return history.visibleClips().size() == 4 && messageOnScreen() == 0; }));
    f.app->toggleFromShortcut(ListMode::pinned);
    QVERIFY(waitFor([&] { return messageOnScreen() > 0; }));
}

void tst_AppX11::outsideClicks()
{
    Fixture f;
    f.addText(u"alpha"_s);
    f.app->applicationDidFinishLaunching();
    QVERIFY(f.focusOther());
    f.app->toggleFromShortcut(ListMode::all);
    QVERIFY(waitFor([&] { return f.panelHasKeyboard(); }));
    int presses = 0;
    const auto probe = f.mouse.addGlobalMonitor([&presses] { ++presses; });
    QVERIFY(probe);

    // A press in the search field is ours: the panel stays.
    QLineEdit *search = f.history().searchField();
    clickAt(search->mapToGlobal(search->rect().center()));
    QTRY_COMPARE_WITH_TIMEOUT(presses, 1, 10000);
    QVERIFY(f.panel().isVisible());

    clickAt(QPoint(20, 400));
    QVERIFY(waitFor([&] { return !f.panel().isVisible() && f.otherHasKeyboard(); }));

    // Always visible: shown without taking the keyboard, and clicks elsewhere
    // leave it alone.
    f.app->settings().setAlwaysVisible(true);
    QVERIFY(f.panel().isVisible());
    QVERIFY(f.otherHasKeyboard());
    clickAt(QPoint(20, 420));
    QTRY_COMPARE_WITH_TIMEOUT(presses, 3, 10000);
    QVERIFY(f.panel().isVisible());
    // Turned off, the panel stays up until the next click elsewhere.
    f.app->settings().setAlwaysVisible(false);
    clickAt(QPoint(20, 440));
    QVERIFY(waitFor([&] { return !f.panel().isVisible(); }));
    f.mouse.removeMonitor(*probe);
}

QTEST_MAIN(tst_AppX11)
#include "tst_AppX11.moc"
