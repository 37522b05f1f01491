#include "ArchiveWriter.h"

#include "AtomicFile.h"
#include "ClipArchive.h"

#include <QSet>

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

void ArchiveWriter::submit(const QList<Clip> &clips, const QList<quint64> &revisions)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending = Snapshot { clips, revisions };
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

QList<QByteArray> ArchiveWriter::encode(const Snapshot &snapshot)
{
    QHash<QUuid, Encoded> next;
    next.reserve(snapshot.clips.size());
    QList<QByteArray> encoded;
    encoded.reserve(snapshot.clips.size());
    for (qsizetype i = 0; i < snapshot.clips.size(); ++i) {
        const Clip &clip = snapshot.clips[i];
        const quint64 revision = snapshot.revisions.value(i);
        if (next.contains(clip.id)) {
            // Two clips with one id (an archive edited by hand): never share bytes.
            encoded.append(ClipArchive::encodeClip(clip));
            continue;
        }
        auto cached = m_encoded.constFind(clip.id);
        if (cached == m_encoded.constEnd() || cached->revision != revision)
            cached = m_encoded.insert(clip.id, Encoded { revision, ClipArchive::encodeClip(clip) });
        next.insert(clip.id, *cached);
        encoded.append(cached->bytes);
    }
    m_encoded = std::move(next); // forget clips that left the list
    return ClipArchive::archiveParts(encoded);
}

void ArchiveWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_pending.has_value() || m_stopping; });
        if (!m_pending)
            return; // stopping with nothing left to write
        Snapshot snapshot = std::move(*m_pending);
        m_pending.reset();
        const quint64 generation = m_submitted;
        lock.unlock();
        QList<QByteArray> parts = encode(snapshot);
        const bool ok = AtomicFile::write(m_path, parts);
        // Release the clips here, outside the lock.
        parts.clear();
        snapshot = Snapshot();
        lock.lock();
        if (!ok)
            ++m_failed;
        m_finished = generation;
        m_done.notify_all();
    }
}
