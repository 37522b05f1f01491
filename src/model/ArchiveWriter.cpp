#include "ArchiveWriter.h"

#include "AtomicFile.h"


ArchiveWriter::ArchiveWriter(const QString &path)
    : m_path(path)
    , m_thread([this] { run(); })
{
}

ArchiveWriter::~ArchiveWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void ArchiveWriter::submit(QList<QByteArray> parts)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending = std::move(parts);
        ++m_submitted;
    }
    m_wake.notify_one();
}

void ArchiveWriter::flush()
{
    std::unique_lock lock(m_mutex);
    const quint64 target = m_submitted;
    m_done.wait(lock, [&] { return m_finished >= target; });
}

quint64 ArchiveWriter::failedWrites() const
{
    std::lock_guard lock(m_mutex);
    return m_failed;
}

void ArchiveWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_pending.has_value() || m_stopping; });
        if (!m_pending)
            return; // stopping with nothing left to write
        QList<QByteArray> parts = std::move(*m_pending);
        m_pending.reset();
        const quint64 generation = m_submitted;
        lock.unlock();
        QString error;
        const bool ok = AtomicFile::write(m_path, parts, &error);
        parts.clear(); // release the clips' bytes outside the lock
        lock.lock();
        if (!ok)
            ++m_failed;
        m_finished = generation;
        m_done.notify_all();
    }
}
