#pragma once

#include "Clip.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

// Writes the archive on a thread of its own, so that a change to a large
// history never makes the caller wait on encoding or on the disk. Each clip
// is encoded once per revision and reused until it changes. Only the newest
// submission matters: one that is superseded before its turn is skipped.
class ArchiveWriter
{
public:
    explicit ArchiveWriter(const QString &path);
    // Writes what is still pending, then stops.
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter &) = delete;
    ArchiveWriter &operator=(const ArchiveWriter &) = delete;

    // The clips in archive order, each with a number that changes whenever
    // the clip does.
    void submit(const QList<Clip> &clips, const QList<quint64> &revisions);
    // Returns once everything submitted so far is on disk (or failed).
    void flush();
    quint64 failedWrites() const;

private:
    struct Snapshot
    {
        QList<Clip> clips;
        QList<quint64> revisions;
    };
    struct Encoded
    {
        quint64 revision = 0;
        QByteArray bytes;
    };

    void run();
    QList<QByteArray> encode(const Snapshot &snapshot);

    const QString m_path;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::optional<Snapshot> m_pending;
    quint64 m_submitted = 0;
    quint64 m_finished = 0;
    quint64 m_failed = 0;
    bool m_stopping = false;
    QHash<QUuid, Encoded> m_encoded; // the writer thread's own
    std::thread m_thread;
};
