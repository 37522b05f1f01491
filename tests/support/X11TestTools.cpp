// SPDX-License-Identifier: GPL-3.0-or-later
#include "X11TestTools.h"

#include "globalhotkeys/KeyCodeTable.h"

#include <QProcess>

using namespace Qt::StringLiterals;

using namespace GlobalHotkeys;

QString runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!waitFor([&] { return process.state() == QProcess::NotRunning; }))
        process.kill();
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

bool runToolOk(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

int x11Keycode(Key key)
{
    return *evdevCodeForKeyCode(key.rawValue) + xkbKeycodeOffset;
}

bool xdotool(const char *action, const QList<Key> &keys)
{
    if (keys.isEmpty())
        return true;
    QStringList arguments { QString::fromLatin1(action) };
    for (const Key key : keys)
        arguments.append(QString::number(x11Keycode(key)));
    return runToolOk(u"xdotool"_s, arguments);
}

bool setLayout(const QStringList &setxkbmapArguments)
{
    return runToolOk(u"setxkbmap"_s, setxkbmapArguments);
}

KeyboardRestorer::~KeyboardRestorer()
{
    xdotool("key", locksOn);
    setLayout({ u"-layout"_s, u"us"_s, u"-option"_s, QString() });
}
