// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/AppDelegate.h"
#include "app/MouseMonitor.h"
#include "app/Notifier.h"
#include "app/QtScreens.h"
#include "globalhotkeys/HotkeyRegistrar.h"
#include "globalhotkeys/KeyboardLayout.h"
#include "globalhotkeys/NamedShortcuts.h"
#include "model/Defaults.h"

#include <QString>

#include <memory>

class Pasteboard;
class PasteKeys;
class QCoreApplication;
class Workspace;

// The whole program over the real desktop services, wired in one place: the
// entry point, the tests against a real X server and the benchmarks all build
// it through here. The clipboard and window list come from Wayland when the
// session offers them, else from X11. The platform objects are made in the
// .cpp, so that nothing including this compiles against a platform's headers.
class Program
{
public:
    struct Options
    {
        // The settings file; empty means the user's own.
        QString settingsFile;
        // The folder that holds the data folder; empty means ~/.local/share.
        QString appSupportDir;
        // Tells the user about failures; the program's own one when null.
        Notifier *notifier = nullptr;
    };

    explicit Program(const Options &options);
    Program()
        : Program(Options {})
    {
    }
    ~Program();
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    // Hooks the controller to the event loop of `app`: it launches once the
    // loop runs, quits it on request and hears of the program's end.
    void runIn(QCoreApplication &app);

    Defaults &defaults() { return *m_defaults; }
    Notifier &notifier() { return *m_notifier; }
    Pasteboard &pasteboard() { return *m_pasteboard; }
    Workspace &workspace() { return *m_workspace; }
    MouseMonitor &mouseMonitor() { return *m_mouseMonitor; }
    GlobalHotkeys::HotkeyRegistrar &hotkeyRegistrar() { return *m_hotkeyRegistrar; }
    GlobalHotkeys::KeyboardLayout &keyboardLayout() { return *m_keyboardLayout; }
    GlobalHotkeys::NamedShortcuts &namedShortcuts() { return m_namedShortcuts; }
    PasteKeys &pasteKeys() { return *m_pasteKeys; }
    AppDelegate &app() { return *m_app; }

private:
    std::unique_ptr<GlobalHotkeys::HotkeyRegistrar> makeHotkeyRegistrar();
    void adviseGnomeCompanion();
    std::unique_ptr<PasteKeys> makePasteKeys();

    std::unique_ptr<Defaults> m_defaults;
    std::unique_ptr<Notifier> m_ownNotifier;
    Notifier *m_notifier;
    std::unique_ptr<Pasteboard> m_pasteboard;
    std::unique_ptr<Workspace> m_workspace;
    QtScreens m_screens;
    std::unique_ptr<MouseMonitor> m_mouseMonitor;
    std::unique_ptr<GlobalHotkeys::HotkeyRegistrar> m_hotkeyRegistrar;
    std::unique_ptr<GlobalHotkeys::KeyboardLayout> m_keyboardLayout;
    GlobalHotkeys::NamedShortcuts m_namedShortcuts;
    std::unique_ptr<PasteKeys> m_pasteKeys;
    std::unique_ptr<AppDelegate> m_app;
};
