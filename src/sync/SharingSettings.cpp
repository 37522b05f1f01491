// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SharingSettings.h"

#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "model/SettingsKeys.h"
#include "sync/SharedFolder.h"

SharingSettings::SharingSettings(Defaults &defaults)
    : m_defaults(defaults)
{
}

bool SharingSettings::enabled() const
{
    return m_defaults.boolean(QLatin1String(SettingsKeys::sharingEnabled));
}

QString SharingSettings::folder() const
{
    return m_defaults.string(QLatin1String(SettingsKeys::sharingFolder));
}

SyncEngine::Scope SharingSettings::scope() const
{
    return m_defaults.string(QLatin1String(SettingsKeys::sharingScope))
            == scopeRawValue(SyncEngine::Scope::all)
        ? SyncEngine::Scope::all
        : SyncEngine::Scope::kept;
}

QByteArray SharingSettings::storedMachineId() const
{
    const QByteArray id
        = m_defaults.string(QLatin1String(SettingsKeys::sharingMachineId)).toLatin1();
    return SharedFolder::isMachineId(id) ? id : QByteArray();
}

QByteArray SharingSettings::machineId()
{
    QByteArray id = storedMachineId();
    if (id.isEmpty()) {
        id = SharedFolder::newMachineId();
        m_defaults.setObject(
            QLatin1String(SettingsKeys::sharingMachineId), QString::fromLatin1(id));
    }
    return id;
}

void SharingSettings::setEnabled(bool enabled)
{
    m_defaults.setObject(QLatin1String(SettingsKeys::sharingEnabled), enabled);
}

void SharingSettings::setFolder(const QString &folder)
{
    m_defaults.setObject(QLatin1String(SettingsKeys::sharingFolder), folder);
}

void SharingSettings::setScope(SyncEngine::Scope scope)
{
    m_defaults.setObject(QLatin1String(SettingsKeys::sharingScope), scopeRawValue(scope));
}

QString SharingSettings::keyPath(const QString &appSupportDir)
{
    const QString support
        = appSupportDir.isEmpty() ? ClipStore::defaultAppSupportDir() : appSupportDir;
    return support + QStringLiteral("/Quillstack/sharing/key");
}

QString SharingSettings::scopeRawValue(SyncEngine::Scope scope)
{
    return scope == SyncEngine::Scope::all ? QStringLiteral("all") : QStringLiteral("kept");
}
