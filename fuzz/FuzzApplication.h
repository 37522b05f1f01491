// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGuiApplication>

// QTextDocument needs a GUI application for fonts; one offscreen instance
// lives for the whole fuzzing run.
inline void startFuzzApplication(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(*argc, *argv);
}
