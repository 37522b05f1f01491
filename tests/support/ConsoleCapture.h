// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QTemporaryFile>

// Sends everything written to standard output into a file for as long as it
// lives, so a test can read the program's console messages.
class ConsoleCapture
{
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture &) = delete;
    ConsoleCapture &operator=(const ConsoleCapture &) = delete;

    QByteArray text();

private:
    QTemporaryFile m_file;
    int m_savedStdout = -1;
};
