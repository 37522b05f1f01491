// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The quillstack program as a user starts it, with its home, data and
// settings in a folder of the test's own.
struct QuillstackProcess
{
    struct Result
    {
        int exitCode = -1;
        bool crashed = true;
        QString out;
        QString err;
    };

    QuillstackProcess();

    // Runs the program to its end with these arguments.
    Result run(const QStringList &arguments) const;
    // Starts the tray program and keeps it running.
    void start();
    // The previews of the running program's history, newest first.
    QStringList previews() const;

    QTemporaryDir home;
    QProcessEnvironment environment;
    QProcess program;
};
