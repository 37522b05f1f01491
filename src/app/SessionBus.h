// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QString>

// The program's name on the session bus, and the object and interface it
// exports there. The same reverse-DNS name is the desktop entry's and the
// AppStream component's id.
namespace SessionBus {

inline const QString serviceName = QStringLiteral("io.github.quillstack.Quillstack");
inline const QString objectPath = QStringLiteral("/io/github/quillstack/Quillstack");
// The interface is named as the service.
inline const QString interfaceName = serviceName;

// The interface's members, for the program that answers them and the
// command line that calls them.
namespace Member {
inline const QString toggle = QStringLiteral("Toggle");
inline const QString togglePinned = QStringLiteral("TogglePinned");
inline const QString show = QStringLiteral("Show");
inline const QString preferences = QStringLiteral("Preferences");
inline const QString quit = QStringLiteral("Quit");
inline const QString list = QStringLiteral("List");
inline const QString copy = QStringLiteral("Copy");
inline const QString clear = QStringLiteral("Clear");
inline const QString exportBytes = QStringLiteral("Export");
inline const QString exportTo = QStringLiteral("ExportTo");
inline const QString recording = QStringLiteral("Recording");
inline const QString historyChanged = QStringLiteral("HistoryChanged");
} // namespace Member

// The fields of each row `List` answers.
namespace ListField {
inline const QString index = QStringLiteral("index");
inline const QString id = QStringLiteral("id");
inline const QString kind = QStringLiteral("kind");
inline const QString preview = QStringLiteral("preview");
inline const QString date = QStringLiteral("date");
inline const QString kept = QStringLiteral("kept");
} // namespace ListField

// The standard interface through which `Recording` is read, set and watched.
namespace Properties {
inline const QString interfaceName = QStringLiteral("org.freedesktop.DBus.Properties");
inline const QString get = QStringLiteral("Get");
inline const QString getAll = QStringLiteral("GetAll");
inline const QString set = QStringLiteral("Set");
inline const QString changed = QStringLiteral("PropertiesChanged");
} // namespace Properties

// The bus's answer to a call for a name nobody holds.
inline const QString nameHasNoOwnerError
    = QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner");

// The error `Copy` answers for an image clip whose file is gone.
inline const QString imageMissingError = interfaceName + QStringLiteral(".Error.ImageMissing");

// The largest history `Export` returns in one message. libdbus ends the
// whole program on an array over 64 MiB; `ExportTo` streams any size.
inline constexpr qsizetype exportMessageLimit = qsizetype(32) << 20;

// The user's session bus, or a disconnected connection when there is none.
// Never starts a bus of its own: libdbus would otherwise autolaunch a private
// one through X11 that no other program can find.
QDBusConnection connect();

// A connection of the command line's own, closed when this goes away, so
// that nothing of it outlives the application object.
class ClientConnection
{
public:
    ClientConnection();
    ~ClientConnection();
    ClientConnection(const ClientConnection &) = delete;
    ClientConnection &operator=(const ClientConnection &) = delete;

    const QDBusConnection &bus() const { return m_bus; }

private:
    QDBusConnection m_bus;
};

enum class Claim { claimed, heldByAnother, noBus };
// Claims the program's name; only one running program can hold it.
Claim claimServiceName(const QDBusConnection &bus);

} // namespace SessionBus
