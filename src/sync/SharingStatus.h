// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/MachineStatus.h"

#include <QList>
#include <QString>

class Defaults;

// What `--sync-status` prints: the settings, and each machine in the shared
// folder as the files alone tell it, with no instance running.
namespace SharingStatus {

struct Report
{
    bool sharing = false;
    QString folder;
    QByteArray thisMachine;
    QList<MachineStatus> machines;
};

Report read(Defaults &defaults, const QString &appSupportDir);
QString asText(const Report &report);
QString asJson(const Report &report);
// 0 when sharing is off or every machine reads well, 1 otherwise.
int exitCode(const Report &report);

} // namespace SharingStatus
