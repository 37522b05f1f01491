#pragma once

#include "Clip.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// Writes the archive on a thread of its own, so that a change to a large
// history never makes the caller wait on encoding or on the disk. Only the
// newest submission matters: one that is superseded before its turn is
// skipped.
class ArchiveWriter
{
public:
    // Called on the writer's thread after each write, with the reason when
    // it failed.
    using Outcome = std::function<void(bool ok, const QString &error)>;

    ArchiveWriter(const QString &path, Outcome outcome = {});
    // Writes what is still pending, then stops.
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter &) = delete;
    ArchiveWriter &operator=(const ArchiveWriter &) = delete;

    // The clips in archive order.
    void submit(const QList<Clip> &clips);
    // Returns once everything submitted so far is on disk (or failed).
    void flush();

private:
    void run();

    const QString m_path;
    const Outcome m_outcome;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::optional<QList<Clip>> m_pending;
    quint64 m_submitted = 0;
    quint64 m_finished = 0;
    bool m_stopping = false;
    std::thread m_thread;
};
