// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/OrderedWorker.h"

OrderedWorker::OrderedWorker(QObject *parent)
    : QObject(parent)
    , m_thread([this] { run(); })
{
}

OrderedWorker::~OrderedWorker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_wake.notify_one();
    m_thread.join();
}

void OrderedWorker::submit(Work work)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(work));
        ++m_pending;
    }
    m_wake.notify_one();
}

void OrderedWorker::finish()
{
    {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return m_queue.empty() && !m_busy; });
    }
    deliver();
}

int OrderedWorker::pending() const
{
    std::lock_guard lock(m_mutex);
    return m_pending;
}

void OrderedWorker::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return !m_queue.empty() || m_stopping; });
        if (m_stopping)
            return;
        Work work = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        Finish done = work();
        work = nullptr; // release what the work held, here rather than on the owner's thread
        lock.lock();
        m_done.push_back(std::move(done));
        m_busy = false;
        if (m_queue.empty())
            m_idle.notify_all();
        QMetaObject::invokeMethod(this, &OrderedWorker::deliver, Qt::QueuedConnection);
    }
}

void OrderedWorker::deliver()
{
    for (;;) {
        Finish done;
        {
            std::lock_guard lock(m_mutex);
            if (m_done.empty())
                return;
            done = std::move(m_done.front());
            m_done.pop_front();
            --m_pending;
        }
        if (done)
            done();
    }
}
