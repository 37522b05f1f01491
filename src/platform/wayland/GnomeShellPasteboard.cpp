// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/GnomeShellPasteboard.h"

#include "platform/wayland/GnomeShellBus.h"
#include "platform/wayland/GnomeShellClipboardReader.h"
#include "platform/wayland/GnomeShellSource.h"
#include "platform/wayland/WaylandPasteboard.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

GnomeShellPasteboard::GnomeShellPasteboard(
    const QDBusConnection &bus, OfferThroughX11 offerThroughX11, QObject *parent)
    : SystemPasteboard(std::make_unique<GnomeShellClipboardReader>(bus), parent)
    , m_bus(bus)
    , m_source(new GnomeShellSource(bus, this))
    , m_watcher(new QDBusServiceWatcher(
          GnomeShellBus::service, bus, QDBusServiceWatcher::WatchForOwnerChange, this))
    , m_offerThroughX11(std::move(offerThroughX11))
{
    // Naming the companion's service drops signals anyone else sends us.
    m_bus.connect(GnomeShellBus::service, GnomeShellBus::path, GnomeShellBus::interface,
        GnomeShellBus::Member::clipboardChanged, this,
        SLOT(onClipboardChanged(uint, QStringList, bool)));
    // A restarted shell counts its owners from the start again, and what
    // was copied while it was away is read as a copy.
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
        [this](const QString &, const QString &, const QString &newOwner) {
            m_lastSerial = 0;
            if (!newOwner.isEmpty()) {
                askWhatIsOffered();
                askForClipboard(false);
            }
        });
    askWhatIsOffered();
    askForClipboard(true);
}

void GnomeShellPasteboard::askWhatIsOffered()
{
    QDBusMessage get = QDBusMessage::createMethodCall(GnomeShellBus::service, GnomeShellBus::path,
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << GnomeShellBus::interface << QStringLiteral("OffersEveryType");
    auto *answer = new QDBusPendingCallWatcher(m_bus.asyncCall(get), this);
    connect(
        answer, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
            call->deleteLater();
            const QDBusPendingReply<QDBusVariant> reply = *call;
            if (!reply.isError())
                m_offersEveryType = reply.value().variant().toBool();
        });
}

GnomeShellPasteboard::~GnomeShellPasteboard()
{
    m_bus.disconnect(GnomeShellBus::service, GnomeShellBus::path, GnomeShellBus::interface,
        GnomeShellBus::Member::clipboardChanged, this,
        SLOT(onClipboardChanged(uint, QStringList, bool)));
}

GnomeShellClipboardReader &GnomeShellPasteboard::shellReader() const
{
    return static_cast<GnomeShellClipboardReader &>(reader());
}

void GnomeShellPasteboard::askForClipboard(bool initial)
{
    const quint64 changesBefore = m_changesAnnounced;
    auto *answer = new QDBusPendingCallWatcher(
        m_bus.asyncCall(GnomeShellBus::call(GnomeShellBus::Member::getClipboard, {})), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this,
        [this, initial, changesBefore](QDBusPendingCallWatcher *call) {
            call->deleteLater();
            const QDBusPendingReply<uint, QStringList, bool> reply = *call;
            // A change announced since the question is newer than the answer.
            if (reply.isError() || m_changesAnnounced != changesBefore)
                return;
            if (reply.argumentAt<2>() || m_offersUnanswered > 0
                || reply.argumentAt<1>().contains(GnomeShellBus::ownOfferType))
                return;
            m_lastSerial = reply.argumentAt<0>();
            shellReader().announce(m_lastSerial, reply.argumentAt<1>(), initial);
        });
}

void GnomeShellPasteboard::onClipboardChanged(
    uint serial, const QStringList &mimeTypes, bool ownedByQuillstack)
{
    ++m_changesAnnounced;
    // Our own offer is never read back. Until the companion has answered
    // our latest offer, whatever it announces is replaced by that offer.
    if (ownedByQuillstack || m_offersUnanswered > 0
        || mimeTypes.contains(GnomeShellBus::ownOfferType))
        return;
    m_lastSerial = serial;
    shellReader().announce(serial, mimeTypes);
}

QStringList GnomeShellPasteboard::typesForShell(
    const QList<std::pair<QString, QByteArray>> &offered)
{
    // GNOME 43's companion can hold one type only, the first: the one most
    // programs take of each kind of clip goes there.
    static const QStringList preferred { QStringLiteral("text/plain;charset=utf-8"),
        PasteboardType::png, PasteboardType::gnomeCopiedFiles };
    QStringList types;
    for (const auto &[type, bytes] : offered)
        types.append(type);
    for (const QString &type : preferred) {
        if (types.contains(type)) {
            types.move(types.indexOf(type), 0);
            break;
        }
    }
    return types;
}

void GnomeShellPasteboard::setContents(const PasteboardContents &contents)
{
    const quint64 epoch = shellReader().write();
    if (!m_offersEveryType && m_offerThroughX11) {
        QList<std::pair<QString, QByteArray>> offered = offeredRepresentations(contents);
        offered.append({ GnomeShellBus::ownOfferType, QByteArray() });
        m_offerThroughX11(offered);
        takeOwnContents(contents, epoch);
        return;
    }
    const QList<std::pair<QString, QByteArray>> offered
        = WaylandPasteboard::offeredWithTextAliases(contents);
    const quint32 token = m_source->offer(offered);
    // Not waited for: the companion may ask us for the bytes (Send) before it
    // answers, and that call is served on this thread.
    ++m_offersUnanswered;
    auto *answer = new QDBusPendingCallWatcher(
        m_bus.asyncCall(GnomeShellBus::call(
                            GnomeShellBus::Member::setClipboard, { typesForShell(offered), token }),
            setClipboardTimeout),
        this);
    connect(
        answer, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
            call->deleteLater();
            --m_offersUnanswered;
        });
    takeOwnContents(contents, epoch);
}

bool GnomeShellPasteboard::restoreContents(const PasteboardContents &contents)
{
    // Not when another program copied since the clipboard emptied, even if
    // that copy is still being read.
    if (m_lastSerial != readOrigin())
        return false;
    return SystemPasteboard::restoreContents(contents);
}
