// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Runs work on a thread of its own, one piece at a time in the order given,
// and then each piece's finishing step back on the owner's thread, in the
// same order. Heavy preparation (decoding, hashing, converting, writing a
// file) goes in the work; the finishing step hands the result over.
class OrderedWorker : public QObject
{
    Q_OBJECT
public:
    using Finish = std::function<void()>;
    using Work = std::function<Finish()>;

    explicit OrderedWorker(QObject *parent = nullptr);
    // Work not yet started is dropped; the piece under way is waited for.
    ~OrderedWorker() override;

    void submit(Work work);
    // Waits for everything submitted so far and runs the finishing steps
    // that are due, without an event loop.
    void finish();
    // Pieces submitted whose finishing step has not run yet.
    int pending() const;

private:
    void run();
    void deliver();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Work> m_queue;
    std::deque<Finish> m_done;
    int m_pending = 0;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};
