// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "globalhotkeys/Key.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QList>
#include <QString>
#include <QStringList>

// Helpers for tests against a real X server: waiting on conditions, running
// xdotool, xclip and setxkbmap, pressing keys by their physical position.

// Runs the event loop until `done` or the time (ten seconds) has passed.
template<typename Condition> bool waitFor(Condition done, int timeoutMs = 10000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Runs a tool to its end without blocking the event loop: xclip asks us for
// the clipboard, and we must be able to answer. Its output, trimmed.
QString runTool(const QString &program, const QStringList &arguments);
// Whether the tool ran and exited with 0. Blocks the event loop, so that
// what the tool causes is still to come when this returns: a QSignalSpy set
// up before then sees it arrive.
bool runToolOk(const QString &program, const QStringList &arguments);

// The X keycode of a physical key.
int x11Keycode(GlobalHotkeys::Key key);

// xdotool takes numbers as X keycodes: physical keys, whatever the layout.
// "key a b" types one key after the other; chords need keydown and keyup.
bool xdotool(const char *action, const QList<GlobalHotkeys::Key> &keys);

bool setLayout(const QStringList &setxkbmapArguments);

// The keyboard as the next test expects it: US layout, the given locks
// pressed again to turn them off.
struct KeyboardRestorer
{
    QList<GlobalHotkeys::Key> locksOn;
    ~KeyboardRestorer();
};
