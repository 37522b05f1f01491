// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QTemporaryFile>

// Sends everything written to standard output (or to another descriptor,
// such as 2 for standard error) into a file for as long as it lives, so a
// test can read the program's console messages.
class ConsoleCapture
{
public:
    explicit ConsoleCapture(int descriptor = 1);
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture &) = delete;
    ConsoleCapture &operator=(const ConsoleCapture &) = delete;

    QByteArray text();

private:
    QTemporaryFile m_file;
    int m_descriptor;
    int m_saved = -1;
};
