// SPDX-License-Identifier: GPL-3.0-or-later
// Paste after choosing, black-box: from the Return that chooses a clip in
// the panel, pressed on the X server through XTEST (on Wayland, XWayland's,
// where the program runs), until the paste keys reach another program,
// qs-paste-target, which prints the moment it got them. Both moments are
// read from the monotonic clock, shared by all processes. On Wayland the
// target is a Wayland client, so the keys go through the compositor.
//
// Run in a session, as the program runs: tests/support/x11-harness.sh,
// tests/support/wayland-harness.sh (headless sway) or, with
// QUILLSTACK_GNOME_EXTENSION set, tests/support/gnome-harness.sh around
//   bench_paste [CHOICES]
// Each choice has its own deadlines and failures are named; the median and
// the 90th percentile go to standard output with the load average. The goal
// is a median of 50 ms or less.
#include "app/HistoryPanel.h"
#include "app/PanelController.h"
#include "app/PasteAfterChoosing.h"
#include "app/PasteKeys.h"
#include "app/SessionBus.h"
#include "model/ClipFunctions.h"
#include "model/ClipStore.h"
#include "model/Settings.h"
#include "platform/wayland/GnomeShellBus.h"
#include "program/Program.h"
#include "ui/Translations.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

// Return on the keyboards of the evdev rules, which Xvfb and XWayland use.
constexpr xcb_keycode_t keyReturn = 36;

// Deadlines of one choice, in milliseconds.
constexpr int panelDeadline = 5000;
constexpr int pasteDeadline = 2000;
constexpr int handBackDeadline = 5000;

qint64 monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Runs the event loop until `done`, for at most `ms`; whether it came.
template<typename Condition> bool waitFor(Condition done, int ms)
{
    QElapsedTimer deadline;
    deadline.start();
    while (!done() && deadline.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return done();
}

double percentile(std::vector<double> sorted, int percent)
{
    std::sort(sorted.begin(), sorted.end());
    return sorted[std::min(sorted.size() - 1, sorted.size() * percent / 100)];
}

} // namespace

int main(int argc, char **argv)
{
    // As the program runs: on X11, or on XWayland in a Wayland session.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    QApplication application(argc, argv);
    installTranslations(application);
    const int choices = argc > 1 ? QByteArray(argv[1]).toInt() : 30;

    // In GNOME Shell: the companion answers the holder of our name, and the
    // shell starts in its overview, which Escape leaves.
    QDBusConnection bus = QDBusConnection::sessionBus();
    const bool gnome = wayland && GnomeShellBus::isAvailable(bus);
    if (gnome) {
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
        SessionBus::claimServiceName(bus);
        const auto overviewShown = [&] {
            const QDBusMessage reply = bus.call(
                QDBusMessage::createMethodCall(QStringLiteral("org.gnome.Shell"),
                    QStringLiteral("/org/gnome/Shell"),
                    QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"))
                << QStringLiteral("org.gnome.Shell") << QStringLiteral("OverviewActive"));
            return reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
        };
        waitFor(overviewShown, 20000);
        const QDBusMessage escape = bus.call(GnomeShellBus::call(
            GnomeShellBus::Member::pressChord, { QVariant::fromValue(QList<uint> { 0xff1b }) }));
        if (escape.type() != QDBusMessage::ReplyMessage) {
            std::fprintf(stderr, "bench_paste: the GNOME Shell companion did not answer: %s\n",
                qPrintable(escape.errorMessage()));
            return 1;
        }
        waitFor([&] { return !overviewShown(); }, 20000);
    }

    QTemporaryDir dir;
    Program program(
        Program::Options { dir.filePath(QStringLiteral("Quillstack.conf")), dir.path() });
    AppDelegate &app = program.app();
    if (const QString reason = program.pasteKeys().unavailableReason(); !reason.isEmpty()) {
        std::fprintf(stderr, "bench_paste: no paste keys here: %s\n", qPrintable(reason));
        return 1;
    }
    ClipContent content;
    content.text = QStringLiteral("bench");
    content.preview = *content.text;
    content.byteSize = content.text->size();
    content.contentHash = sha256Hex(content.text->toUtf8());
    app.store().add(content);
    app.settings().setPasteAfterChoosing(true);
    app.applicationDidFinishLaunching();

    xcb_connection_t *x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "bench_paste: no X server to press Return on\n");
        return 1;
    }
    const auto pressReturn = [x] {
        xcb_test_fake_input(x, XCB_KEY_PRESS, keyReturn, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(x, XCB_KEY_RELEASE, keyReturn, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(x);
    };

    QProcess target;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"),
        wayland ? QStringLiteral("wayland") : QStringLiteral("xcb"));
    target.setProcessEnvironment(environment);
    target.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    target.start(QStringLiteral(QS_PASTE_TARGET));
    QList<QByteArray> lines;
    QObject::connect(&target, &QProcess::readyReadStandardOutput, [&] {
        while (target.canReadLine())
            lines.append(target.readLine().trimmed());
    });
    if (!waitFor([&] { return lines.contains("ready"); }, 20000)) {
        std::fprintf(stderr, "bench_paste: the target did not get the keyboard\n");
        return 1;
    }
    const HistoryPanel &panel = app.panel().panel();
    // The server's keyboard focus, which Qt learns of only later.
    const auto xFocus = [x] {
        xcb_get_input_focus_reply_t *reply
            = xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr);
        const xcb_window_t focus = reply ? reply->focus : XCB_NONE;
        std::free(reply);
        return focus;
    };
    const auto targetHasKeyboard = [&] {
        const std::optional<PasteKeys::Focus> focus = program.pasteKeys().keyboardFocus();
        return focus && !focus->ours;
    };

    std::vector<double> samples;
    int failed = 0;
    for (int choice = 1; choice <= choices; ++choice) {
        const auto failure = [&](const char *what) {
            ++failed;
            std::printf("choice %d failed: %s (panel shown: %d, has the keyboard: %d, paste "
                        "waiting: %d)\n",
                choice, what, int(panel.isVisible()), int(xFocus() == panel.winId()),
                int(app.paste().isWaiting()));
            if (panel.isVisible())
                app.toggleFromShortcut(ListMode::all);
            waitFor(targetHasKeyboard, handBackDeadline);
        };
        if (!waitFor(targetHasKeyboard, handBackDeadline)) {
            failure("the target did not have the keyboard before the panel opened");
            continue;
        }
        app.toggleFromShortcut(ListMode::all);
        if (!waitFor(
                [&] {
                    if (xFocus() != panel.winId())
                        return false;
                    // On Wayland the compositor's keyboard too, which the
                    // paste then waits to get back.
                    const std::optional<PasteKeys::Focus> focus
                        = program.pasteKeys().keyboardFocus();
                    return !wayland || (focus && focus->ours);
                },
                panelDeadline)) {
            failure("the panel did not get the keyboard");
            continue;
        }
        lines.clear();
        const qint64 chosen = monotonicNs();
        pressReturn();
        if (!waitFor([&] { return !lines.isEmpty(); }, pasteDeadline)) {
            failure("no paste keys reached the target");
            continue;
        }
        samples.push_back(double(lines.first().toLongLong() - chosen) / 1e6);
    }
    target.kill();
    target.waitForFinished();
    xcb_disconnect(x);

    QFile loadavg(QStringLiteral("/proc/loadavg"));
    const QByteArray load
        = loadavg.open(QIODevice::ReadOnly) ? loadavg.readLine().trimmed() : QByteArray("?");
    std::printf("bench_paste on %s: %zu choices timed, %d failed",
        gnome         ? "GNOME Shell"
            : wayland ? "Wayland"
                      : "X11",
        samples.size(), failed);
    if (!samples.empty())
        std::printf(", median %.1f ms, p90 %.1f ms, max %.1f ms", percentile(samples, 50),
            percentile(samples, 90), percentile(samples, 100));
    std::printf("; load average %s\n", load.constData());
    return failed == 0 && !samples.empty() ? 0 : 1;
}
