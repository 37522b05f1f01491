// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

// Serves our own clipboard contents to the programs that paste them: each
// request is a pipe to write the bytes into. A thread of its own writes all
// open requests side by side, so a reader that is slow or never reads holds
// up neither the other readers nor the clipboard connection, and is given up
// on after a while without progress.
class WaylandClipboardWriter
{
public:
    WaylandClipboardWriter();
    ~WaylandClipboardWriter();
    WaylandClipboardWriter(const WaylandClipboardWriter &) = delete;
    WaylandClipboardWriter &operator=(const WaylandClipboardWriter &) = delete;

    // Writes bytes into fd and closes it; takes the descriptor over. Any thread.
    void serve(int fd, const QByteArray &bytes);

    static constexpr std::chrono::seconds stalledReaderLimit { 10 };

private:
    using Clock = std::chrono::steady_clock;
    struct Job
    {
        int fd = -1;
        QByteArray bytes;
        qsizetype written = 0;
        Clock::time_point lastProgress;
    };

    void run();
    // Writes what the pipe takes now; false once the job is finished.
    static bool advance(Job &job);

    std::mutex m_mutex;
    std::vector<Job> m_incoming;
    int m_wakeFd = -1;
    std::atomic<bool> m_stopRequested = false;
    std::thread m_thread;
};
