#include "ArchiveWriter.h"

#include "AtomicFile.h"
#include "ClipArchive.h"

#include <malloc.h>

ArchiveWriter::ArchiveWriter(const QString &path, Outcome outcome)
    : m_path(path)
    , m_outcome(std::move(outcome))
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

void ArchiveWriter::submit(const QList<Clip> &clips)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending = clips;
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

void ArchiveWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_pending.has_value() || m_stopping; });
        if (!m_pending)
            return; // stopping with nothing left to write
        QList<Clip> clips = std::move(*m_pending);
        m_pending.reset();
        const quint64 generation = m_submitted;
        lock.unlock();
        QList<QByteArray> encoded;
        encoded.reserve(clips.size());
        for (const Clip &clip : std::as_const(clips))
            encoded.append(ClipArchive::encodeClip(clip));
        QString error;
        const bool ok = AtomicFile::write(m_path, ClipArchive::archiveParts(encoded), &error);
        // Nothing of a save is kept once it is on disk: a history of ten
        // thousand clips would otherwise hold its archive a second time. The
        // freed pages go back to the system rather than stay in this
        // thread's heap.
        encoded = QList<QByteArray>();
        clips = QList<Clip>();
        ::malloc_trim(0);
        if (m_outcome)
            m_outcome(ok, error);
        lock.lock();
        m_finished = generation;
        m_done.notify_all();
    }
}
