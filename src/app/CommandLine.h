// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The program's command line. Everything but a plain start is handled here:
// help and version (which need neither a display nor a bus), usage errors,
// and the commands sent to the running program over the session bus. The
// arguments are read whole into a Request first; only then is anything done.
namespace CommandLine {

enum ExitCode { success = 0, failure = 1, usageError = 2 };

// What the command line asks for.
struct Request
{
    enum class Action {
        start, // the tray program itself
        help,
        version,
        usageError,
        toggle,
        togglePinned,
        show,
        preferences,
        quit,
        list,
        copy,
        exportHistory,
        clear,
        pause,
        resume,
        syncStatus,
        syncPassphrase,
    };

    Action action = Action::start;
    // list: how many clips; list and syncStatus: whether as JSON.
    int count = 10;
    bool json = false;
    // copy: the clip's id or index, as typed.
    QString clip {};
    // usageError: what is wrong, in the user's words; help: the help text.
    QString text {};
};

// Reads the arguments (the program's name first) without acting on them.
Request parse(const QStringList &arguments);

// The exit code once the request has been dealt with, or nothing when the
// tray program itself should start. Needs a QCoreApplication.
std::optional<int> run(const Request &request);
inline std::optional<int> run(const QStringList &arguments)
{
    return run(parse(arguments));
}

} // namespace CommandLine
