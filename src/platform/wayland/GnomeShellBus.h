// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QString>

#include <functional>

class QObject;

// The GNOME Shell companion on the session bus
// (extensions/gnome-shell/io.github.quillstack.Shell1.xml): its name, its
// object and the members we use, and the object we export for it.
namespace GnomeShellBus {

inline const QString service = QStringLiteral("io.github.quillstack.Shell");
inline const QString path = QStringLiteral("/io/github/quillstack/Shell");
inline const QString interface = QStringLiteral("io.github.quillstack.Shell1");
// The extension's uuid, which the user enables.
inline const QString extensionUuid = QStringLiteral("quillstack@quillstack.github.io");

namespace Member {
inline const QString clipboardChanged = QStringLiteral("ClipboardChanged");
inline const QString getClipboard = QStringLiteral("GetClipboard");
inline const QString readClipboard = QStringLiteral("ReadClipboard");
inline const QString setClipboard = QStringLiteral("SetClipboard");
inline const QString getFocusedWindow = QStringLiteral("GetFocusedWindow");
inline const QString focusedWindowChanged = QStringLiteral("FocusedWindowChanged");
inline const QString activateWindow = QStringLiteral("ActivateWindow");
inline const QString setShortcuts = QStringLiteral("SetShortcuts");
inline const QString shortcutActivated = QStringLiteral("ShortcutActivated");
inline const QString pressChord = QStringLiteral("PressChord");
} // namespace Member

namespace Error {
// ReadClipboard for an owner that is no longer the clipboard's.
inline const QString stale = interface + QStringLiteral(".Error.Stale");
} // namespace Error

// The names SetShortcuts and ShortcutActivated give our two shortcuts.
namespace Shortcut {
inline const QString openHistory = QStringLiteral("open-history");
inline const QString openKept = QStringLiteral("open-kept");
} // namespace Shortcut

// A type of no content in our offers made outside the companion, by which
// their announcement is known as our own.
inline const QString ownOfferType = QStringLiteral("application/x-quillstack-offer");

// What the companion asks for the bytes of our own offer.
inline const QString sourcePath = QStringLiteral("/io/github/quillstack/ShellSource");
inline const QString sourceInterface = QStringLiteral("io.github.quillstack.ShellSource1");

// A call to the companion's object.
QDBusMessage call(const QString &member, const QVariantList &arguments);

// The window with the keyboard as GetFocusedWindow answers; id 0 for none.
struct FocusedWindow
{
    quint64 id = 0;
    QString wmClass;
    QString sandboxedAppId;
    uint pid = 0;
};
// Asks GetFocusedWindow without waiting; `answered` runs in `context`'s
// thread with the answer, and not at all on an error or once `context` is gone.
void askFocusedWindow(const QDBusConnection &bus, QObject *context,
    std::function<void(const FocusedWindow &)> answered);
// The desktop is GNOME and the session Wayland.
bool isGnomeWayland();
// Whether the companion answers on this bus.
bool isAvailable(const QDBusConnection &bus);

} // namespace GnomeShellBus
