// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RecordingNotifier.h"
#include "app/Workspace.h"
#include "program/Program.h"

#include <QProcess>
#include <QTemporaryDir>

class HistoryPanel;
class HistoryViewController;
class QMenu;

// The application controller over the real X11 services, with its data in a
// folder of its own, and another program with a window of its own to give
// the keyboard to and take it from.
struct X11AppFixture
{
    X11AppFixture();
    ~X11AppFixture();

    void addText(const QString &text);
    bool otherHasKeyboard();
    // Gives the other program the keyboard, as if the user had clicked it.
    bool focusOther();
    bool panelHasKeyboard();
    HistoryPanel &panel() const;
    // Made at launch.
    HistoryViewController &history() const;
    QMenu *trayMenu() const;

    QTemporaryDir dir;
    RecordingNotifier notifier;
    Program program { Program::Options {
        dir.filePath(QStringLiteral("Quillstack.conf")), dir.path(), &notifier } };
    Workspace &workspace = program.workspace();
    MouseMonitor &mouse = program.mouseMonitor();
    GlobalHotkeys::HotkeyRegistrar &hotkeyRegistrar = program.hotkeyRegistrar();
    GlobalHotkeys::NamedShortcuts &namedShortcuts = program.namedShortcuts();
    AppDelegate *app = &program.app();
    QProcess other;
    quint64 otherWindow = 0;
};
