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

// The companion presses from the shell's main loop at once; a shell too
// busy for this long would miss the moment for the paste anyway.
constexpr int answerTimeoutMs = 250;

} // namespace

GnomeShellPasteKeys::GnomeShellPasteKeys(const QDBusConnection &bus, QObject *parent)
    : PasteKeys(parent)
    , m_bus(bus)
{
    // Naming the companion's service drops signals anyone else sends us.
    m_bus.connect(GnomeShellBus::service, GnomeShellBus::path, GnomeShellBus::interface,
        GnomeShellBus::Member::focusedWindowChanged, this,
        SLOT(onFocusedWindowChanged(qulonglong, uint)));
    askForFocusedWindow();
}

GnomeShellPasteKeys::~GnomeShellPasteKeys()
{
    m_bus.disconnect(GnomeShellBus::service, GnomeShellBus::path, GnomeShellBus::interface,
        GnomeShellBus::Member::focusedWindowChanged, this,
        SLOT(onFocusedWindowChanged(qulonglong, uint)));
}

void GnomeShellPasteKeys::onFocusedWindowChanged(qulonglong, uint)
{
    // The announcement has no names, and the chord depends on them: until
    // they are known there is no window to press into.
    m_focus.reset();
    askForFocusedWindow();
}

void GnomeShellPasteKeys::askForFocusedWindow()
{
    const quint64 asked = ++m_focusChanges;
    GnomeShellBus::askFocusedWindow(
        m_bus, this, [this, asked](const GnomeShellBus::FocusedWindow &focused) {
            // A later announcement has its own question under way.
            if (asked != m_focusChanges || focused.id == 0)
                return;
            QStringList names;
            for (const QString &name : { focused.wmClass, focused.sandboxedAppId }) {
                if (!name.isEmpty())
                    names.append(name);
            }
            m_focus
                = Focus { RunningWindow { focused.id,
                              focused.pid > 0 ? std::optional<qint64>(focused.pid) : std::nullopt },
                      names, focused.pid == uint(QCoreApplication::applicationPid()) };
        });
}

std::optional<PasteKeys::Focus> GnomeShellPasteKeys::keyboardFocus()
{
    return m_focus;
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
