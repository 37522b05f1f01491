// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/wayland/PortalShortcut.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QMap>
#include <QObject>
#include <QSet>

// The desktop portal's global shortcuts on a test's bus: it answers
// CreateSession and BindShortcuts through Request objects as a desktop
// does, with the response code a test chooses (0 grants, 1 the user
// cancelled, 2 refused), binds a session once as the interface allows,
// keeps what each BindShortcuts asked for, and presses and releases a
// shortcut of the newest session on demand.
class FakePortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)
public:
    // Takes the portal's name on `bus`; isValid() says whether that worked.
    // Creating the session and binding answer with these responses.
    FakePortal(const QDBusConnection &bus, uint version, uint sessionResponse, uint bindResponse);
    ~FakePortal() override;

    bool isValid() const { return m_valid; }
    uint version() const { return m_version; }

    // Each BindShortcuts call: action id to the preferred trigger asked for.
    const QList<QMap<QString, QString>> &bindings() const { return m_bindings; }
    int configureCalls() const { return m_configureCalls; }

    void press(const QString &actionId)
    {
        emitShortcutSignal(QStringLiteral("Activated"), actionId);
    }
    void release(const QString &actionId)
    {
        emitShortcutSignal(QStringLiteral("Deactivated"), actionId);
    }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap &options);
    QDBusObjectPath BindShortcuts(const QDBusObjectPath &session,
        const QList<PortalShortcut> &shortcuts, const QString &parentWindow,
        const QVariantMap &options);
    void ConfigureShortcuts(
        const QDBusObjectPath &session, const QString &parentWindow, const QVariantMap &options);

private:
    // The Request object for the caller's handle_token; its Response is
    // sent once the method has returned, as a portal does.
    QDBusObjectPath respondLater(
        const QVariantMap &options, uint response, const QVariantMap &results);
    void emitShortcutSignal(const QString &name, const QString &actionId);

    QDBusConnection m_bus;
    uint m_version;
    bool m_valid = false;
    uint m_sessionResponse;
    uint m_bindResponse;
    QString m_session;
    QSet<QString> m_boundSessions;
    QList<QMap<QString, QString>> m_bindings;
    int m_configureCalls = 0;
};
