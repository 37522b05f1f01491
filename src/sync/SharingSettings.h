// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncEngine.h"

#include <QString>

class Defaults;

// The choices of sharing the history between machines, read from and
// written to the defaults store, and where the derived key is kept.
class SharingSettings
{
public:
    explicit SharingSettings(Defaults &defaults);

    bool enabled() const;
    QString folder() const;
    SyncEngine::Scope scope() const;
    // Made, and stored, on first use.
    QByteArray machineId();
    // Empty while none was made.
    QByteArray storedMachineId() const;

    void setEnabled(bool enabled);
    void setFolder(const QString &folder);
    void setScope(SyncEngine::Scope scope);

    // "<appSupportDir>/Quillstack/sharing/key" (0600).
    static QString keyPath(const QString &appSupportDir);
    static QString scopeRawValue(SyncEngine::Scope scope);

private:
    Defaults &m_defaults;
};
