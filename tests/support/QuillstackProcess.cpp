// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuillstackProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

QString binary()
{
    return qEnvironmentVariable("QUILLSTACK_TEST_BINARY_DIR") + u"/src/quillstack"_s;
}

} // namespace

QuillstackProcess::QuillstackProcess()
    : environment(QProcessEnvironment::systemEnvironment())
{
    environment.insert(u"HOME"_s, home.path());
    environment.insert(u"XDG_DATA_HOME"_s, home.filePath(u"data"_s));
    environment.insert(u"XDG_CONFIG_HOME"_s, home.filePath(u"config"_s));
    // The program chooses its platform itself, as when a user starts it.
    environment.remove(u"QT_QPA_PLATFORM"_s);
    environment.insert(u"LANG"_s, u"C.UTF-8"_s);
    for (const QString &name : { u"LANGUAGE"_s, u"LC_ALL"_s, u"LC_MESSAGES"_s })
        environment.remove(name);
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

QStringList QuillstackProcess::previews() const
{
    QStringList texts;
    const QByteArray listed = run({ u"--list"_s, u"100"_s, u"--json"_s }).out.toUtf8();
    for (const QJsonValue &row : QJsonDocument::fromJson(listed).array())
        texts.append(row[QLatin1String("preview")].toString());
    return texts;
}
