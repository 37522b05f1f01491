#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

// Writes the archive on a thread of its own, so that a change to a large
// history never makes the caller wait on the disk. Only the newest
// submission matters: one that is superseded before its turn is skipped.
class ArchiveWriter
{
public:
    explicit ArchiveWriter(const QString &path);
    // Writes what is still pending, then stops.
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter &) = delete;
    ArchiveWriter &operator=(const ArchiveWriter &) = delete;

    void submit(QList<QByteArray> parts);
    // Returns once everything submitted so far is on disk (or failed).
    void flush();
    quint64 failedWrites() const;

private:
    void run();

    const QString m_path;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::optional<QList<QByteArray>> m_pending;
    quint64 m_submitted = 0;
    quint64 m_finished = 0;
    quint64 m_failed = 0;
    bool m_stopping = false;
    std::thread m_thread;
};
