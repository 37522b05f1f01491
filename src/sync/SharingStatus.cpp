// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SharingStatus.h"

#include "model/Defaults.h"
#include "sync/FolderScanner.h"
#include "sync/MergedHistory.h"
#include "sync/SharingSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace SharingStatus {

namespace {

QString heard(const MachineStatus &machine)
{
    return machine.lastHeard.isValid() ? machine.lastHeard.toString(Qt::ISODate)
                                       : QStringLiteral("never");
}

} // namespace

Report read(Defaults &defaults, const QString &appSupportDir)
{
    // Read only: nothing is made or stored here.
    SharingSettings settings(defaults);
    Report report { settings.enabled(), settings.folder(), settings.storedMachineId(), {} };
    if (!report.sharing || report.folder.isEmpty())
        return report;
    const SharedFolder folder(report.folder, report.thisMachine);
    const auto key = SharingKey::readStored(SharingSettings::keyPath(appSupportDir));
    if (!key) {
        for (const QByteArray &id : folder.machines())
            report.machines.append({ id, {}, {}, 0, MachineStatus::State::unreadable, 0 });
        return report;
    }
    FolderScanner scanner(folder, *key, QString());
    const FolderScanner::Scan scan = scanner.scan(true);
    MergedHistory merged;
    for (const SyncEvent &event : scan.events)
        merged.apply(event);
    const QHash<QByteArray, int> counts = merged.clipsByOrigin();
    report.machines = scan.machines;
    for (MachineStatus &machine : report.machines)
        machine.clips = counts.value(machine.id);
    return report;
}

QString asText(const Report &report)
{
    QString text = QStringLiteral("sharing\t%1\nfolder\t%2\nthis-machine\t%3\n")
                       .arg(report.sharing ? QStringLiteral("on") : QStringLiteral("off"),
                           report.folder, QString::fromLatin1(report.thisMachine));
    for (const MachineStatus &machine : report.machines) {
        text += QStringLiteral("machine\t%1\t%2\t%3\t%4\t%5\n")
                    .arg(QString::fromLatin1(machine.id), machine.name, heard(machine))
                    .arg(machine.clips)
                    .arg(MachineStatus::stateName(machine.state));
    }
    return text;
}

QString asJson(const Report &report)
{
    QJsonArray machines;
    for (const MachineStatus &machine : report.machines) {
        machines.append(QJsonObject {
            { QStringLiteral("id"), QString::fromLatin1(machine.id) },
            { QStringLiteral("name"), machine.name },
            { QStringLiteral("lastHeard"), heard(machine) },
            { QStringLiteral("clips"), machine.clips },
            { QStringLiteral("state"), MachineStatus::stateName(machine.state) },
        });
    }
    const QJsonObject object {
        { QStringLiteral("sharing"), report.sharing },
        { QStringLiteral("folder"), report.folder },
        { QStringLiteral("thisMachine"), QString::fromLatin1(report.thisMachine) },
        { QStringLiteral("machines"), machines },
    };
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + u'\n';
}

int exitCode(const Report &report)
{
    if (!report.sharing)
        return 0;
    const bool allWell
        = std::all_of(report.machines.cbegin(), report.machines.cend(), [](const auto &machine) {
              return machine.state == MachineStatus::State::ok
                  || machine.state == MachineStatus::State::self;
          });
    return allWell ? 0 : 1;
}

} // namespace SharingStatus
