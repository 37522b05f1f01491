// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class Defaults;
class MouseMonitor;
class Notifier;
class Pasteboard;
class PasteKeys;
class Screens;
class Workspace;

namespace GlobalHotkeys {
class NamedShortcuts;
}

// What the application controller needs from the desktop. The entry point
// builds the real ones; tests build fakes.
struct AppServices
{
    Defaults &defaults;
    Pasteboard &pasteboard;
    Workspace &workspace;
    Screens &screens;
    MouseMonitor &mouseMonitor;
    // One per process: the preferences change the same names the hot keys use.
    GlobalHotkeys::NamedShortcuts &namedShortcuts;
    // Tells the user about failures they have to act on.
    Notifier &notifier;
    // The folder that holds the program's data folder; empty means the
    // platform's own (~/.local/share).
    QString appSupportDir;
    // Presses the paste keys for other programs; null where the desktop
    // offers no way to.
    PasteKeys *pasteKeys = nullptr;
};
