// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeGnomeShell.h"

#include "app/SessionBus.h"
#include "platform/wayland/GnomeShellBus.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QTest>

#include <unistd.h>

namespace {

const QString connectionName = QStringLiteral("fake-gnome-shell");

} // namespace

FakeGnomeShell::FakeGnomeShell()
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName))
{
    m_thread.start();
    moveToThread(&m_thread);
    m_valid = m_bus.registerObject(GnomeShellBus::path, this,
                  QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties)
        && joinBus();
}

FakeGnomeShell::~FakeGnomeShell()
{
    leaveBus();
    m_bus.unregisterObject(GnomeShellBus::path);
    m_thread.quit();
    m_thread.wait();
    m_bus = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(connectionName);
}

void FakeGnomeShell::emitToProgram(const QString &name, const QVariantList &arguments)
{
    if (m_away)
        return;
    QDBusMessage signal
        = QDBusMessage::createSignal(GnomeShellBus::path, GnomeShellBus::interface, name);
    signal.setArguments(arguments);
    m_bus.send(signal);
}

void FakeGnomeShell::copy(const QList<Offer> &offers)
{
    QStringList types;
    for (const Offer &offer : offers)
        types.append(offer.type);
    uint serial = 0;
    {
        const QMutexLocker lock(&m_mutex);
        m_offers = offers;
        m_ownedByProgram = false;
        serial = ++m_serial;
    }
    emitToProgram(GnomeShellBus::Member::clipboardChanged, { serial, types, false });
}

std::optional<QByteArray> FakeGnomeShell::paste(uint token, const QString &type, QString *error)
{
    QDBusMessage send = QDBusMessage::createMethodCall(SessionBus::serviceName,
        GnomeShellBus::sourcePath, GnomeShellBus::sourceInterface, QStringLiteral("Send"));
    send << token << type;
    // The program answers on the test's thread, which must go on meanwhile.
    QDBusPendingCall call = m_bus.asyncCall(send);
    if (!QTest::qWaitFor([&call] { return call.isFinished(); }, 10000)) {
        if (error)
            *error = QStringLiteral("no answer");
        return std::nullopt;
    }
    if (error)
        *error = call.reply().errorName();
    return readAnswer(call.reply());
}

std::optional<QByteArray> FakeGnomeShell::readAnswer(const QDBusMessage &reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const QDBusUnixFileDescriptor fd
        = qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
    QByteArray bytes;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fd.fileDescriptor(), buffer, sizeof buffer)) > 0)
        bytes.append(buffer, n);
    return bytes;
}

void FakeGnomeShell::setFocusedWindow(quint64 id, uint pid, bool quietly)
{
    {
        const QMutexLocker lock(&m_mutex);
        m_focused = { id, pid };
    }
    if (!quietly)
        emitToProgram(GnomeShellBus::Member::focusedWindowChanged, { qulonglong(id), pid });
}

void FakeGnomeShell::takeChord(const QString &accelerator)
{
    const QMutexLocker lock(&m_mutex);
    m_taken.insert(accelerator);
}

void FakeGnomeShell::pressShortcut(const QString &name)
{
    std::pair<quint64, uint> focused;
    {
        const QMutexLocker lock(&m_mutex);
        focused = m_focused;
    }
    emitToProgram(GnomeShellBus::Member::shortcutActivated,
        { name, qulonglong(focused.first), focused.second });
}

FakeGnomeShell::Asked FakeGnomeShell::asked() const
{
    const QMutexLocker lock(&m_mutex);
    return m_asked;
}

uint FakeGnomeShell::GetClipboard(QStringList &mimeTypes, bool &ownedByProgram)
{
    const QMutexLocker lock(&m_mutex);
    for (const Offer &offer : std::as_const(m_offers))
        mimeTypes.append(offer.type);
    ownedByProgram = m_ownedByProgram;
    return m_serial;
}

void FakeGnomeShell::ReadClipboard(
    uint serial, const QString &mimeType, const QDBusUnixFileDescriptor &fd)
{
    const QMutexLocker lock(&m_mutex);
    m_asked.reads.append(mimeType);
    if (serial != m_serial) {
        sendErrorReply(GnomeShellBus::Error::stale, QStringLiteral("Not the current owner"));
        return;
    }
    for (const Offer &offer : std::as_const(m_offers)) {
        if (offer.type != mimeType)
            continue;
        if (!offer.bytes)
            m_held.append(fd);
        else
            m_writer.serve(::dup(fd.fileDescriptor()), *offer.bytes);
        return;
    }
    sendErrorReply(GnomeShellBus::interface + QStringLiteral(".Error.NotOffered"),
        QStringLiteral("Not offered"));
}

uint FakeGnomeShell::SetClipboard(const QStringList &mimeTypes, uint token)
{
    {
        const QMutexLocker lock(&m_mutex);
        m_asked.offers.append({ mimeTypes, token });
    }
    // As GNOME 43's companion does: the first type's bytes are fetched
    // before it answers, and only that type is offered.
    QDBusMessage send = QDBusMessage::createMethodCall(message().service(),
        GnomeShellBus::sourcePath, GnomeShellBus::sourceInterface, QStringLiteral("Send"));
    send << token << mimeTypes.value(0);
    const std::optional<QByteArray> bytes = readAnswer(m_bus.call(send, QDBus::Block, 5000));
    if (!bytes) {
        sendErrorReply(QDBusError::Failed, QStringLiteral("Send failed"));
        return 0;
    }
    uint serial = 0;
    {
        const QMutexLocker lock(&m_mutex);
        m_offers = { { mimeTypes.value(0), bytes } };
        m_ownedByProgram = true;
        serial = ++m_serial;
    }
    emitToProgram(GnomeShellBus::Member::clipboardChanged,
        { serial, QStringList { mimeTypes.value(0) }, true });
    return serial;
}

qulonglong FakeGnomeShell::GetFocusedWindow(QString &wmClass, QString &sandboxedAppId, uint &pid)
{
    const QMutexLocker lock(&m_mutex);
    wmClass = QStringLiteral("gedit");
    sandboxedAppId.clear();
    pid = m_focused.second;
    return m_focused.first;
}

bool FakeGnomeShell::ActivateWindow(qulonglong id)
{
    const QMutexLocker lock(&m_mutex);
    m_asked.activations.append(id);
    return true;
}

QStringList FakeGnomeShell::SetShortcuts(const QString &openHistory, const QString &openKept)
{
    const QMutexLocker lock(&m_mutex);
    QStringList refused;
    QString bound[2] = { openHistory, openKept };
    const QString names[2]
        = { GnomeShellBus::Shortcut::openHistory, GnomeShellBus::Shortcut::openKept };
    for (int i = 0; i < 2; ++i) {
        if (m_taken.contains(bound[i])) {
            refused.append(names[i]);
            bound[i].clear();
        }
    }
    m_asked.shortcuts = { bound[0], bound[1] };
    return refused;
}
