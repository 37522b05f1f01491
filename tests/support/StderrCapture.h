#pragma once

#include <QByteArray>
#include <QTemporaryFile>

// Sends everything written to the standard error stream into a file for as
// long as it lives, so a test can read the program's console messages.
class StderrCapture
{
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;

    QByteArray text();

private:
    QTemporaryFile m_file;
    int m_savedStderr = -1;
};
