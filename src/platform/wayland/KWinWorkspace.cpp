// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/KWinWorkspace.h"

#include "app/SessionBus.h"
#include "model/AtomicFile.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QMetaClassInfo>
#include <QUuid>

namespace {

const QString kwinService = QStringLiteral("org.kde.KWin");
const QString scriptingPath = QStringLiteral("/Scripting");
const QString scriptingInterface = QStringLiteral("org.kde.kwin.Scripting");
// One program runs per session (it holds the service name): its scripts are
// named by that name, so that a start after a crash replaces those left
// behind rather than adding to them.
const QString watchScript = SessionBus::serviceName + QStringLiteral(".watch");
// KWin lets go of an unloaded script only once back in its event loop and
// until then refuses another under its name: activations take turns
// between two names, so that one right after another is not refused.
const QString activateScripts[] = { SessionBus::serviceName + QStringLiteral(".activate"),
    SessionBus::serviceName + QStringLiteral(".activate2") };
const QString callbackPath = SessionBus::objectPath + QStringLiteral("/KWinWindows");

QDBusMessage scriptingCall(const QString &member, const QVariantList &arguments)
{
    QDBusMessage call
        = QDBusMessage::createMethodCall(kwinService, scriptingPath, scriptingInterface, member);
    call.setArguments(arguments);
    return call;
}

} // namespace

KWinWorkspace::KWinWorkspace(QObject *parent)
    : Workspace(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!isRunning()) {
        m_errorString = QStringLiteral("KWin is not on the session bus");
        return;
    }
    if (!m_scriptDir.isValid()) {
        m_errorString = m_scriptDir.errorString();
        return;
    }
    if (!bus.registerObject(callbackPath, this, QDBusConnection::ExportScriptableSlots)) {
        m_errorString = bus.lastError().message();
        return;
    }
    const QMetaClassInfo callbackInterface
        = metaObject()->classInfo(metaObject()->indexOfClassInfo("D-Bus Interface"));
    // KWin 6 names windows what KWin 5 called clients.
    const QString report
        = QStringLiteral(
            "function report(window) {\n"
            "    callDBus('%1', '%2', '%3', 'windowActivated',\n"
            "        window ? window.internalId.toString() : '',\n"
            "        window ? String(window.resourceClass) : '');\n"
            "}\n"
            "(workspace.windowActivated || workspace.clientActivated).connect(report);\n"
            "report(workspace.activeWindow !== undefined ? workspace.activeWindow\n"
            "                                            : workspace.activeClient);\n")
              .arg(bus.baseService(), callbackPath, QString::fromLatin1(callbackInterface.value()));
    m_open = runScript(watchScript, report.toUtf8(), Wait::yes);
}

KWinWorkspace::~KWinWorkspace()
{
    if (!m_open)
        return;
    // Unloaded before the program's connection goes.
    unloadScript(watchScript, Wait::yes);
    for (const QString &name : activateScripts)
        unloadScript(name, Wait::yes);
    QDBusConnection::sessionBus().unregisterObject(callbackPath);
}

bool KWinWorkspace::isRunning()
{
    const QDBusConnectionInterface *busInterface = QDBusConnection::sessionBus().interface();
    return busInterface && busInterface->isServiceRegistered(kwinService).value();
}

std::optional<RunningWindow> KWinWorkspace::frontmostWindow()
{
    if (!m_frontmost)
        return std::nullopt;
    return RunningWindow { *m_frontmost, std::nullopt };
}

void KWinWorkspace::activate(const RunningWindow &window)
{
    if (!m_open)
        return;
    const QString uuid = m_ids.key(window.windowId);
    if (uuid.isEmpty())
        return;
    const QString script
        = QStringLiteral("var windows = workspace.windowList ? workspace.windowList()\n"
                         "                                   : workspace.clientList();\n"
                         "for (var i = 0; i < windows.length; ++i) {\n"
                         "    if (windows[i].internalId.toString() !== '%1')\n"
                         "        continue;\n"
                         "    if (workspace.activeWindow !== undefined)\n"
                         "        workspace.activeWindow = windows[i];\n"
                         "    else\n"
                         "        workspace.activeClient = windows[i];\n"
                         "}\n")
              .arg(uuid);
    // A choice is not held up by KWin.
    unloadScript(activateScripts[m_activations % 2], Wait::no);
    ++m_activations;
    runScript(activateScripts[m_activations % 2], script.toUtf8(), Wait::no);
}

void KWinWorkspace::windowActivated(const QString &uuid, const QString &resourceClass)
{
    // Only ids in KWin's form are ever put into a script.
    if (QUuid::fromString(uuid).isNull()
        || resourceClass.compare(QCoreApplication::applicationName(), Qt::CaseInsensitive) == 0) {
        m_frontmost.reset();
        return;
    }
    auto found = m_ids.constFind(uuid);
    if (found == m_ids.cend())
        found = m_ids.insert(uuid, m_nextId++);
    m_frontmost = *found;
}

bool KWinWorkspace::runScript(const QString &name, const QByteArray &script, Wait wait)
{
    const QString path = m_scriptDir.filePath(name + QStringLiteral(".js"));
    if (!AtomicFile::write(path, script, &m_errorString))
        return false;
    // KWin answers one caller's messages in the order they were sent.
    QDBusConnection bus = QDBusConnection::sessionBus();
    unloadScript(name, Wait::no);
    const QDBusMessage load = scriptingCall(QStringLiteral("loadScript"), { path, name });
    if (wait == Wait::no) {
        bus.send(load);
    } else {
        const QDBusReply<int> loaded = bus.call(load);
        if (!loaded.isValid() || loaded.value() < 0) {
            m_errorString = loaded.isValid() ? QStringLiteral("KWin did not load the script")
                                             : loaded.error().message();
            return false;
        }
    }
    // Starts the scripts loaded and not yet running: this one.
    bus.send(scriptingCall(QStringLiteral("start"), {}));
    return true;
}

void KWinWorkspace::unloadScript(const QString &name, Wait wait)
{
    const QDBusMessage unload = scriptingCall(QStringLiteral("unloadScript"), { name });
    if (wait == Wait::yes)
        QDBusConnection::sessionBus().call(unload);
    else
        QDBusConnection::sessionBus().send(unload);
}
