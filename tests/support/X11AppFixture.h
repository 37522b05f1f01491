#pragma once

#include "AppDelegate.h"
#include "Defaults.h"
#include "NamedShortcuts.h"
#include "QtScreens.h"
#include "X11HotkeyRegistrar.h"
#include "X11KeyboardLayout.h"
#include "X11MouseMonitor.h"
#include "X11Pasteboard.h"
#include "X11Workspace.h"

#include <QProcess>
#include <QTemporaryDir>

#include <memory>

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

    QTemporaryDir dir;
    Defaults defaults { dir.filePath(QStringLiteral("Quillstack.conf")) };
    X11Pasteboard pasteboard;
    X11Workspace workspace;
    QtScreens screens;
    X11MouseMonitor mouse;
    X11HotkeyRegistrar hotkeyRegistrar;
    X11KeyboardLayout keyboardLayout;
    GlobalHotkeys::NamedShortcuts namedShortcuts { defaults, hotkeyRegistrar, keyboardLayout };
    std::unique_ptr<AppDelegate> app;
    QProcess other;
    quint64 otherWindow = 0;
};
