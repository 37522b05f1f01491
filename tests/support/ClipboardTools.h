// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HelperProcesses.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <utility>

// Drives the real X11 clipboard from tests: xclip for plain copies and
// reads, and our own owner helper when a copy must offer several targets.
class ClipboardTools
{
public:
    using Offers = QList<std::pair<QString, QByteArray>>;

    // Starts the owner helper with exactly these targets; returns once it
    // owns the clipboard, or null. The helper lives until the tools do.
    QProcess *startOwner(const Offers &offers, const QStringList &options = {});
    // Copies with `xclip -i` and returns once xclip has returned.
    static bool copyWithXclip(const QByteArray &bytes);
    // Runs `xclip -o` while the event loop keeps serving our own clipboard.
    static QByteArray readWithXclip(const QString &target);
    // Stops every process started here.
    void killAll() { m_helpers.killAll(); }

private:
    HelperProcesses m_helpers;
};
