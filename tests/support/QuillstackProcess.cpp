// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuillstackProcess.h"

namespace {

QString binary()
{
    return qEnvironmentVariable("QUILLSTACK_TEST_BINARY_DIR") + QStringLiteral("/src/quillstack");
}

} // namespace

QuillstackProcess::QuillstackProcess()
    : environment(QProcessEnvironment::systemEnvironment())
{
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    // The program chooses its platform itself, as when a user starts it.
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    environment.remove(QStringLiteral("LANGUAGE"));
    environment.remove(QStringLiteral("LC_ALL"));
    environment.remove(QStringLiteral("LC_MESSAGES"));
    program.setProcessEnvironment(environment);
    program.setProgram(binary());
}

QuillstackProcess::Result QuillstackProcess::run(const QStringList &arguments) const
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(binary(), arguments);
    Result result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitCode();
    result.crashed = process.exitStatus() != QProcess::NormalExit;
    result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

void QuillstackProcess::start()
{
    program.setProcessEnvironment(environment);
    program.start();
}
