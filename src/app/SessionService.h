// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>

#include <functional>

class AppDelegate;

// The running program's interface on the session bus, for the command line,
// desktop shortcut settings and scripts. Each call is checked against the
// signature of its member here rather than converted by Qt, so that a
// property set to a string or a call with the wrong arguments is refused
// with InvalidArgs instead of being read as something else.
//
// Members (names in SessionBus::Member):
//   Toggle, TogglePinned, Show, Preferences, Quit, Clear
//   List(i count) -> aa{sv}: the newest `count` clips (all when count < 1),
//     newest first: index, id, kind, preview, date (ISO 8601, UTC) and kept
//   Copy(s idOrIndex) -> b: puts a clip on the clipboard as choosing it
//     would, found by id or 0-based index; false when there is no such clip,
//     SessionBus::imageMissingError when its image file is missing
//   Export -> ay: the whole history in the archive's form, refused with
//     LimitsExceeded above SessionBus::exportMessageLimit
//   ExportTo(h fd): the same written to `fd`, of any size; the reply comes
//     once every byte is written, an error when that failed
//   property Recording (b, read-write), signal HistoryChanged
class SessionService : public QDBusVirtualObject
{
    Q_OBJECT
public:
    explicit SessionService(AppDelegate &app, QObject *parent = nullptr);

    // Exports this object on the bus; false with a message when that fails.
    bool publish(const QDBusConnection &bus, QString *errorMessage);

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private:
    // A member: its arguments, its result and what it does. The reply, or
    // an invalid message when the reply is sent later.
    struct Method
    {
        QString name;
        QString in;
        QString out;
        std::function<QDBusMessage(SessionService &, const QDBusMessage &)> call;
    };
    static const QList<Method> &methods();

    bool handleProperties(const QDBusMessage &message, const QDBusConnection &connection);
    QDBusMessage list(const QDBusMessage &message) const;
    QDBusMessage copy(const QDBusMessage &message);
    QDBusMessage exportBytes(const QDBusMessage &message) const;
    QDBusMessage exportTo(const QDBusMessage &message);
    void announceRecording(bool recording);

    AppDelegate &m_app;
    QDBusConnection m_bus { QStringLiteral("quillstack-unpublished") };
    // One export is written at a time: each holds the writer's thread.
    bool m_exporting = false;
};
