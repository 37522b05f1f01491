// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ClipStore.h"

#include "model/ArchiveWriter.h"
#include "model/AtomicFile.h"
#include "model/ClipArchive.h"
#include "model/ClipFunctions.h"
#include "model/ClipJournal.h"
#include "model/FolderLock.h"
#include "model/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <fcntl.h>
#include <future>
#include <limits>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int keptUnreadableArchives = 3;

bool itemExists(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// A file name from the archive is used inside the media folder only: anything
// that could point elsewhere is not a file name of ours.
bool isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

// Maps the archive rather than copying it: a large history then loads
// without a second copy of its bytes. The parser may read a little past the
// end, so the mapping sits in a zeroed region with room to spare.
ClipArchive::DecodeResult readArchive(int fd, qint64 bytes)
{
    ClipArchive::DecodeResult result;
    const size_t size = size_t(bytes);
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    const size_t length = (size + ClipArchive::decodePadding + page - 1) / page * page;
    void *region = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    bool mapped = region != MAP_FAILED;
    if (mapped && size > 0) {
        mapped = ::mmap(region, size, PROT_READ, MAP_PRIVATE | MAP_FIXED | MAP_POPULATE, fd, 0)
            != MAP_FAILED;
    }
    if (mapped) {
        result = ClipArchive::decode(
            QByteArrayView(static_cast<const char *>(region), qsizetype(size)),
            qsizetype(length - size));
    } else {
        QFile file;
        if (file.open(fd, QIODevice::ReadOnly))
            result = ClipArchive::decode(file.readAll());
    }
    if (region != MAP_FAILED)
        ::munmap(region, length);
    return result;
}

struct HistoryFiles
{
    QString root;
    QString archive;
    QString journal;
    QString media;

    // The folder in use under `support`: the legacy one while only it exists.
    explicit HistoryFiles(const QString &support)
    {
        root = support + QStringLiteral("/Quillstack");
        const QString legacy = support + QStringLiteral("/Tallowen");
        if (!itemExists(root) && itemExists(legacy))
            root = legacy;
        archive = root + QStringLiteral("/clips.json");
        journal = root + QStringLiteral("/clips.journal");
        media = root + QStringLiteral("/media");
    }
};

struct HistoryRead
{
    bool archiveExists = false;
    qint64 archiveBytes = 0;
    // Larger than the limit it was read with: not read at all.
    bool tooLarge = false;
    ClipArchive::DecodeResult archive;
    ClipJournal::Replay replay;
};

// The archive, newest first, with the journal that extends it applied. The
// journal is read only when it names this very archive. Neither is read
// through a link, nor when the folder is one; an archive over `maxBytes`
// (when positive) is not read.
HistoryRead readHistory(const HistoryFiles &files, qint64 maxBytes)
{
    HistoryRead read;
    read.archiveExists = itemExists(files.archive);
    if (!read.archiveExists)
        return read;
    const int fd = AtomicFile::openFile(files.archive);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        if (fd >= 0)
            ::close(fd);
        read.archive.error = QStringLiteral("cannot read the archive");
        return read;
    }
    read.archiveBytes = qint64(st.st_size);
    read.tooLarge = maxBytes > 0 && read.archiveBytes > maxBytes;
    if (read.tooLarge) {
        ::close(fd);
        read.archive.error = QStringLiteral("the archive is larger than the history can be");
        return read;
    }
    read.archive = readArchive(fd, read.archiveBytes);
    ::close(fd);
    if (!read.archive.ok)
        return read;
    QList<Clip> &clips = read.archive.clips;
    // Saved newest first, the archive is in order but for clock changes;
    // sorting it all the same would move every clip.
    const auto newerFirst = [](const Clip &a, const Clip &b) { return a.createdAt > b.createdAt; };
    if (!std::is_sorted(clips.cbegin(), clips.cend(), newerFirst))
        std::stable_sort(clips.begin(), clips.end(), newerFirst);
    QFile journal;
    const int journalFd = AtomicFile::openFile(files.journal);
    if (journalFd < 0
        || !journal.open(journalFd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (journalFd >= 0)
            ::close(journalFd);
        return read;
    }
    const QByteArray lines = journal.readAll();
    const auto archiveSha256 = [&] { return fileSha256Hex(files.archive).value_or(QByteArray()); };
    read.replay = ClipJournal::replay(lines, QFileInfo(files.archive).size(), archiveSha256, clips);
    return read;
}

struct PendingRead
{
    QString archive;
    std::future<HistoryRead> read;
};

std::mutex preloadMutex;
// At most one, and never older than the next store made: a store takes it
// whichever folder it is for.
std::optional<PendingRead> pendingPreload;

std::optional<HistoryRead> takePreload(const QString &archive)
{
    std::optional<PendingRead> preload;
    {
        const std::lock_guard lock(preloadMutex);
        preload.swap(pendingPreload);
    }
    if (!preload || preload->archive != archive)
        return std::nullopt; // a read for another folder is waited for and dropped
    return preload->read.get();
}

// The folder of an earlier name takes the current one, once.
void moveLegacyFolder(const QString &support)
{
    const QString root = support + QStringLiteral("/Quillstack");
    const QString legacy = support + QStringLiteral("/Tallowen");
    if (!itemExists(root) && itemExists(legacy))
        QDir().rename(legacy, root);
}

// The archive's form of `clips`, or nothing once it would pass `limit` bytes.
std::optional<QByteArray> archiveBytes(const QList<Clip> &clips, qsizetype limit)
{
    QByteArray bytes;
    if (!ClipArchive::writeArchive(clips, [&](const QByteArray &piece) {
            if (piece.size() > limit - bytes.size())
                return false;
            bytes += piece;
            return true;
        }))
        return std::nullopt;
    return bytes;
}

} // namespace

QString ClipStore::defaultAppSupportDir()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dir.isEmpty())
        dir = QDir::homePath() + QStringLiteral("/.local/share");
    return dir;
}

std::unique_ptr<FolderLock> ClipStore::lockFolder(const QString &appSupportDir)
{
    const QString support = appSupportDir.isEmpty() ? defaultAppSupportDir() : appSupportDir;
    moveLegacyFolder(support);
    return std::make_unique<FolderLock>(HistoryFiles(support).root, FolderLock::Mode::exclusive);
}

ClipStore::Preload::Preload(const QString &appSupportDir)
{
    const QString support = appSupportDir.isEmpty() ? defaultAppSupportDir() : appSupportDir;
    // A legacy folder is moved first, by the store itself.
    if (!itemExists(support + QStringLiteral("/Quillstack")))
        return;
    const HistoryFiles files(support);
    // The limit of the settings as they are when nobody changed them: the
    // store reads again for itself when the user's own is higher.
    const qint64 limit
        = archiveSizeLimit(Settings::fallback(Settings::Key::maxTotalBytes).toLongLong());
    std::future<HistoryRead> read = std::async(std::launch::async, readHistory, files, limit);
    const std::lock_guard lock(preloadMutex);
    pendingPreload = PendingRead { files.archive, std::move(read) };
}

ClipStore::Preload::~Preload()
{
    takePreload(QString());
}

ClipStore::ClipStore(Settings &settings, const QString &appSupportDir, Clock clock, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_clock(std::move(clock))
{
    const QString support = appSupportDir.isEmpty() ? defaultAppSupportDir() : appSupportDir;
    moveLegacyFolder(support);
    const HistoryFiles files(support);
    m_rootPath = files.root;
    m_archivePath = files.archive;
    m_journalPath = files.journal;
    m_mediaPath = files.media;
    // A link or a file where a folder belongs is left as it is (foreignItems).
    if (AtomicFile::makePrivateDir(m_rootPath))
        AtomicFile::makePrivateDir(m_mediaPath);
    m_writer = std::make_unique<ArchiveWriter>(
        m_archivePath, m_journalPath, m_mediaPath, [this](const ArchiveWriter::Outcome &outcome) {
            QMetaObject::invokeMethod(
                this,
                [this, outcome] {
                    onSaveFinished(outcome.ok, outcome.error, outcome.compactionDue);
                },
                Qt::QueuedConnection);
        });

    load();
    if (!m_compactionDue)
        m_writer->begin();
    applyLimits();
}

ClipStore::~ClipStore()
{
    // At quit the archive takes in the journal, so that it alone is the
    // whole history for the next start and for older versions.
    if (m_linesSinceCompaction > 0 && !m_preserveUnreadableArchive && prepareToWrite())
        m_writer->compact(m_clips);
}

QDateTime ClipStore::now() const
{
    return m_clock ? m_clock() : QDateTime::currentDateTimeUtc();
}

void ClipStore::load()
{
    // Until an archive has been written there is nothing a line could extend.
    m_compactionDue = true;
    std::optional<HistoryRead> preloaded = takePreload(m_archivePath);
    const QList<ForeignItem> foreign = foreignItems();
    tellForeign(foreign);
    bool blocked = false;
    for (const ForeignItem &item : foreign) {
        // Nothing is read from a folder or file that is not ours.
        if (item.path != m_mediaPath && item.path != m_journalPath)
            return;
        blocked = blocked || item.path == m_journalPath;
    }
    if (!itemExists(m_archivePath))
        return;
    AtomicFile::makePrivateFile(m_archivePath);
    AtomicFile::makePrivateFile(m_journalPath);
    if (const int media = AtomicFile::openFolder(m_mediaPath, 2); media >= 0) {
        AtomicFile::forEachFile(media, [media](const QString &name, const struct stat &) {
            // Fails, rather than follows, should a link have taken its place.
            [[maybe_unused]] const int changed
                = ::fchmodat(media, QFile::encodeName(name).constData(), 0600, AT_SYMLINK_NOFOLLOW);
            return false;
        });
        ::close(media);
    }

    const qint64 limit = archiveSizeLimit(m_settings.maxTotalBytes());
    if (preloaded && preloaded->tooLarge && (limit <= 0 || preloaded->archiveBytes <= limit))
        preloaded.reset(); // over the preload's limit, not over the user's
    HistoryRead read = preloaded ? std::move(*preloaded)
                                 : readHistory(HistoryFiles(QFileInfo(m_rootPath).path()), limit);
    if (read.tooLarge || (limit > 0 && read.archiveBytes > limit)) {
        // Far more than a history within the limits takes: it is set aside
        // unread, before it costs its size in memory, and told at once.
        const QString aside = setAside(m_archivePath, QStringLiteral("clips.json.corrupt-"));
        if (aside.isEmpty()) {
            m_preserveUnreadableArchive = true; // tried again before the first save
            return;
        }
        if (itemExists(m_journalPath))
            setAside(m_journalPath, QStringLiteral("clips.journal.corrupt-"));
        QMetaObject::invokeMethod(
            this, [this, aside] { emit archiveSetAside(aside); }, Qt::QueuedConnection);
        return;
    }
    if (!read.archive.ok) {
        m_preserveUnreadableArchive = true;
        return;
    }
    m_clips = std::move(read.archive.clips);
    // Whatever is saved once the journal's place is free is a compaction.
    if (blocked)
        return;
    m_compactionDue = false;
    const ClipJournal::Replay &replay = read.replay;
    if (replay.outcome == ClipJournal::Replay::Outcome::stale) {
        // It extends an archive that is no longer there; the next change
        // starts a new journal in its place.
        return;
    }
    if (replay.outcome == ClipJournal::Replay::Outcome::broken) {
        qWarning().noquote() << QStringLiteral(
            "The history journal stopped at a damaged line (%1); the changes "
            "before it were kept.")
                                    .arg(replay.error);
        const QString aside = setAside(m_journalPath, QStringLiteral("clips.journal.corrupt-"));
        // Told once the program is listening, after construction.
        if (!aside.isEmpty()) {
            QMetaObject::invokeMethod(
                this, [this, aside] { emit journalSetAside(aside); }, Qt::QueuedConnection);
        }
    }
    // The archive takes in what was replayed, so that the next start reads
    // it alone; a torn last line is left behind with the old journal.
    if (replay.applied > 0 || replay.tornTail
        || replay.outcome == ClipJournal::Replay::Outcome::broken)
        compact();
}

std::optional<Clip> ClipStore::clip(const QUuid &id) const
{
    const qsizetype index = indexOf(id);
    if (index < 0)
        return std::nullopt;
    return m_clips[index];
}

qsizetype ClipStore::indexOf(const QUuid &id) const
{
    for (qsizetype i = 0; i < m_clips.size(); ++i) {
        if (m_clips[i].id == id)
            return i;
    }
    return -1;
}

QString ClipStore::imagePath(const Clip &clip) const
{
    if (!clip.imageFilename || !isPlainFileName(*clip.imageFilename))
        return QString();
    return m_mediaPath + QLatin1Char('/') + *clip.imageFilename;
}

std::optional<QByteArray> ClipStore::imageData(const Clip &clip) const
{
    const QString path = imagePath(clip);
    const int fd = path.isEmpty() ? -1 : AtomicFile::openFile(path, 2);
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return std::nullopt;
    }
    return file.readAll();
}

void ClipStore::removeAt(qsizetype index, QStringList &images)
{
    const QString path = imagePath(m_clips[index]);
    if (!path.isEmpty())
        images.append(path);
    m_clips.removeAt(index);
}

std::optional<QString> ClipStore::writeImageFile(
    const QString &mediaDir, const QUuid &id, const QByteArray &png)
{
    const QString name = ClipArchive::formatUuid(id) + QStringLiteral(".png");
    QString error;
    // Never into a media folder, or a data folder, that is a link.
    if (!AtomicFile::write(mediaDir + QLatin1Char('/') + name, png, &error, 2)) {
        qWarning().noquote() << QStringLiteral("Cannot store a copied image: %1").arg(error);
        return std::nullopt;
    }
    return name;
}

void ClipStore::add(const ClipContent &content)
{
    // An image written ahead for a clip that is not taken goes again.
    const auto discardImage = [&] {
        if (isPlainFileName(content.imageFilename))
            AtomicFile::removeFile(m_mediaPath + QLatin1Char('/') + content.imageFilename, 2);
    };
    if (content.byteSize > m_settings.maxClipBytes()) {
        discardImage();
        return;
    }

    for (qsizetype i = 0; i < m_clips.size(); ++i) {
        if (m_clips[i].contentHash != content.contentHash)
            continue;
        discardImage();
        Clip existing = m_clips.takeAt(i);
        existing.createdAt = now();
        if (!existing.rtf && content.rtf && !content.rtf->isEmpty()) {
            existing.rtf = content.rtf;
            existing.rtfFromHtml = content.rtfFromHtml;
        }
        if (!existing.html && content.html && !content.html->isEmpty())
            existing.html = content.html;
        existing.byteSize = std::max(existing.byteSize, content.byteSize);
        m_clips.prepend(existing);
        record([existing] { return ClipJournal::frontLine(existing); });
        emit changeRecorded({ StoreChange::Kind::copiedAgain, { existing } });
        emit storeDidChange();
        return;
    }

    Clip clip;
    clip.id = QUuid::createUuid();
    if (content.kind == ClipKind::image && isPlainFileName(content.imageFilename)) {
        clip.id = content.id;
        clip.imageFilename = content.imageFilename;
    } else if (content.kind == ClipKind::image) {
        const auto name = writeImageFile(m_mediaPath, clip.id, content.pngData);
        if (!name)
            return;
        clip.imageFilename = *name;
    }
    clip.createdAt = now();
    clip.kind = content.kind;
    clip.preview = content.preview;
    clip.text = content.text;
    clip.rtf = content.rtf;
    clip.html = content.html;
    clip.rtfFromHtml = content.rtfFromHtml;
    clip.byteSize = content.byteSize;
    clip.contentHash = content.contentHash;
    clip.isKept = false;
    m_clips.prepend(clip);
    // The clips this one pushes out are saved with it, in the same write, so
    // that no crash leaves the history over its limits.
    QStringList images;
    StoreChange limited;
    const QList<QUuid> dropped = dropOverLimits(images, &limited);
    record(
        [clip, dropped] {
            QByteArray lines = ClipJournal::addLine(clip);
            if (!dropped.isEmpty())
                lines += ClipJournal::limitsLine(dropped);
            return lines;
        },
        images);
    emit changeRecorded({ StoreChange::Kind::added, { clip } });
    if (!dropped.isEmpty()) {
        emit changeRecorded(limited);
        emit storeDidChange();
    }
    emit storeDidChange();
}

void ClipStore::deleteClip(const QUuid &id)
{
    const qsizetype index = indexOf(id);
    if (index < 0)
        return;
    QStringList images;
    const Clip removed = m_clips[index];
    removeAt(index, images);
    record([id] { return ClipJournal::deleteLine({ id }); }, images);
    emit changeRecorded({ StoreChange::Kind::deleted, { removed } });
    emit storeDidChange();
}

void ClipStore::setKept(const QUuid &id, bool kept)
{
    const qsizetype index = indexOf(id);
    if (index < 0)
        return;
    m_clips[index].isKept = kept;
    record([id, kept] { return ClipJournal::keepLine(id, kept); });
    emit changeRecorded({ StoreChange::Kind::kept, { m_clips[index] } });
    emit storeDidChange();
}

void ClipStore::updateText(const QUuid &id, const QString &text,
    const std::optional<QByteArray> &rtf, const std::optional<QByteArray> &html)
{
    const qsizetype index = indexOf(id);
    if (index < 0)
        return;
    Clip &clip = m_clips[index];
    const QByteArray utf8 = text.toUtf8();
    clip.text = text;
    clip.preview = makePreview(text);
    clip.rtf = rtf;
    clip.html = html;
    // The editor makes both from one document: neither is the source's.
    clip.rtfFromHtml = false;
    clip.byteSize = utf8.size() + (rtf ? rtf->size() : 0) + (html ? html->size() : 0);
    clip.contentHash = sha256Hex(utf8);
    record([clip] { return ClipJournal::editLine(clip); });
    emit changeRecorded({ StoreChange::Kind::edited, { clip } });
    emit storeDidChange();
}

void ClipStore::clearHistory()
{
    const bool anyUnkept
        = std::any_of(m_clips.cbegin(), m_clips.cend(), [](const Clip &c) { return !c.isKept; });
    if (!anyUnkept)
        return;
    QStringList images;
    StoreChange cleared { StoreChange::Kind::cleared, {} };
    for (const Clip &clip : std::as_const(m_clips)) {
        const QString path = clip.isKept ? QString() : imagePath(clip);
        if (!path.isEmpty())
            images.append(path);
        if (!clip.isKept)
            cleared.clips.append(clip);
    }
    m_clips.removeIf([](const Clip &c) { return !c.isKept; });
    record(ClipJournal::clearLine, images);
    emit changeRecorded(cleared);
    emit storeDidChange();
}

void ClipStore::merge(const QList<Clip> &clips, const QList<QUuid> &removed)
{
    QStringList images;
    QList<QUuid> gone;
    for (const QUuid &id : removed) {
        if (const qsizetype index = indexOf(id); index >= 0) {
            removeAt(index, images);
            gone.append(id);
        }
    }
    QHash<QUuid, qsizetype> index;
    for (qsizetype i = 0; i < m_clips.size(); ++i)
        index.insert(m_clips[i].id, i);
    for (const Clip &clip : clips) {
        // An image the clip no longer names goes with the change.
        const qsizetype at = index.value(clip.id, -1);
        if (at >= 0 && m_clips[at].imageFilename != clip.imageFilename) {
            const QString path = imagePath(m_clips[at]);
            if (!path.isEmpty())
                images.append(path);
        }
    }
    placeByDate(m_clips, clips);
    if (clips.isEmpty() && gone.isEmpty())
        return;
    // A batch of a quarter of the history or more (another machine's
    // history, at the first start) would pass the journal's share of the
    // archive at once: the whole history is written instead, once.
    if (clips.size() * 4 >= m_clips.size()) {
        if (prepareToWrite())
            compact(images);
    } else {
        record(
            [clips, gone] {
                QByteArray lines = gone.isEmpty() ? QByteArray() : ClipJournal::deleteLine(gone);
                for (const Clip &clip : clips)
                    lines += ClipJournal::mergeLine(clip);
                return lines;
            },
            images);
    }
    emit storeDidChange();
    applyLimits();
}

QList<Clip> ClipStore::search(const QString &query) const
{
    if (findsAll(query))
        return m_clips;
    const QString needle = query.trimmed();
    QList<Clip> found;
    // One allocation for the worst case rather than a chain of regrowths.
    found.reserve(m_clips.size());
    for (const Clip &clip : m_clips) {
        if (shownPreview(clip).contains(needle, Qt::CaseInsensitive)
            || (clip.text && clip.text->contains(needle, Qt::CaseInsensitive)))
            found.append(clip);
    }
    return found;
}

void ClipStore::applyLimits()
{
    QStringList images;
    StoreChange limited;
    const QList<QUuid> removed = dropOverLimits(images, &limited);
    if (!removed.isEmpty()) {
        record([removed] { return ClipJournal::limitsLine(removed); }, images);
        emit changeRecorded(limited);
        emit storeDidChange();
    }
}

qsizetype ClipStore::clipsOverCount(qint64 count) const
{
    const qsizetype unkept
        = std::count_if(m_clips.cbegin(), m_clips.cend(), [](const Clip &c) { return !c.isKept; });
    return qsizetype(std::clamp<qint64>(m_clips.size() - count, 0, unkept));
}

QList<QUuid> ClipStore::dropOverLimits(QStringList &images, StoreChange *change)
{
    QList<QUuid> removed;
    *change = { StoreChange::Kind::limited, {} };
    const auto removeAt = [&](qsizetype index) {
        removed.append(m_clips[index].id);
        change->clips.append(m_clips[index]);
        this->removeAt(index, images);
    };

    const qint64 maxAge = m_settings.maxAgeHours();
    // Ages beyond a million years cannot be expressed as a date: no cut-off.
    if (maxAge >= 1 && maxAge <= qint64(1) << 33) {
        const QDateTime cutoff = now().addSecs(-maxAge * 3600);
        if (cutoff.isValid()) {
            for (qsizetype i = m_clips.size() - 1; i >= 0; --i) {
                if (!m_clips[i].isKept && m_clips[i].createdAt < cutoff)
                    removeAt(i);
            }
        }
    }

    auto lastUnkept = [this] {
        for (qsizetype i = m_clips.size() - 1; i >= 0; --i) {
            if (!m_clips[i].isKept)
                return i;
        }
        return qsizetype(-1);
    };

    while (m_clips.size() > m_settings.maxClipCount()) {
        const qsizetype index = lastUnkept();
        if (index < 0)
            break;
        removeAt(index);
    }

    const qint64 maxTotal = m_settings.maxTotalBytes();
    if (maxTotal >= 1) {
        qint64 total = 0;
        for (const Clip &clip : std::as_const(m_clips))
            total += clip.byteSize;
        while (total > maxTotal) {
            const qsizetype index = lastUnkept();
            if (index < 0)
                break;
            total -= m_clips[index].byteSize;
            removeAt(index);
        }
    }

    return removed;
}

void ClipStore::onSaveFinished(bool ok, const QString &error, bool compactionDue)
{
    if (compactionDue && ok && m_linesSinceCompaction > 0)
        compact(); // the journal outgrew its share of the archive
    else if (compactionDue)
        m_compactionDue = true; // the next change writes the whole history
    if (ok == !m_saveFailing)
        return;
    m_saveFailing = !ok;
    if (ok)
        emit saveRecovered();
    else
        emit saveFailed(error);
}

QString ClipStore::setAside(const QString &path, const QString &prefix)
{
    const QString stamp = now().toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    const QString base = m_rootPath + QLatin1Char('/') + prefix + stamp;
    QString aside = base;
    for (int n = 2; itemExists(aside); ++n)
        aside = base + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(path, aside))
        return QString();
    // Keep the newest few.
    QDir root(m_rootPath);
    const QStringList asides
        = root.entryList({ prefix + QLatin1Char('*') }, QDir::Files | QDir::NoSymLinks, QDir::Name);
    for (qsizetype i = 0; i + keptUnreadableArchives < asides.size(); ++i)
        root.remove(asides[i]);
    return aside;
}

QList<ClipStore::ForeignItem> ClipStore::foreignItems() const
{
    QList<ForeignItem> found;
    const auto check = [&](const QString &path, bool folder) {
        switch (AtomicFile::kindOf(path)) {
        case AtomicFile::Kind::missing:
            return;
        case AtomicFile::Kind::file:
            if (folder)
                found.append({ path, Foreign::file });
            return;
        case AtomicFile::Kind::folder:
            if (!folder)
                found.append({ path, Foreign::folder });
            return;
        case AtomicFile::Kind::link:
            found.append({ path, Foreign::link });
            return;
        case AtomicFile::Kind::other:
            found.append({ path, Foreign::special });
            return;
        }
    };
    check(m_rootPath, true);
    if (!found.isEmpty())
        return found; // nothing under it is looked at
    check(m_archivePath, false);
    check(m_journalPath, false);
    check(m_mediaPath, true);
    return found;
}

void ClipStore::tellForeign(const QList<ForeignItem> &items)
{
    QSet<QString> now;
    for (const ForeignItem &item : items) {
        now.insert(item.path);
        if (m_toldForeign.contains(item.path))
            continue;
        // Queued, so that a store being made is heard once it is wired up.
        QMetaObject::invokeMethod(
            this, [this, item] { emit foreignItemFound(item.path, item.kind); },
            Qt::QueuedConnection);
    }
    // Told again should it come back after it went.
    m_toldForeign = now;
}

bool ClipStore::prepareToWrite()
{
    // What is not ours is left as it is, and the history stays in memory
    // until it has gone; a missing media folder only stops images.
    const QList<ForeignItem> foreign = foreignItems();
    tellForeign(foreign);
    const bool blocked = std::any_of(foreign.cbegin(), foreign.cend(),
        [this](const ForeignItem &item) { return item.path != m_mediaPath; });
    if (blocked) {
        m_compactionDue = true; // what is not saved now is written whole later
        return false;
    }
    // The history stays in memory when it cannot be written; every later
    // change tries again.
    if (!AtomicFile::makePrivateDir(m_rootPath)) {
        onSaveFinished(false, QStringLiteral("cannot create %1").arg(m_rootPath), true);
        return false;
    }
    if (!m_preserveUnreadableArchive)
        return true;
    // Set the archive that did not load aside before it is replaced, so a
    // history that we failed to read is never lost; its journal goes with it.
    if (itemExists(m_archivePath)) {
        const QString aside = setAside(m_archivePath, QStringLiteral("clips.json.corrupt-"));
        if (aside.isEmpty()) {
            // Try again at the next save rather than overwrite it.
            onSaveFinished(false, QStringLiteral("cannot rename %1").arg(m_archivePath), true);
            return false;
        }
        emit archiveSetAside(aside);
    }
    if (itemExists(m_journalPath))
        setAside(m_journalPath, QStringLiteral("clips.journal.corrupt-"));
    m_preserveUnreadableArchive = false;
    return true;
}

void ClipStore::record(std::function<QByteArray()> makeLine, const QStringList &images)
{
    if (!prepareToWrite())
        return;
    if (m_compactionDue) {
        compact(images);
        return;
    }
    m_writer->append(std::move(makeLine), images);
    ++m_linesSinceCompaction;
}

void ClipStore::compact(const QStringList &images)
{
    m_compactionDue = false;
    m_linesSinceCompaction = 0;
    m_writer->compact(m_clips, images);
}

void ClipStore::save()
{
    if (prepareToWrite())
        compact();
}

std::optional<QByteArray> ClipStore::exportArchive(qsizetype limit) const
{
    return archiveBytes(m_clips, limit);
}

void ClipStore::exportTo(int fd, std::function<void(const QString &error)> done)
{
    // The clips are copied with their contents shared: the history may
    // change meanwhile without costing a second copy of it.
    m_writer->exportTo(m_clips, fd, [this, done = std::move(done)](const QString &error) {
        QMetaObject::invokeMethod(
            this, [done, error] { done(error); }, Qt::QueuedConnection);
    });
}

qint64 ClipStore::archiveSizeLimit(qint64 maxTotalBytes)
{
    constexpr qint64 margin = qint64(64) << 20;
    if (maxTotalBytes < 1)
        return 0; // no limit on the history, none on its file
    if (maxTotalBytes > (std::numeric_limits<qint64>::max() - margin) / 2)
        return std::numeric_limits<qint64>::max();
    return 2 * maxTotalBytes + margin;
}

std::optional<QByteArray> ClipStore::exportFromFiles(const QString &appSupportDir, QString *error)
{
    const HistoryFiles files(appSupportDir.isEmpty() ? defaultAppSupportDir() : appSupportDir);
    // Read while no instance writes: one that holds the folder is asked
    // over the session bus instead, so it holding it here means it cannot be.
    const FolderLock lock(files.root, FolderLock::Mode::shared);
    if (lock.state() == FolderLock::State::held) {
        if (error)
            *error = QStringLiteral("%1 is in use by a Quillstack that cannot be reached")
                         .arg(files.root);
        return std::nullopt;
    }
    const HistoryRead read = readHistory(files, 0);
    if (read.archiveExists && !read.archive.ok) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(files.archive, read.archive.error);
        return std::nullopt;
    }
    return archiveBytes(read.archive.clips, std::numeric_limits<qsizetype>::max());
}

void ClipStore::flush()
{
    m_writer->flush();
}
