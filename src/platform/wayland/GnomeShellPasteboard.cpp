// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/GnomeShellPasteboard.h"

#include "platform/wayland/GnomeShellBus.h"
#include "platform/wayland/GnomeShellClipboardReader.h"
#include "platform/wayland/GnomeShellSource.h"
#include "platform/wayland/WaylandPasteboard.h"

#include <QDBusMessage>
#include <QDBusServiceWatcher>

GnomeShellPasteboard::GnomeShellPasteboard(const QDBusConnection &bus, QObject *parent)
    : SystemPasteboard(std::make_unique<GnomeShellClipboardReader>(bus), parent)
    , m_bus(bus)
    , m_source(new GnomeShellSource(bus, this))
    , m_watcher(new QDBusServiceWatcher(
          GnomeShellBus::service, bus, QDBusServiceWatcher::WatchForOwnerChange, this))
{
    // Naming the companion's service drops signals anyone else sends us.
    m_bus.connect(GnomeShellBus::service, GnomeShellBus::path, GnomeShellBus::interface,
        GnomeShellBus::Member::clipboardChanged, this,
        SLOT(onClipboardChanged(uint, QStringList, bool)));
    // A restarted shell counts its owners from the start again.
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, [this] {
        m_ownSerial = 0;
        m_lastSerial = 0;
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

void GnomeShellPasteboard::onClipboardChanged(
    uint serial, const QStringList &mimeTypes, bool ownedByQuillstack)
{
    // Our own offer is never read back; a copy the companion announced before
    // it reached us after our write is outdated.
    if (ownedByQuillstack || serial < m_ownSerial)
        return;
    m_lastSerial = serial;
    shellReader().announce(serial, mimeTypes);
}

void GnomeShellPasteboard::setContents(const PasteboardContents &contents)
{
    const QList<std::pair<QString, QByteArray>> offered
        = WaylandPasteboard::offeredWithTextAliases(contents);
    QStringList types;
    for (const auto &[type, bytes] : offered)
        types.append(type);
    const quint64 epoch = shellReader().write();
    const quint32 token = m_source->offer(offered);
    // Waited for, so that a program pasting right after a choice gets it;
    // announcements that come meanwhile are looked at after the answer.
    const QDBusMessage reply
        = m_bus.call(GnomeShellBus::call(GnomeShellBus::Member::setClipboard, { types, token }),
            QDBus::Block, setClipboardTimeout);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
        m_ownSerial = reply.arguments().constFirst().toUInt();
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
