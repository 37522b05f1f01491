// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"
#include "app/SessionBus.h"
#include "app/SessionService.h"
#include "app/StatusIcon.h"
#include "model/ClipStore.h"
#include "model/FolderLock.h"
#include "platform/x11/X11Display.h"
#include "program/Program.h"
#include "ui/Translations.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QFontMetrics>
#include <QSocketNotifier>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <malloc.h>
#include <memory>
#include <optional>
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

// The tray icon and the panel's text need Qt's icon theme, its SVG plugin
// and the fonts, whose set-up is most of what launching costs: it is done
// while the history is still being read, not after.
void prepareWhileHistoryLoads()
{
    StatusIcon::icon();
    QFontMetrics(QApplication::font()).height();
}

// Another program holds the history folder. It claims its name on the bus
// just after taking the folder: once the name is there, this start has
// nothing to do, as when a second start finds it at once.
int handOver(const QDBusConnection &bus, const QString &folder)
{
    const QDBusConnectionInterface *busInterface = bus.isConnected() ? bus.interface() : nullptr;
    for (int tries = 0; busInterface && tries < 50; ++tries) {
        if (busInterface->isServiceRegistered(SessionBus::serviceName))
            return CommandLine::success;
        QThread::msleep(100);
    }
    std::fprintf(stderr, "quillstack: %s\n", qPrintable(qtTrId("cli.folderInUse").arg(folder)));
    return CommandLine::failure;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Quillstack"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLSTACK_VERSION));
    if (const std::optional<int> exitCode = handleCommandLine(argc, argv))
        return *exitCode;

    // Blocks from 256 KiB up (the history's file as it is read, clipboard
    // transfers, decoded images) go back to the system when freed. glibc
    // would raise its threshold after the first and put later ones in the
    // heap, where the holes they leave stay resident for the life of a tray
    // program.
    ::mallopt(M_MMAP_THRESHOLD, 256 * 1024);

    // One writer per history folder, with a session bus or without: taken
    // before anything of the folder is read.
    const std::unique_ptr<FolderLock> folderLock = ClipStore::lockFolder();
    const bool folderHeld = folderLock->state() == FolderLock::State::held;
    // Read while the display connection and the widgets are set up.
    std::optional<ClipStore::Preload> preload;
    if (!folderHeld)
        preload.emplace();
    QApplication app(argc, argv);
    // The program lives in the tray; closing a window never ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    quitOnTerminationSignals(app);
    installTranslations(app);

    // One program per session: a second start leaves the running one alone.
    const QDBusConnection bus = SessionBus::connect();
    if (folderHeld)
        return handOver(bus, folderLock->folder());
    const SessionBus::Claim claim = SessionBus::claimServiceName(bus);
    if (claim == SessionBus::Claim::heldByAnother)
        return CommandLine::success;

    prepareWhileHistoryLoads();
    Program program;
    SessionService service(program.app());
    QString busError = qtTrId("cli.noBus");
    if (claim != SessionBus::Claim::claimed || !service.publish(bus, &busError))
        program.app().tellUser(Notifier::Topic::noSessionBus, qtTrId("notice.noBus.title"),
            qtTrId("status.noCommandLine").arg(busError));
    program.runIn(app);
    return app.exec();
}
