// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakePortal.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QTimer>

namespace {

const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString path = QStringLiteral("/org/freedesktop/portal/desktop");

} // namespace

FakePortal::FakePortal(
    const QDBusConnection &bus, uint version, uint sessionResponse, uint bindResponse)
    : m_bus(bus)
    , m_version(version)
    , m_sessionResponse(sessionResponse)
    , m_bindResponse(bindResponse)
{
    PortalShortcut::registerDBusTypes();
    m_valid = m_bus.registerObject(path, this,
                  QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties)
        && m_bus.registerService(service);
}

FakePortal::~FakePortal()
{
    m_bus.unregisterService(service);
    m_bus.unregisterObject(path);
}

QDBusObjectPath FakePortal::CreateSession(const QVariantMap &options)
{
    m_session = path + QStringLiteral("/session/") + message().service().mid(1).replace(u'.', u'_')
        + u'/' + options.value(QStringLiteral("session_handle_token")).toString();
    return respondLater(
        options, m_sessionResponse, { { QStringLiteral("session_handle"), m_session } });
}

QDBusObjectPath FakePortal::BindShortcuts(const QDBusObjectPath &session,
    const QList<PortalShortcut> &shortcuts, const QString &, const QVariantMap &options)
{
    // A portal binds a session's shortcuts once.
    if (m_boundSessions.contains(session.path())) {
        sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Shortcuts already bound"));
        return {};
    }
    m_boundSessions.insert(session.path());
    QMap<QString, QString> triggers;
    for (const PortalShortcut &shortcut : shortcuts)
        triggers.insert(
            shortcut.id, shortcut.properties.value(QStringLiteral("preferred_trigger")).toString());
    // A call on a session that is not ours is recorded as such.
    m_bindings.append(session.path() == m_session ? triggers : QMap<QString, QString>());
    return respondLater(options, m_bindResponse, {});
}

void FakePortal::ConfigureShortcuts(
    const QDBusObjectPath &session, const QString &, const QVariantMap &)
{
    if (session.path() == m_session)
        ++m_configureCalls;
}

QDBusObjectPath FakePortal::respondLater(
    const QVariantMap &options, uint response, const QVariantMap &results)
{
    const QString request = path + QStringLiteral("/request/")
        + message().service().mid(1).replace(u'.', u'_') + u'/'
        + options.value(QStringLiteral("handle_token")).toString();
    QTimer::singleShot(0, this, [this, request, response, results] {
        QDBusMessage signal = QDBusMessage::createSignal(
            request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        signal << response << results;
        m_bus.send(signal);
    });
    return QDBusObjectPath(request);
}

void FakePortal::emitShortcutSignal(const QString &name, const QString &actionId)
{
    QDBusMessage signal = QDBusMessage::createSignal(
        path, QStringLiteral("org.freedesktop.portal.GlobalShortcuts"), name);
    signal << QVariant::fromValue(QDBusObjectPath(m_session)) << actionId << quint64(0)
           << QVariantMap();
    m_bus.send(signal);
}
