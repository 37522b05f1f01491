// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ArchiveWriter.h"

#include "model/AtomicFile.h"
#include "model/ClipArchive.h"
#include "model/ClipFunctions.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

QString systemError(const QString &what)
{
    return what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

// Lines waiting together go out in one call; a short write continues where
// it stopped.
bool writeLines(int fd, const QList<QByteArray> &lines)
{
    QByteArray joined;
    const QByteArray *bytes = &lines.first();
    if (lines.size() > 1) {
        joined = lines.join();
        bytes = &joined;
    }
    const char *at = bytes->constData();
    qsizetype left = bytes->size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        at += written;
        left -= written;
    }
    return true;
}

// Hands the bytes to a reader in pieces that a pipe with room takes whole,
// so that a reader that stops reading holds this thread no longer than the
// stall limit, however large the export.
bool writeToReader(int fd, const QByteArray &bytes, QString *error)
{
    const char *at = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        pollfd ready { fd, POLLOUT, 0 };
        const int polled = ::poll(&ready, 1, ArchiveWriter::exportStallMs);
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled == 0) {
            *error = QStringLiteral("the reader took nothing for %1 seconds")
                         .arg(ArchiveWriter::exportStallMs / 1000);
            return false;
        }
        const ssize_t written
            = polled < 0 ? -1 : ::write(fd, at, size_t(std::min<qsizetype>(left, PIPE_BUF)));
        if (written < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (written <= 0) {
            *error = systemError(QStringLiteral("cannot write the export"));
            return false;
        }
        at += written;
        left -= written;
    }
    return true;
}

// A reader that went away costs a write EPIPE; the signal that comes with it
// is blocked on this thread and taken off again here.
void discardPipeSignal()
{
    sigset_t pipeSignal;
    ::sigemptyset(&pipeSignal);
    ::sigaddset(&pipeSignal, SIGPIPE);
    const timespec now { 0, 0 };
    while (::sigtimedwait(&pipeSignal, nullptr, &now) == SIGPIPE) { }
}

} // namespace

qint64 ArchiveWriter::compactionThreshold(qint64 archiveBytes)
{
    return std::max<qint64>(qint64(1) << 20, archiveBytes / 4);
}

ArchiveWriter::ArchiveWriter(
    const QString &archivePath, const QString &journalPath, const QString &mediaDir, Report report)
    : m_archivePath(archivePath)
    , m_journalPath(journalPath)
    , m_mediaDir(mediaDir)
    , m_report(std::move(report))
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
    closeJournal();
}

void ArchiveWriter::append(const QByteArray &line, const QStringList &removeAfter)
{
    append([line] { return line; }, removeAfter);
}

void ArchiveWriter::append(MakeLine makeLine, const QStringList &removeAfter)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({ false, std::move(makeLine), removeAfter, {}, {}, -1 });
        ++m_submitted;
    }
    m_wake.notify_one();
}

void ArchiveWriter::compact(const QList<Clip> &clips, const QStringList &removeAfter)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({ true, {}, removeAfter, clips, {}, -1 });
        ++m_submitted;
    }
    m_wake.notify_one();
}

void ArchiveWriter::exportTo(const QList<Clip> &clips, int fd, ExportDone done)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({ false, {}, {}, clips, std::move(done), fd });
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
    // A reader of an export that closes its end must cost an EPIPE, not the process.
    sigset_t pipeSignal;
    ::sigemptyset(&pipeSignal);
    ::sigaddset(&pipeSignal, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    const auto isExport = [](const Job &job) { return bool(job.exported); };
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return !m_queue.empty() || m_stopping; });
        if (m_queue.empty())
            return; // stopping with nothing left to do
        // An export goes alone, in its turn; the work before the next
        // export is done together.
        auto end = std::find_if(m_queue.begin(), m_queue.end(), isExport);
        if (end == m_queue.begin())
            ++end;
        const auto lastCompaction = std::find_if(std::make_reverse_iterator(end), m_queue.rend(),
            [](const Job &job) { return job.compaction; });
        // A compaction holds every change before it: lines and older
        // compactions still waiting are covered by the newest one.
        if (lastCompaction != m_queue.rend())
            end = lastCompaction.base();
        std::deque<Job> batch;
        std::move(m_queue.begin(), end, std::back_inserter(batch));
        m_queue.erase(m_queue.begin(), end);
        const quint64 count = quint64(batch.size());
        lock.unlock();
        Outcome outcome;
        if (isExport(batch.back())) {
            batch.back().exported(exportNow(batch.back().clips, batch.back().exportFd));
        } else if (batch.back().compaction) {
            outcome = compactNow(batch.back().clips);
            batch.back().clips = QList<Clip>();
            // Files of the changes that the compaction holds; after a
            // failure they stay for a sweep to find.
            for (const Job &job : batch) {
                for (const QString &path : job.removeAfter) {
                    if (outcome.ok)
                        AtomicFile::removeFile(path, 2);
                }
            }
        } else {
            outcome = appendLines(batch);
        }
        const bool saved = !isExport(batch.back());
        batch.clear();
        if (m_report && saved)
            m_report(outcome);
        lock.lock();
        m_finished += count;
        m_done.notify_all();
    }
}

ArchiveWriter::Outcome ArchiveWriter::appendLines(std::deque<Job> &jobs)
{
    Outcome outcome;
    if (m_needsCompaction) {
        // A line after a lost one would be applied to the wrong history.
        outcome.ok = false;
        outcome.error
            = QStringLiteral("%1 waits for the whole history to be written").arg(m_journalPath);
        outcome.compactionDue = true;
        return outcome;
    }
    if (m_journal < 0 && !openJournal(&outcome.error)) {
        m_needsCompaction = true;
        return { false, outcome.error, true };
    }
    // Lines that did not reach the disk before go first, in their order.
    QList<QByteArray> lines = std::exchange(m_unwrittenLines, {});
    QStringList removals = std::exchange(m_unwrittenRemovals, {});
    for (const Job &job : jobs) {
        lines.append(job.makeLine());
        removals += job.removeAfter;
    }
    qint64 bytes = 0;
    for (const QByteArray &line : std::as_const(lines))
        bytes += line.size();
    if (bytes > 0 && (!writeLines(m_journal, lines) || ::fdatasync(m_journal) != 0)) {
        outcome.ok = false;
        outcome.error = systemError(QStringLiteral("cannot write %1").arg(m_journalPath));
        // The journal is cut back to its last whole line, so that nothing
        // torn or missing sits in it, and the lines wait here for the next
        // change. When it cannot be cut, or the lines waiting grow past what
        // a compaction would write, only a compaction can follow.
        if (bytes <= compactionThreshold(m_archiveBytes)
            && ::ftruncate(m_journal, m_journalBytes) == 0 && ::fsync(m_journal) == 0) {
            m_unwrittenLines = std::move(lines);
            m_unwrittenRemovals = std::move(removals);
            return outcome;
        }
        outcome.compactionDue = true;
        closeJournal();
        m_needsCompaction = true;
        return outcome;
    }
    // Only once the lines that no longer name them are durable.
    for (const QString &path : std::as_const(removals))
        AtomicFile::removeFile(path, 2);
    m_journalBytes += bytes;
    // Asked for once per journal: the store answers with a compaction.
    if (!m_compactionAsked && m_journalBytes > compactionThreshold(m_archiveBytes)) {
        m_compactionAsked = true;
        outcome.compactionDue = true;
    }
    return outcome;
}

ArchiveWriter::Outcome ArchiveWriter::compactNow(const QList<Clip> &clips)
{
    const QDateTime started = QDateTime::currentDateTimeUtc();
    QList<QByteArray> parts = ClipArchive::archivePieces(clips);
    Sha256 hash;
    ClipJournal::ArchiveName name { 0, {} };
    for (const QByteArray &part : std::as_const(parts)) {
        hash.addData(part);
        name.bytes += part.size();
    }
    name.sha256 = hash.hexResult();

    // The old archive and its journal stay whole until the new archive has
    // replaced them; a crash before the new journal is written leaves the
    // new archive with a journal that names the old one, which is ignored.
    closeJournal();
    Outcome outcome;
    QString error;
    const bool written = AtomicFile::write(m_archivePath, parts, &error, 1)
        && AtomicFile::write(m_journalPath, ClipJournal::headerLine(name), &error, 1);
    // Nothing of a save is kept once it is on disk; the freed pages go back
    // to the system rather than stay in this thread's heap.
    parts = QList<QByteArray>();
    ::malloc_trim(0);
    if (!written) {
        m_needsCompaction = true;
        return { false, error, true };
    }
    m_needsCompaction = false;
    m_compactionAsked = false;
    // The compaction holds what was waiting to be appended.
    m_unwrittenLines.clear();
    for (const QString &path : std::exchange(m_unwrittenRemovals, {}))
        AtomicFile::removeFile(path, 2);
    m_journalBegun = true;
    m_archiveBytes = name.bytes;
    if (!openJournal(&error))
        return { false, error, true };

    // Images that no clip names any more. A capture may have written one
    // for a clip that is still on its way to the store: recent files stay
    // until the next compaction.
    QSet<QString> named;
    for (const Clip &clip : clips) {
        if (clip.imageFilename)
            named.insert(*clip.imageFilename);
    }
    // Only plain files in a media folder of our own: never a link, nor
    // anything reached through one.
    const qint64 settled = started.toSecsSinceEpoch() - 60;
    const int media = AtomicFile::openFolder(m_mediaDir, 2);
    if (media >= 0) {
        AtomicFile::forEachFile(media, [&](const QString &file, const struct stat &st) {
            return !named.contains(file) && qint64(st.st_mtime) < settled;
        });
        ::close(media);
    }
    return outcome;
}

QString ArchiveWriter::exportNow(const QList<Clip> &clips, int fd)
{
    QString error;
    ClipArchive::writeArchive(
        clips, [&](const QByteArray &piece) { return writeToReader(fd, piece, &error); });
    ::close(fd);
    discardPipeSignal();
    return error;
}

bool ArchiveWriter::openJournal(QString *error)
{
    closeJournal();
    const int folder = AtomicFile::openFolder(QFileInfo(m_journalPath).absolutePath());
    if (folder < 0) {
        *error = systemError(QStringLiteral("cannot open %1").arg(m_journalPath));
        return false;
    }
    if (!m_journalBegun) {
        // The first change since start, with no compaction yet: the journal
        // on disk holds nothing the history lacks, so a new one is begun
        // that names the archive as it is.
        const std::optional<QByteArray> sha256 = fileSha256Hex(m_archivePath);
        if (!sha256) {
            ::close(folder);
            *error = QStringLiteral("cannot read %1").arg(m_archivePath);
            return false;
        }
        const ClipJournal::ArchiveName name { QFileInfo(m_archivePath).size(), *sha256 };
        if (!AtomicFile::write(folder, m_journalPath, { ClipJournal::headerLine(name) }, error)) {
            ::close(folder);
            return false;
        }
        m_archiveBytes = name.bytes;
        m_journalBegun = true;
    }
    m_journal = ::openat(folder, QFile::encodeName(QFileInfo(m_journalPath).fileName()).constData(),
        O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    ::close(folder);
    if (m_journal < 0) {
        *error = systemError(QStringLiteral("cannot open %1").arg(m_journalPath));
        return false;
    }
    const off_t size = ::lseek(m_journal, 0, SEEK_END);
    m_journalBytes = size < 0 ? 0 : qint64(size);
    return true;
}

void ArchiveWriter::closeJournal()
{
    if (m_journal >= 0)
        ::close(m_journal);
    m_journal = -1;
}
