#include "Program.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

std::unique_ptr<Defaults> makeDefaults(const QString &settingsFile)
{
    return settingsFile.isEmpty() ? std::make_unique<Defaults>()
                                  : std::make_unique<Defaults>(settingsFile);
}

} // namespace

Program::Program(const Options &options)
    : m_defaults(makeDefaults(options.settingsFile))
    , m_ownNotifier(options.notifier ? nullptr : std::make_unique<Notifier>())
    , m_notifier(options.notifier ? options.notifier : m_ownNotifier.get())
    , m_namedShortcuts(*m_defaults, m_hotkeyRegistrar, m_keyboardLayout)
    , m_app(std::make_unique<AppDelegate>(AppServices { *m_defaults, m_pasteboard, m_workspace,
          m_screens, m_mouseMonitor, m_namedShortcuts, *m_notifier, options.appSupportDir }))
{
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
