// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

// One entry of the desktop portal's shortcut lists (D-Bus "(sa{sv})"): our
// id for the action and its properties, such as "description" and
// "preferred_trigger" going out or "trigger_description" coming back.
struct PortalShortcut
{
    QString id;
    QVariantMap properties;

    // Makes the list type known to Qt D-Bus; call before the first use.
    static void registerDBusTypes();
};

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut);
const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut);

Q_DECLARE_METATYPE(PortalShortcut)
