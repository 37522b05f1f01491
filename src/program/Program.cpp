// SPDX-License-Identifier: GPL-3.0-or-later
#include "program/Program.h"

#include "app/NoPasteKeys.h"
#include "platform/wayland/GnomeShellBus.h"
#include "platform/wayland/GnomeShellHotkeyRegistrar.h"
#include "platform/wayland/GnomeShellPasteKeys.h"
#include "platform/wayland/GnomeShellPasteboard.h"
#include "platform/wayland/GnomeShellWorkspace.h"
#include "platform/wayland/KWinWorkspace.h"
#include "platform/wayland/PortalHotkeyRegistrar.h"
#include "platform/wayland/PortalTrigger.h"
#include "platform/wayland/WaylandPasteKeys.h"
#include "platform/wayland/WaylandPasteboard.h"
#include "platform/wayland/WaylandWorkspace.h"
#include "platform/x11/X11HotkeyRegistrar.h"
#include "platform/x11/X11KeyboardLayout.h"
#include "platform/x11/X11MouseMonitor.h"
#include "platform/x11/X11PasteKeys.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/x11/X11Workspace.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QTimer>

#include <cstdio>

namespace {

std::unique_ptr<Defaults> makeDefaults(const QString &settingsFile)
{
    return settingsFile.isEmpty() ? std::make_unique<Defaults>()
                                  : std::make_unique<Defaults>(settingsFile);
}

void logLine(const QString &line)
{
    std::fprintf(stderr, "quillstack: %s\n", qPrintable(line));
}

bool onWayland()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// GNOME's compositor has no data-control: there the GNOME Shell companion
// is the way to the clipboard, the windows and the keys.
bool throughGnomeShell()
{
    return GnomeShellBus::isGnomeWayland()
        && GnomeShellBus::isAvailable(QDBusConnection::sessionBus());
}

// One clipboard back end runs, never two: on Wayland the compositor's
// XWayland bridge would otherwise hand the same copy to both.
std::unique_ptr<Pasteboard> makePasteboard()
{
    QString why;
    if (throughGnomeShell()) {
        // Where the companion offers one type only, the X11 clipboard offers all.
        GnomeShellPasteboard::OfferThroughX11 offerThroughX11;
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            offerThroughX11 = &X11Pasteboard::claimClipboard;
        auto shell = std::make_unique<GnomeShellPasteboard>(
            QDBusConnection::sessionBus(), std::move(offerThroughX11));
        if (shell->isReading()) {
            logLine(QStringLiteral("clipboard through the GNOME Shell companion"));
            return shell;
        }
    }
    if (onWayland()) {
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
    // A reader that cannot run is told to the user at launch.
    return x11;
}

// On Wayland the window to hand the keyboard back to may be a Wayland one,
// which only the compositor's window list knows; X11 sees only its own.
// KWin lists its windows only to its scripts.
std::unique_ptr<Workspace> makeWorkspace()
{
    if (throughGnomeShell())
        return std::make_unique<GnomeShellWorkspace>();
    if (onWayland() && KWinWorkspace::isRunning())
        return std::make_unique<KWinWorkspace>();
    if (onWayland())
        return std::make_unique<WaylandWorkspace>();
    return std::make_unique<X11Workspace>();
}

} // namespace

// On Wayland our X11 grabs see only keys typed into X11 windows: the desktop
// portal binds the shortcuts where it can, the X11 grabs stay as the way left.
std::unique_ptr<GlobalHotkeys::HotkeyRegistrar> Program::makeHotkeyRegistrar()
{
    auto x11 = std::make_unique<X11HotkeyRegistrar>();
    if (!onWayland())
        return x11;
    if (throughGnomeShell()) {
        logLine(QStringLiteral("global shortcuts through the GNOME Shell companion"));
        return std::make_unique<GnomeShellHotkeyRegistrar>(QDBusConnection::sessionBus(),
            std::move(x11), GnomeShellHotkeyRegistrar::standardNames(m_namedShortcuts),
            [this](const GlobalHotkeys::Shortcut &shortcut) {
                return portalTrigger(shortcut, *m_keyboardLayout);
            });
    }
    return std::make_unique<PortalHotkeyRegistrar>(
        QDBusConnection::sessionBus(), std::move(x11),
        PortalHotkeyRegistrar::standardActions(m_namedShortcuts),
        [this](const GlobalHotkeys::Shortcut &shortcut) {
            return portalTrigger(shortcut, *m_keyboardLayout);
        },
        *m_notifier);
}

// Without the companion GNOME passes Wayland programs' copies to us only
// while one of our windows has the keyboard: the user is told how to enable it.
void Program::adviseGnomeCompanion()
{
    if (!GnomeShellBus::isGnomeWayland()
        || dynamic_cast<GnomeShellPasteboard *>(m_pasteboard.get()))
        return;
    logLine(QStringLiteral("the GNOME Shell companion is not running; enable it with "
                           "\"gnome-extensions enable %1\"")
                .arg(GnomeShellBus::extensionUuid));
    m_app->tellUser({ Notifier::Topic::clipboardUnavailable, GnomeShellBus::extensionUuid },
        qtTrId("notice.gnomeCompanion.title"),
        qtTrId("notice.gnomeCompanion.message")
            .arg(QStringLiteral("gnome-extensions enable ") + GnomeShellBus::extensionUuid));
}

// Keys for other programs go where their windows are: through XTEST on X11,
// through the GNOME Shell companion under GNOME, through the compositor's
// virtual keyboard on other Wayland desktops.
std::unique_ptr<PasteKeys> Program::makePasteKeys()
{
    if (auto *x11 = qobject_cast<X11Workspace *>(m_workspace.get()))
        return std::make_unique<X11PasteKeys>(
            *x11, static_cast<const X11KeyboardLayout &>(*m_keyboardLayout));
    if (qobject_cast<GnomeShellWorkspace *>(m_workspace.get()))
        return std::make_unique<GnomeShellPasteKeys>();
    if (qobject_cast<KWinWorkspace *>(m_workspace.get()))
        return std::make_unique<NoPasteKeys>(qtTrId("paste.unavailable.kwin"));
    if (auto *wayland = qobject_cast<WaylandWorkspace *>(m_workspace.get()))
        return std::make_unique<WaylandPasteKeys>(*wayland);
    return std::make_unique<NoPasteKeys>(qtTrId("paste.unavailable.virtualKeyboard"));
}

Program::Program(const Options &options)
    : m_defaults(makeDefaults(options.settingsFile))
    , m_ownNotifier(options.notifier ? nullptr : std::make_unique<Notifier>())
    , m_notifier(options.notifier ? options.notifier : m_ownNotifier.get())
    , m_pasteboard(makePasteboard())
    , m_workspace(makeWorkspace())
    , m_mouseMonitor(std::make_unique<X11MouseMonitor>())
    , m_hotkeyRegistrar(makeHotkeyRegistrar())
    , m_keyboardLayout(std::make_unique<X11KeyboardLayout>())
    , m_namedShortcuts(*m_defaults, *m_hotkeyRegistrar, *m_keyboardLayout)
    , m_pasteKeys(makePasteKeys())
{
    m_app = std::make_unique<AppDelegate>(
        AppServices { *m_defaults, *m_pasteboard, *m_workspace, m_screens, *m_mouseMonitor,
            m_namedShortcuts, *m_notifier, options.appSupportDir, m_pasteKeys.get() });
    adviseGnomeCompanion();
}

Program::~Program() = default;

void Program::runIn(QCoreApplication &app)
{
    QObject::connect(m_app.get(), &AppDelegate::quitRequested, &app, &QCoreApplication::quit,
        Qt::QueuedConnection);
    QObject::connect(
        &app, &QCoreApplication::aboutToQuit, m_app.get(), &AppDelegate::applicationWillTerminate);
    QTimer::singleShot(0, m_app.get(), &AppDelegate::applicationDidFinishLaunching);
}
