// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelperProcesses.h"

#include <QDeadlineTimer>
#include <QFile>

QString HelperProcesses::writeFile(const QByteArray &bytes)
{
    QFile file(m_dir.filePath(QString::number(++m_files)));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return file.fileName();
}

QProcess *HelperProcesses::startUntilReady(const QString &program, const QStringList &arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(program, arguments);
    if (!waitForLine(*process, "ready"))
        return nullptr;
    return keep(std::move(process));
}

QProcess *HelperProcesses::keep(std::unique_ptr<QProcess> process)
{
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

void HelperProcesses::killAll()
{
    for (const auto &process : m_processes) {
        process->kill();
        process->waitForFinished(5000);
    }
    m_processes.clear();
}

bool HelperProcesses::waitForLine(QProcess &process, const QByteArray &line)
{
    const QDeadlineTimer deadline(10000);
    while (!process.canReadLine() && process.waitForReadyRead(int(deadline.remainingTime()))) { }
    return process.readLine().trimmed() == line;
}
