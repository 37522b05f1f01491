// SPDX-License-Identifier: GPL-3.0-or-later
#include "RemoteDesktopKeyboard.h"

#include <QDBusMessage>
#include <QDBusObjectPath>

#include <ranges>

namespace {

const QString service = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
const QString sessionInterface = QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session");

} // namespace

RemoteDesktopKeyboard::RemoteDesktopKeyboard(const QDBusConnection &bus)
    : m_bus(bus)
{
}

RemoteDesktopKeyboard::~RemoteDesktopKeyboard()
{
    if (!m_session.isEmpty())
        callSession(QStringLiteral("Stop"), {}, nullptr);
}

bool RemoteDesktopKeyboard::start(QString *error)
{
    const QDBusMessage reply = m_bus.call(QDBusMessage::createMethodCall(service,
        QStringLiteral("/org/gnome/Mutter/RemoteDesktop"), service, QStringLiteral("CreateSession")));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        *error = reply.errorName() + u' ' + reply.errorMessage();
        return false;
    }
    m_session = qvariant_cast<QDBusObjectPath>(reply.arguments().constFirst()).path();
    return callSession(QStringLiteral("Start"), {}, error);
}

bool RemoteDesktopKeyboard::press(const QList<uint> &keysyms, QString *error)
{
    const auto notify = [&](uint keysym, bool pressed) {
        return callSession(QStringLiteral("NotifyKeyboardKeysym"), { keysym, pressed }, error);
    };
    for (uint keysym : keysyms) {
        if (!notify(keysym, true))
            return false;
    }
    for (uint keysym : keysyms | std::views::reverse) {
        if (!notify(keysym, false))
            return false;
    }
    return true;
}

bool RemoteDesktopKeyboard::callSession(
    const QString &method, const QVariantList &arguments, QString *error)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, m_session, sessionInterface, method);
    call.setArguments(arguments);
    const QDBusMessage reply = m_bus.call(call);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    if (error)
        *error = reply.errorName() + u' ' + reply.errorMessage();
    return false;
}
