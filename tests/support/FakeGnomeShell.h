// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/wayland/GnomeShellBus.h"
#include "platform/wayland/WaylandClipboardWriter.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <optional>
#include <utility>

// The GNOME Shell companion on a test's bus, on a thread of its own so that
// the program's waiting calls are answered as the shell would. A test copies (announcing types and
// the bytes each is served with, or none for an owner that never sends), pastes our offer through
// Send, sets the window with the keyboard, takes chords so the shell refuses them, and presses
// bound shortcuts; what the program asked for is kept. The methods below may be called from the
// test's thread.
class FakeGnomeShell : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.quillstack.Shell1")
    // As GNOME 43's companion says when false.
    Q_PROPERTY(bool OffersEveryType MEMBER m_offersEveryType)
public:
    struct Offer
    {
        QString type;
        // None: the type is offered but its bytes never come.
        std::optional<QByteArray> bytes;
    };
    // What the program asked for: the types ReadClipboard was asked for, in
    // order; each SetClipboard's types and token; the windows it activated;
    // the accelerators of the latest SetShortcuts (open-history, open-kept).
    struct Asked
    {
        QStringList reads;
        QList<std::pair<QStringList, uint>> offers;
        QList<quint64> activations;
        std::optional<std::pair<QString, QString>> shortcuts;
    };

    // Takes the companion's name on a connection of its own; isValid() says
    // whether that worked.
    FakeGnomeShell();
    ~FakeGnomeShell() override;

    bool isValid() const { return m_valid; }
    void setOffersEveryType(bool every) { m_offersEveryType = every; }
    // Lets go of the name and says nothing, as a disabled companion does,
    // and takes it again.
    void leaveBus() { m_away = m_bus.unregisterService(GnomeShellBus::service); }
    bool joinBus() { return !(m_away = !m_bus.registerService(GnomeShellBus::service)); }

    // Another program copies.
    void copy(const QList<Offer> &offers);
    // A program pastes the given type from our offer with this token, as
    // the shell asks for it; none when Send failed, and its error then.
    std::optional<QByteArray> paste(uint token, const QString &type, QString *error = nullptr);
    // Another window has the keyboard; told to the program unless quietly.
    void setFocusedWindow(quint64 id, uint pid, bool quietly = false);
    void takeChord(const QString &accelerator);
    void pressShortcut(const QString &name);

    Asked asked() const;

public slots:
    uint GetClipboard(QStringList &mimeTypes, bool &ownedByProgram);
    void ReadClipboard(uint serial, const QString &mimeType, const QDBusUnixFileDescriptor &fd);
    uint SetClipboard(const QStringList &mimeTypes, uint token);
    qulonglong GetFocusedWindow(QString &wmClass, QString &sandboxedAppId, uint &pid);
    bool ActivateWindow(qulonglong id);
    QStringList SetShortcuts(const QString &openHistory, const QString &openKept);

private:
    // The bytes in the pipe that Send answered.
    static std::optional<QByteArray> readAnswer(const QDBusMessage &reply);
    void emitToProgram(const QString &name, const QVariantList &arguments);

    QThread m_thread;
    QDBusConnection m_bus;
    bool m_valid = false;
    std::atomic<bool> m_away = false;
    std::atomic<bool> m_offersEveryType = true;
    WaylandClipboardWriter m_writer;

    mutable QMutex m_mutex;
    uint m_serial = 0;
    QList<Offer> m_offers;
    bool m_ownedByProgram = false;
    QList<QDBusUnixFileDescriptor> m_held;
    Asked m_asked;
    std::pair<quint64, uint> m_focused;
    QSet<QString> m_taken;
};
