// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/wayland/WaylandClipboardWriter.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusUnixFileDescriptor>
#include <QList>
#include <QObject>
#include <QString>

#include <utility>

// Our own clipboard contents as the GNOME Shell companion pastes them: while
// one of our offers is the clipboard's, the companion asks for the bytes of
// a type with Send, and gets a pipe that a writer thread fills, so a program
// that reads slowly or never holds up nothing of ours. Only the companion is
// answered, and only for the offer made last.
class GnomeShellSource : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.quillstack.ShellSource1")
public:
    using Representations = QList<std::pair<QString, QByteArray>>;

    explicit GnomeShellSource(const QDBusConnection &bus, QObject *parent = nullptr);
    ~GnomeShellSource() override;

    bool isRegistered() const { return m_registered; }
    // Makes these the contents served from now on; returns the offer's token.
    quint32 offer(const Representations &representations);

public slots:
    Q_SCRIPTABLE QDBusUnixFileDescriptor Send(uint token, const QString &mimeType);

private:
    QDBusConnection m_bus;
    bool m_registered = false;
    Representations m_offered;
    quint32 m_token = 0;
    WaylandClipboardWriter m_writer;
};
