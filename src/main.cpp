#include "AppDelegate.h"
#include "AppServices.h"
#include "CommandLine.h"
#include "Defaults.h"
#include "NamedShortcuts.h"
#include "QtScreens.h"
#include "SessionBus.h"
#include "SessionService.h"
#include "Translations.h"
#include "WaylandPasteboard.h"
#include "WaylandWorkspace.h"
#include "X11Display.h"
#include "X11HotkeyRegistrar.h"
#include "X11KeyboardLayout.h"
#include "X11MouseMonitor.h"
#include "X11Pasteboard.h"
#include "X11Workspace.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = { -1, -1 };

// Ctrl+C and a plain kill end the event loop, so that pending saves finish.
void quitOnTerminationSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = [](int) {
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write(signalPipe[0], &byte, 1);
    };
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

// Help, version, usage errors and commands for the running program need
// neither a display nor the tray program: they are dealt with before either.
std::optional<int> handleCommandLine(int &argc, char **argv)
{
    QCoreApplication app(argc, argv);
    installTranslations(app);
    if (const std::optional<int> exitCode = CommandLine::run(app.arguments()))
        return exitCode;
    // Placing the panel, handing the keyboard back and seeing outside clicks
    // all go through X11; on a Wayland session that is XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    if (qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("xcb") && !x11DisplayReachable()) {
        std::fprintf(stderr, "quillstack: %s\n", qPrintable(qtTrId("cli.noDisplay")));
        return CommandLine::failure;
    }
    return std::nullopt;
}

void logLine(const QString &line)
{
    std::fprintf(stderr, "quillstack: %s\n", qPrintable(line));
}

// One clipboard back end runs, never two: on Wayland the compositor's
// XWayland bridge would otherwise hand the same copy to both.
std::unique_ptr<Pasteboard> makePasteboard()
{
    QString why;
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        auto wayland = std::make_unique<WaylandPasteboard>();
        if (wayland->isReading()) {
            logLine(QStringLiteral("clipboard through Wayland (%1)").arg(wayland->protocolName()));
            return wayland;
        }
        why = QStringLiteral(" (XWayland): %1, so copies made in Wayland programs are seen only "
                             "when the compositor passes them to X11")
                  .arg(wayland->errorString());
    }
    auto x11 = std::make_unique<X11Pasteboard>();
    if (x11->isReading())
        logLine(QStringLiteral("clipboard through X11") + why);
    else
        logLine(QStringLiteral("copies cannot be recorded: %1").arg(x11->errorString()));
    return x11;
}

// On Wayland the window to hand the keyboard back to may be a Wayland one,
// which only the compositor's window list knows; X11 sees only its own.
std::unique_ptr<Workspace> makeWorkspace()
{
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return std::make_unique<WaylandWorkspace>();
    return std::make_unique<X11Workspace>();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Quillstack"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLSTACK_VERSION));
    if (const std::optional<int> exitCode = handleCommandLine(argc, argv))
        return *exitCode;

    QApplication app(argc, argv);
    // The program lives in the tray; closing a window never ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    quitOnTerminationSignals(app);
    installTranslations(app);

    // One program per session: a second start leaves the running one alone.
    const QDBusConnection bus = SessionBus::connect();
    const SessionBus::Claim claim = SessionBus::claimServiceName(bus);
    if (claim == SessionBus::Claim::heldByAnother)
        return CommandLine::success;

    Defaults defaults;
    const std::unique_ptr<Pasteboard> pasteboard = makePasteboard();
    const std::unique_ptr<Workspace> workspace = makeWorkspace();
    QtScreens screens;
    X11MouseMonitor mouseMonitor;
    X11HotkeyRegistrar hotkeyRegistrar;
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        logLine(QStringLiteral("global shortcuts are grabbed through XWayland and see only keys "
                               "typed into X11 windows; bind \"quillstack --toggle\" in the "
                               "compositor's shortcuts (README, \"Wayland\")"));
    }
    X11KeyboardLayout keyboardLayout;
    GlobalHotkeys::NamedShortcuts namedShortcuts(defaults, hotkeyRegistrar, keyboardLayout);
    AppDelegate delegate(AppServices {
        defaults, *pasteboard, *workspace, screens, mouseMonitor, namedShortcuts, QString() });
    QObject::connect(&delegate, &AppDelegate::quitRequested, &app, &QCoreApplication::quit,
        Qt::QueuedConnection);
    SessionService service(delegate);
    QString busError = qtTrId("cli.noBus");
    if (claim != SessionBus::Claim::claimed || !service.publish(bus, &busError))
        std::fprintf(
            stderr, "quillstack: %s\n", qPrintable(qtTrId("status.noCommandLine").arg(busError)));
    QObject::connect(
        &app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return app.exec();
}
