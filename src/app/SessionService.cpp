// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SessionService.h"

#include "app/AppDelegate.h"
#include "app/HistoryPanel.h"
#include "app/PanelController.h"
#include "app/SessionBus.h"
#include "model/ClipStore.h"

#include <QDBusMetaType>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QPointer>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace {

// A call that does something and returns nothing.
template<typename Action>
std::function<QDBusMessage(SessionService &, const QDBusMessage &)> act(Action action)
{
    return [action](SessionService &service, const QDBusMessage &message) {
        action(service);
        return message.createReply();
    };
}

QString argumentXml(const QString &type, const char *direction)
{
    return type.isEmpty() ? QString()
                          : QStringLiteral("      <arg type=\"%1\" direction=\"%2\"/>\n")
                                .arg(type, QLatin1String(direction));
}

} // namespace

SessionService::SessionService(AppDelegate &app, QObject *parent)
    : QDBusVirtualObject(parent)
    , m_app(app)
{
    qDBusRegisterMetaType<QList<QVariantMap>>();
    connect(&app.store(), &ClipStore::storeDidChange, this, [this] {
        m_bus.send(QDBusMessage::createSignal(
            SessionBus::objectPath, SessionBus::interfaceName, SessionBus::Member::historyChanged));
    });
    connect(&app, &AppDelegate::recordingChanged, this, &SessionService::announceRecording);
}

bool SessionService::publish(const QDBusConnection &bus, QString *errorMessage)
{
    QDBusConnection connection(bus);
    m_bus = bus;
    if (connection.registerVirtualObject(SessionBus::objectPath, this))
        return true;
    *errorMessage = connection.lastError().message();
    return false;
}

const QList<SessionService::Method> &SessionService::methods()
{
    using namespace SessionBus;
    static const QList<Method> table {
        { Member::toggle, {}, {},
            act([](SessionService &service) { service.m_app.toggleFromShortcut(ListMode::all); }) },
        { Member::togglePinned, {}, {}, act([](SessionService &service) {
             service.m_app.toggleFromShortcut(ListMode::pinned);
         }) },
        { Member::show, {}, {}, act([](SessionService &service) {
             PanelController &panel = service.m_app.panel();
             if (panel.panel().isVisible())
                 panel.focus(ListMode::all);
             else
                 panel.toggleFromMenu();
         }) },
        { Member::preferences, {}, {},
            act([](SessionService &service) { service.m_app.openPreferences(); }) },
        // After the reply has gone out, so that the caller hears success.
        { Member::quit, {}, {}, act([](SessionService &service) {
             QTimer::singleShot(0, &service.m_app, &AppDelegate::quitApp);
         }) },
        // Removes every clip that is not kept, without asking.
        { Member::clear, {}, {},
            act([](SessionService &service) { service.m_app.store().clearHistory(); }) },
        { Member::list, QStringLiteral("i"), QStringLiteral("aa{sv}"), &SessionService::list },
        { Member::copy, QStringLiteral("s"), QStringLiteral("b"), &SessionService::copy },
        { Member::exportBytes, {}, QStringLiteral("ay"), &SessionService::exportBytes },
        { Member::exportTo, QStringLiteral("h"), {}, &SessionService::exportTo },
    };
    return table;
}

QString SessionService::introspect(const QString &) const
{
    QString xml = QStringLiteral("  <interface name=\"%1\">\n").arg(SessionBus::interfaceName);
    for (const Method &method : methods()) {
        xml += QStringLiteral("    <method name=\"%1\">\n").arg(method.name)
            + argumentXml(method.in, "in") + argumentXml(method.out, "out")
            + QStringLiteral("    </method>\n");
    }
    xml += QStringLiteral("    <property name=\"%1\" type=\"b\" access=\"readwrite\"/>\n"
                          "    <signal name=\"%2\"/>\n"
                          "  </interface>\n")
               .arg(SessionBus::Member::recording, SessionBus::Member::historyChanged);
    return xml;
}

bool SessionService::handleMessage(const QDBusMessage &message, const QDBusConnection &connection)
{
    if (message.interface() == SessionBus::Properties::interfaceName)
        return handleProperties(message, connection);
    if (!message.interface().isEmpty() && message.interface() != SessionBus::interfaceName)
        return false; // introspection, and errors for other interfaces, come from Qt
    for (const Method &method : methods()) {
        if (method.name != message.member())
            continue;
        const QDBusMessage reply = message.signature() == method.in
            ? method.call(*this, message)
            : message.createErrorReply(QDBusError::InvalidArgs,
                QStringLiteral("%1 takes arguments of type \"%2\", not \"%3\"")
                    .arg(method.name, method.in, message.signature()));
        if (reply.type() != QDBusMessage::InvalidMessage && message.isReplyRequired())
            connection.send(reply);
        return true;
    }
    if (message.interface().isEmpty())
        return false; // perhaps introspection, which Qt answers
    connection.send(message.createErrorReply(
        QDBusError::UnknownMethod, QStringLiteral("There is no method %1").arg(message.member())));
    return true;
}

bool SessionService::handleProperties(
    const QDBusMessage &message, const QDBusConnection &connection)
{
    const QVariantList arguments = message.arguments();
    const QString interface = arguments.value(0).toString();
    if (!interface.isEmpty() && interface != SessionBus::interfaceName)
        return false;
    const QString member = message.member();
    const QString signature = message.signature();
    const bool knownProperty = arguments.value(1).toString() == SessionBus::Member::recording;
    using namespace SessionBus::Properties;
    QDBusMessage reply;
    if (member == getAll && signature == u"s") {
        reply = message.createReply(QVariant::fromValue(
            QVariantMap { { SessionBus::Member::recording, m_app.isRecording() } }));
    } else if ((member == get && signature == u"ss") || (member == set && signature == u"ssv")) {
        if (!knownProperty) {
            reply = message.createErrorReply(QDBusError::UnknownProperty,
                QStringLiteral("There is no property %1").arg(arguments.value(1).toString()));
        } else if (member == get) {
            reply = message.createReply(QVariant::fromValue(QDBusVariant(m_app.isRecording())));
        } else {
            // Only a boolean: Qt would read any non-empty string as true.
            const QVariant value = arguments.value(2).value<QDBusVariant>().variant();
            if (value.metaType() != QMetaType::fromType<bool>()) {
                reply = message.createErrorReply(QDBusError::InvalidArgs,
                    QStringLiteral("%1 takes a boolean").arg(SessionBus::Member::recording));
            } else {
                m_app.setRecording(value.toBool());
                reply = message.createReply();
            }
        }
    } else {
        return false;
    }
    if (message.isReplyRequired())
        connection.send(reply);
    return true;
}

void SessionService::announceRecording(bool recording)
{
    // Scripts watching the property see pauses made from the tray as well.
    QDBusMessage signal = QDBusMessage::createSignal(SessionBus::objectPath,
        SessionBus::Properties::interfaceName, SessionBus::Properties::changed);
    signal << SessionBus::interfaceName
           << QVariantMap { { SessionBus::Member::recording, recording } } << QStringList();
    m_bus.send(signal);
}

QDBusMessage SessionService::list(const QDBusMessage &message) const
{
    const int count = message.arguments().value(0).toInt();
    const QList<Clip> &clips = m_app.store().clips();
    const qsizetype shown = count < 1 ? clips.size() : std::min<qsizetype>(count, clips.size());
    QList<QVariantMap> rows;
    rows.reserve(shown);
    for (qsizetype index = 0; index < shown; ++index) {
        const Clip &clip = clips[index];
        rows.append({
            { SessionBus::ListField::index, int(index) },
            { SessionBus::ListField::id, clip.id.toString(QUuid::WithoutBraces) },
            { SessionBus::ListField::kind, clipKindRawValue(clip.kind) },
            { SessionBus::ListField::preview, clip.preview },
            { SessionBus::ListField::date, clip.createdAt.toUTC().toString(Qt::ISODateWithMs) },
            { SessionBus::ListField::kept, clip.isKept },
        });
    }
    return message.createReply(QVariant::fromValue(rows));
}

QDBusMessage SessionService::copy(const QDBusMessage &message)
{
    const QString idOrIndex = message.arguments().value(0).toString();
    const QList<Clip> &clips = m_app.store().clips();
    bool isIndex = false;
    const qsizetype index = idOrIndex.toLongLong(&isIndex);
    std::optional<Clip> clip;
    if (isIndex) {
        if (index >= 0 && index < clips.size())
            clip = clips[index];
    } else {
        clip = m_app.store().clip(QUuid::fromString(idOrIndex));
    }
    if (!clip)
        return message.createReply(false);
    if (!m_app.copyToClipboard(*clip))
        return message.createErrorReply(SessionBus::imageMissingError,
            QStringLiteral("The image file of that clip is missing"));
    return message.createReply(true);
}

QDBusMessage SessionService::exportBytes(const QDBusMessage &message) const
{
    const std::optional<QByteArray> history
        = m_app.store().exportArchive(SessionBus::exportMessageLimit);
    if (!history)
        return message.createErrorReply(QDBusError::LimitsExceeded,
            QStringLiteral("The history is larger than a message may carry; %1 writes it to a "
                           "file descriptor instead")
                .arg(SessionBus::Member::exportTo));
    return message.createReply(*history);
}

QDBusMessage SessionService::exportTo(const QDBusMessage &message)
{
    const auto target = message.arguments().value(0).value<QDBusUnixFileDescriptor>();
    if (!target.isValid())
        return message.createErrorReply(
            QDBusError::InvalidArgs, QStringLiteral("No file descriptor was passed"));
    if (m_exporting)
        return message.createErrorReply(QDBusError::LimitsExceeded,
            QStringLiteral("Another export is still being written; try again once it is done"));
    const int fd = ::fcntl(target.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return message.createErrorReply(
            QDBusError::Failed, QString::fromLocal8Bit(std::strerror(errno)));
    m_exporting = true;
    m_app.store().exportTo(
        fd, [self = QPointer<SessionService>(this), message, bus = m_bus](const QString &error) {
            if (self)
                self->m_exporting = false;
            if (message.isReplyRequired())
                bus.send(error.isEmpty() ? message.createReply()
                                         : message.createErrorReply(QDBusError::Failed, error));
        });
    return QDBusMessage(); // answered once the export is written
}
