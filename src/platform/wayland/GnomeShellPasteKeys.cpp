// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/GnomeShellPasteKeys.h"

#include "platform/wayland/GnomeShellBus.h"

#include <QCoreApplication>
#include <QDBusMessage>

namespace {

// The chord's keysyms, as the shell finds them in the active layout.
constexpr uint keysymControlL = 0xffe3;
constexpr uint keysymShiftL = 0xffe1;
constexpr uint keysymV = 0x0076;

// The companion answers from the shell's main loop at once; a shell too
// busy for this long would miss the moment for the paste anyway.
constexpr int answerTimeoutMs = 250;

} // namespace

GnomeShellPasteKeys::GnomeShellPasteKeys(const QDBusConnection &bus, QObject *parent)
    : PasteKeys(parent)
    , m_bus(bus)
{
}

std::optional<PasteKeys::Focus> GnomeShellPasteKeys::keyboardFocus()
{
    const QDBusMessage reply
        = m_bus.call(GnomeShellBus::call(GnomeShellBus::Member::getFocusedWindow, {}), QDBus::Block,
            answerTimeoutMs);
    const QVariantList answer = reply.arguments();
    if (reply.type() != QDBusMessage::ReplyMessage || answer.size() < 4)
        return std::nullopt;
    const quint64 id = answer.at(0).toULongLong();
    if (id == 0)
        return std::nullopt;
    const qint64 pid = answer.at(3).toUInt();
    QStringList names;
    for (const QVariant &name : { answer.at(1), answer.at(2) }) {
        if (!name.toString().isEmpty())
            names.append(name.toString());
    }
    return Focus { RunningWindow { id, pid > 0 ? std::optional<qint64>(pid) : std::nullopt }, names,
        pid == QCoreApplication::applicationPid() };
}

bool GnomeShellPasteKeys::press(PasteChord chord, QString *error)
{
    QList<uint> keysyms { keysymControlL };
    if (chord == PasteChord::ctrlShiftV)
        keysyms.append(keysymShiftL);
    keysyms.append(keysymV);
    const QDBusMessage reply = m_bus.call(
        GnomeShellBus::call(GnomeShellBus::Member::pressChord, { QVariant::fromValue(keysyms) }),
        QDBus::Block, answerTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    *error = qtTrId("paste.failed.gnomeShell").arg(reply.errorMessage());
    return false;
}
