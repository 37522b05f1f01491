// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// The programs a test starts to copy or to own the clipboard: what they are
// to offer is written to files here, and every one of them is stopped when
// the test is done with them.
class HelperProcesses
{
public:
    ~HelperProcesses() { killAll(); }

    // A new file holding bytes; its path, or empty.
    QString writeFile(const QByteArray &bytes);
    // Starts program and returns once it has printed "ready", or null.
    QProcess *startUntilReady(const QString &program, const QStringList &arguments);
    // Takes a started process, to be stopped with the others.
    QProcess *keep(std::unique_ptr<QProcess> process);
    void killAll();

    // The next line the process prints is line (within 10 s).
    static bool waitForLine(QProcess &process, const QByteArray &line);

private:
    QTemporaryDir m_dir;
    int m_files = 0;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};
