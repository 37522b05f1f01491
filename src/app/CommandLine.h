// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

#include <optional>

// The program's command line. Everything but a plain start is handled here:
// help and version (which need neither a display nor a bus), usage errors,
// and the commands sent to the running program over the session bus.
namespace CommandLine {

enum ExitCode { success = 0, failure = 1, usageError = 2 };

// The exit code once the command line has been dealt with, or nothing when
// the tray program itself should start. Needs a QCoreApplication.
std::optional<int> run(const QStringList &arguments);

} // namespace CommandLine
