#pragma once

#include <QDBusConnection>
#include <QString>

// The program's name on the session bus, and the object and interface it
// exports there. The same reverse-DNS name is the desktop entry's and the
// AppStream component's id.
namespace SessionBus {

inline const QString serviceName = QStringLiteral("io.github.quillstack.Quillstack");
inline const QString objectPath = QStringLiteral("/io/github/quillstack/Quillstack");
inline const QString interfaceName = QStringLiteral("io.github.quillstack.Quillstack");

// The user's session bus, or a disconnected connection when there is none.
// Never starts a bus of its own: libdbus would otherwise autolaunch a private
// one through X11 that no other program can find.
QDBusConnection connect();

enum class Claim { claimed, heldByAnother, noBus };
// Claims the program's name; only one running program can hold it.
Claim claimServiceName(const QDBusConnection &bus);

} // namespace SessionBus
