// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Clip.h"
#include "model/ClipJournal.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Owns the history's files on a thread of its own, so that no change makes
// the caller wait on encoding or on the disk. A change is one line appended
// to the journal and synced; a compaction writes the whole archive and
// starts an empty journal that names it. Work is done in the order given;
// lines waiting together share one write and one sync.
class ArchiveWriter
{
public:
    struct Outcome
    {
        bool ok = true;
        QString error;
        // The journal has outgrown its share of the archive, or a failure
        // left it unusable: the next save should be a compaction.
        bool compactionDue = false;
    };
    // Called on the writer's thread after each piece of work.
    using Report = std::function<void(const Outcome &)>;

    ArchiveWriter(const QString &archivePath, const QString &journalPath, const QString &mediaDir,
        Report report = {});
    // Does what is still pending, then stops.
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter &) = delete;
    ArchiveWriter &operator=(const ArchiveWriter &) = delete;

    // One journal line, made on the writer's thread: encoding a large clip
    // is work the caller should not wait for. The files are removed once the
    // line is durable.
    using MakeLine = std::function<QByteArray()>;
    void append(MakeLine makeLine, const QStringList &removeAfter = {});
    void append(const QByteArray &line, const QStringList &removeAfter = {});
    // Begins the journal for the archive on disk ahead of the first change:
    // naming a large archive means hashing it, which the first copy after
    // start should not wait for.
    void begin() { append(QByteArray()); }
    // The clips in archive order; the files are removed once it is written.
    void compact(const QList<Clip> &clips, const QStringList &removeAfter = {});
    // Returns once everything submitted so far is on disk (or failed).
    void flush();

    // Writes the clips in the archive's form to `fd`, one clip encoded at a
    // time, after the work submitted before, then closes `fd`. `done` is
    // called on the writer's thread, with an empty error when every byte
    // was written.
    using ExportDone = std::function<void(const QString &error)>;
    void exportTo(const QList<Clip> &clips, int fd, ExportDone done);
    // A reader that takes nothing for this long is given up, so that the
    // changes waiting behind an export wait no longer than that.
    static constexpr int exportStallMs = 10000;

    // The journal may grow to this share of the archive before a
    // compaction: a quarter keeps a start-up replay well below the cost of
    // loading the archive itself, and makes a compaction's cost (writing
    // the archive) come at most once per quarter of its size written as
    // lines. Below 1 MiB a compaction would cost more syncs than it saves.
    static qint64 compactionThreshold(qint64 archiveBytes);

private:
    struct Job
    {
        bool compaction = false;
        MakeLine makeLine;
        QStringList removeAfter;
        QList<Clip> clips;
        // Set for an export, which writes `clips` to `exportFd`.
        ExportDone exported;
        int exportFd = -1;
    };

    void run();
    Outcome appendLines(std::deque<Job> &jobs);
    Outcome compactNow(const QList<Clip> &clips);
    static QString exportNow(const QList<Clip> &clips, int fd);
    bool openJournal(QString *error);
    void closeJournal();

    const QString m_archivePath;
    const QString m_journalPath;
    const QString m_mediaDir;
    const Report m_report;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<Job> m_queue;
    quint64 m_submitted = 0;
    quint64 m_finished = 0;
    bool m_stopping = false;

    // Touched only on the writer's thread.
    int m_journal = -1;
    qint64 m_journalBytes = 0;
    qint64 m_archiveBytes = 0;
    // After a failed compaction, or a journal that could not be cut back
    // after a failed write, lines may follow only a compaction: what was
    // lost is in memory, not on disk.
    bool m_needsCompaction = false;
    // Lines whose write failed, cut from the journal again: the next lines
    // go after them. The files of their changes go once they are written.
    QList<QByteArray> m_unwrittenLines;
    QStringList m_unwrittenRemovals;
    // Whether this writer has written the journal's first line yet.
    bool m_journalBegun = false;
    bool m_compactionAsked = false;

    std::thread m_thread;
};
