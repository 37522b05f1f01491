// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/PortalHotkeyRegistrar.h"

#include "app/Notifier.h"
#include "globalhotkeys/NamedShortcuts.h"
#include "globalhotkeys/StandardNames.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QTimer>

#include <cstdio>

using GlobalHotkeys::Shortcut;

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
// Signals are matched by path and interface only: naming the sender would
// make Qt ask the bus for the portal's owner, a call that waits. The paths
// carry our own name and tokens, and the session handle is checked.
const QString anySender;

// The portal's Response codes besides success (0).
QString refusalText(uint response)
{
    return response == 1 ? QStringLiteral("cancelled") : QStringLiteral("refused");
}

void logLine(const QString &line)
{
    std::fprintf(stderr, "quillstack: %s\n", qPrintable(line));
}

} // namespace

PortalHotkeyRegistrar::PortalHotkeyRegistrar(const QDBusConnection &bus,
    std::unique_ptr<GlobalHotkeys::HotkeyRegistrar> fallback, ActionFor actionFor,
    TriggerFor triggerFor, Notifier &notifier, QObject *parent)
    : HotkeyRegistrar(parent)
    , m_bus(bus)
    , m_fallback(std::move(fallback))
    , m_actionFor(std::move(actionFor))
    , m_triggerFor(std::move(triggerFor))
    , m_notifier(notifier)
{
    PortalShortcut::registerDBusTypes();
    connect(m_fallback.get(), &HotkeyRegistrar::hotkeyPressed, this, [this](quint32 id) {
        if (m_state == State::fallback)
            emit hotkeyPressed(id);
    });
    connect(m_fallback.get(), &HotkeyRegistrar::hotkeyReleased, this, [this](quint32 id) {
        if (m_state == State::fallback)
            emit hotkeyReleased(id);
    });

    // Whether the interface is there, and which version, without waiting for it.
    QDBusMessage get = QDBusMessage::createMethodCall(portalService, portalPath,
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << shortcutsInterface << QStringLiteral("version");
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(get), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &PortalHotkeyRegistrar::onVersion);
}

PortalHotkeyRegistrar::~PortalHotkeyRegistrar()
{
    closeSession();
}

PortalHotkeyRegistrar::ActionFor PortalHotkeyRegistrar::standardActions(
    const GlobalHotkeys::NamedShortcuts &names)
{
    return [&names](const Shortcut &shortcut) -> std::optional<Action> {
        using namespace GlobalHotkeys::StandardNames;
        if (names.getShortcut(togglePanel()) == shortcut)
            return Action { togglePanel().rawValue(), qtTrId("cli.toggle") };
        if (names.getShortcut(togglePinnedPanel()) == shortcut)
            return Action { togglePinnedPanel().rawValue(), qtTrId("cli.togglePinned") };
        return std::nullopt;
    };
}

int PortalHotkeyRegistrar::registerHotkey(quint32 id, const Shortcut &shortcut)
{
    m_registrations.insert(id, shortcut);
    if (m_state == State::fallback)
        return m_fallback->registerHotkey(id, shortcut);
    if (m_state == State::ready)
        scheduleBind();
    return 0;
}

void PortalHotkeyRegistrar::unregisterHotkey(quint32 id)
{
    m_registrations.remove(id);
    if (m_state == State::fallback)
        m_fallback->unregisterHotkey(id);
}

QString PortalHotkeyRegistrar::unavailableReason() const
{
    return m_state == State::fallback ? m_fallback->unavailableReason() : QString();
}

bool PortalHotkeyRegistrar::isHeldByAnotherProgram(const Shortcut &shortcut)
{
    return m_state == State::fallback && m_fallback->isHeldByAnotherProgram(shortcut);
}

PortalHotkeyRegistrar::Owner PortalHotkeyRegistrar::owner() const
{
    switch (m_state) {
    case State::probing:
        // Whether there is a portal is not known yet: nothing is said rather
        // than naming the desktop, which a moment later may turn out absent.
        return Owner::program;
    case State::fallback:
        return Owner::user;
    case State::creatingSession:
    case State::ready:
        break;
    }
    return Owner::desktop;
}

bool PortalHotkeyRegistrar::canConfigure() const
{
    return m_state == State::ready && m_version >= 2;
}

void PortalHotkeyRegistrar::configure()
{
    if (!canConfigure())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        portalService, portalPath, shortcutsInterface, QStringLiteral("ConfigureShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(m_session)) << QString() << QVariantMap();
    m_bus.asyncCall(call);
}

void PortalHotkeyRegistrar::onVersion(QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    const QDBusPendingReply<QDBusVariant> reply = *watcher;
    if (reply.isError()) {
        logLine(QStringLiteral("no desktop portal for global shortcuts (%1); bind \"quillstack "
                               "--toggle\" in the desktop's shortcuts")
                    .arg(reply.error().message()));
        fallBack(std::nullopt);
        return;
    }
    m_version = reply.value().variant().toUInt();
    createSession();
    emit ownerChanged();
}

void PortalHotkeyRegistrar::closeSession()
{
    if (m_session.isEmpty())
        return;
    m_bus.call(QDBusMessage::createMethodCall(portalService, m_session,
                   QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close")),
        QDBus::NoBlock);
    m_session.clear();
}

void PortalHotkeyRegistrar::createSession()
{
    m_state = State::creatingSession;
    QVariantMap options;
    options.insert(QStringLiteral("session_handle_token"),
        QStringLiteral("quillstack_session%1").arg(++m_tokens));
    request(Pending::session, QStringLiteral("CreateSession"), {}, options);
}

void PortalHotkeyRegistrar::request(
    Pending what, const QString &method, const QList<QVariant> &arguments, QVariantMap options)
{
    const QString token = QStringLiteral("quillstack%1").arg(++m_tokens);
    options.insert(QStringLiteral("handle_token"), token);
    const QString expected = requestPath(token);
    listenForResponse(expected);
    m_pending.insert(expected, what);

    QDBusMessage call
        = QDBusMessage::createMethodCall(portalService, portalPath, shortcutsInterface, method);
    call.setArguments(arguments);
    call << options;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, what, expected](QDBusPendingCallWatcher *finished) {
            finished->deleteLater();
            const QDBusPendingReply<QDBusObjectPath> reply = *finished;
            if (reply.isError()) {
                m_pending.remove(expected);
                logLine(
                    QStringLiteral("the desktop portal failed: %1").arg(reply.error().message()));
                fallBack(2);
                return;
            }
            // Older portals name the request object themselves.
            const QString path = reply.value().path();
            if (path != expected && m_pending.remove(expected)) {
                listenForResponse(path);
                m_pending.insert(path, what);
            }
        });
}

QString PortalHotkeyRegistrar::requestPath(const QString &token) const
{
    QString sender = m_bus.baseService();
    sender.remove(0, sender.startsWith(u':') ? 1 : 0).replace(u'.', u'_');
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

void PortalHotkeyRegistrar::listenForResponse(const QString &path)
{
    m_bus.connect(anySender, path, requestInterface, QStringLiteral("Response"), this,
        SLOT(onResponse(QDBusMessage)));
}

void PortalHotkeyRegistrar::onResponse(const QDBusMessage &message)
{
    const auto it = m_pending.constFind(message.path());
    if (it == m_pending.cend() || message.arguments().size() < 2)
        return;
    const Pending what = it.value();
    m_pending.erase(it);
    m_bus.disconnect(anySender, message.path(), requestInterface, QStringLiteral("Response"), this,
        SLOT(onResponse(QDBusMessage)));
    if (m_state == State::fallback)
        return;

    const uint response = message.arguments().at(0).toUInt();
    const QVariantMap results = qdbus_cast<QVariantMap>(message.arguments().at(1));
    if (response != 0) {
        logLine(QStringLiteral("the desktop portal %1 the global shortcuts (response %2)")
                    .arg(refusalText(response))
                    .arg(response));
        fallBack(response);
        return;
    }
    if (what == Pending::session) {
        // A string by the interface's text, an object path from some portals.
        const QVariant handle = results.value(QStringLiteral("session_handle"));
        m_session = handle.metaType() == QMetaType::fromType<QDBusObjectPath>()
            ? handle.value<QDBusObjectPath>().path()
            : handle.toString();
        m_state = State::ready;
        m_bound.clear();
        m_sessionBound = false;
        if (!m_listening) {
            m_listening = true;
            m_bus.connect(anySender, portalPath, shortcutsInterface, QStringLiteral("Activated"),
                this, SLOT(onActivated(QDBusMessage)));
            m_bus.connect(anySender, portalPath, shortcutsInterface, QStringLiteral("Deactivated"),
                this, SLOT(onDeactivated(QDBusMessage)));
        }
        emit ownerChanged();
        bind();
        return;
    }
    m_binding = false;
    if (m_bindAgain) {
        m_bindAgain = false;
        bind();
    }
}

void PortalHotkeyRegistrar::scheduleBind()
{
    // Several shortcuts registered in one go are bound in one request.
    if (m_bindScheduled)
        return;
    m_bindScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_bindScheduled = false;
        bind();
    });
}

void PortalHotkeyRegistrar::bind()
{
    if (m_state != State::ready)
        return;
    if (m_binding) {
        m_bindAgain = true;
        return;
    }
    // A withdrawn shortcut (a menu is open, a recorder records) keeps its
    // binding at the desktop; only a shortcut asking for something new is
    // worth a request, which the desktop may answer with a dialog.
    const QMap<QString, QVariantMap> wanted = wantedBinding();
    bool changed = false;
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it)
        changed = changed || m_bound.value(it.key()) != it.value();
    if (!changed)
        return;
    // The portal binds a session's shortcuts once: new keys need a new session.
    if (m_sessionBound) {
        closeSession();
        createSession();
        return;
    }

    QList<PortalShortcut> shortcuts;
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it)
        shortcuts.append({ it.key(), it.value() });
    m_bound = wanted;
    m_binding = true;
    m_sessionBound = true;
    request(Pending::bind, QStringLiteral("BindShortcuts"),
        { QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(shortcuts),
            QString() },
        {});
}

QMap<QString, QVariantMap> PortalHotkeyRegistrar::wantedBinding() const
{
    QMap<QString, QVariantMap> wanted;
    for (const Shortcut &shortcut : m_registrations) {
        const std::optional<Action> action = m_actionFor(shortcut);
        if (!action)
            continue;
        QVariantMap properties { { QStringLiteral("description"), action->description } };
        if (const std::optional<QString> trigger = m_triggerFor(shortcut))
            properties.insert(QStringLiteral("preferred_trigger"), *trigger);
        wanted.insert(action->id, properties);
    }
    return wanted;
}

void PortalHotkeyRegistrar::onActivated(const QDBusMessage &message)
{
    dispatch(message, true);
}

void PortalHotkeyRegistrar::onDeactivated(const QDBusMessage &message)
{
    dispatch(message, false);
}

void PortalHotkeyRegistrar::dispatch(const QDBusMessage &message, bool pressed)
{
    const QList<QVariant> arguments = message.arguments();
    if (m_state != State::ready || arguments.size() < 2
        || qdbus_cast<QDBusObjectPath>(arguments.at(0)).path() != m_session)
        return;
    const QString actionId = arguments.at(1).toString();
    // Copies: a handler may register or unregister shortcuts.
    const QHash<quint32, Shortcut> registrations = m_registrations;
    for (auto it = registrations.cbegin(); it != registrations.cend(); ++it) {
        const std::optional<Action> action = m_actionFor(it.value());
        if (!action || action->id != actionId)
            continue;
        if (pressed)
            emit hotkeyPressed(it.key());
        else
            emit hotkeyReleased(it.key());
    }
}

void PortalHotkeyRegistrar::fallBack(std::optional<uint> refusal)
{
    if (m_state == State::fallback)
        return;
    m_state = State::fallback;
    m_pending.clear();
    for (auto it = m_registrations.cbegin(); it != m_registrations.cend(); ++it)
        m_fallback->registerHotkey(it.key(), it.value());
    if (refusal) {
        m_notifier.report(Notifier::Topic::shortcutsUnavailable,
            qtTrId("notice.shortcutsUnavailable.title"),
            qtTrId("notice.shortcutsUnavailable.message").arg(qtTrId("portal.refused")));
    }
    emit ownerChanged();
}
