#include "ClipStore.h"

#include "ArchiveWriter.h"
#include "AtomicFile.h"
#include "ClipArchive.h"
#include "ClipFunctions.h"
#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <fcntl.h>
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
ClipArchive::DecodeResult readArchive(const QString &path)
{
    ClipArchive::DecodeResult result;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        result.error = QStringLiteral("cannot read the archive");
        return result;
    }
    const size_t size = size_t(st.st_size);
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
    ::close(fd);
    return result;
}

} // namespace

QString ClipStore::defaultAppSupportDir()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dir.isEmpty())
        dir = QDir::homePath() + QStringLiteral("/.local/share");
    return dir;
}

ClipStore::ClipStore(Settings &settings, const QString &appSupportDir, Clock clock, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_clock(std::move(clock))
{
    const QString support = appSupportDir.isEmpty() ? defaultAppSupportDir() : appSupportDir;
    const QString root = support + QStringLiteral("/Quillstack");
    const QString legacy = support + QStringLiteral("/Tallowen");
    if (!itemExists(root) && itemExists(legacy))
        QDir().rename(legacy, root);

    m_rootURL = root;
    m_archiveURL = root + QStringLiteral("/clips.json");
    m_mediaURL = root + QStringLiteral("/media");
    AtomicFile::makePrivateDir(m_rootURL);
    AtomicFile::makePrivateDir(m_mediaURL);
    m_writer = std::make_unique<ArchiveWriter>(m_archiveURL, [this](bool ok, QString error) {
        QMetaObject::invokeMethod(
            this, [this, ok, error] { onSaveFinished(ok, error); }, Qt::QueuedConnection);
    });

    load();
    applyLimits();
}

ClipStore::~ClipStore() = default; // the writer finishes what is pending

QDateTime ClipStore::now() const
{
    return m_clock ? m_clock() : QDateTime::currentDateTimeUtc();
}

void ClipStore::load()
{
    if (!itemExists(m_archiveURL))
        return;
    AtomicFile::makePrivateFile(m_archiveURL);
    const QDir media(m_mediaURL);
    for (const QString &name : media.entryList(QDir::Files | QDir::Hidden))
        AtomicFile::makePrivateFile(media.filePath(name));

    ClipArchive::DecodeResult result = readArchive(m_archiveURL);
    if (!result.ok) {
        m_preserveUnreadableArchive = true;
        return;
    }
    m_clips = std::move(result.clips);
    std::stable_sort(m_clips.begin(), m_clips.end(),
        [](const Clip &a, const Clip &b) { return a.createdAt > b.createdAt; });
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
    return m_mediaURL + QLatin1Char('/') + *clip.imageFilename;
}

std::optional<QByteArray> ClipStore::imageData(const Clip &clip) const
{
    QFile file(imagePath(clip));
    if (!clip.imageFilename || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

void ClipStore::removeAt(qsizetype index)
{
    deleteMedia(m_clips[index]);
    m_clips.removeAt(index);
}

std::optional<QString> ClipStore::writeImageFile(
    const QString &mediaDir, const QUuid &id, const QByteArray &png)
{
    const QString name = ClipArchive::formatUuid(id) + QStringLiteral(".png");
    QString error;
    if (!AtomicFile::write(mediaDir + QLatin1Char('/') + name, png, &error)) {
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
            QFile::remove(m_mediaURL + QLatin1Char('/') + content.imageFilename);
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
        m_clips.prepend(std::move(existing));
        save();
        emit storeDidChange();
        return;
    }

    Clip clip;
    clip.id = QUuid::createUuid();
    if (content.kind == ClipKind::image && isPlainFileName(content.imageFilename)) {
        clip.id = content.id;
        clip.imageFilename = content.imageFilename;
    } else if (content.kind == ClipKind::image) {
        const auto name = writeImageFile(m_mediaURL, clip.id, content.pngData);
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
    m_clips.prepend(std::move(clip));
    applyLimits();
    save();
    emit storeDidChange();
}

void ClipStore::deleteClip(const QUuid &id)
{
    const qsizetype index = indexOf(id);
    if (index < 0)
        return;
    removeAt(index);
    save();
    emit storeDidChange();
}

void ClipStore::setKept(const QUuid &id, bool kept)
{
    const qsizetype index = indexOf(id);
    if (index < 0)
        return;
    m_clips[index].isKept = kept;
    save();
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
    save();
    emit storeDidChange();
}

void ClipStore::clearHistory()
{
    const bool anyUnkept
        = std::any_of(m_clips.cbegin(), m_clips.cend(), [](const Clip &c) { return !c.isKept; });
    if (!anyUnkept)
        return;
    for (const Clip &clip : std::as_const(m_clips)) {
        if (!clip.isKept)
            deleteMedia(clip);
    }
    m_clips.removeIf([](const Clip &c) { return !c.isKept; });
    save();
    emit storeDidChange();
}

QList<Clip> ClipStore::search(const QString &query) const
{
    const QString needle = query.trimmed();
    if (needle.isEmpty())
        return m_clips;
    QList<Clip> found;
    // One allocation for the worst case rather than a chain of regrowths.
    found.reserve(m_clips.size());
    for (const Clip &clip : m_clips) {
        if (clip.preview.contains(needle, Qt::CaseInsensitive)
            || (clip.text && clip.text->contains(needle, Qt::CaseInsensitive)))
            found.append(clip);
    }
    return found;
}

void ClipStore::applyLimits()
{
    const qsizetype before = m_clips.size();

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

    if (m_clips.size() != before) {
        save();
        emit storeDidChange();
    }
}

void ClipStore::onSaveFinished(bool ok, const QString &error)
{
    if (ok == !m_saveFailing)
        return;
    m_saveFailing = !ok;
    if (ok)
        emit saveRecovered();
    else
        emit saveFailed(error);
}

void ClipStore::save()
{
    // The history stays in memory when it cannot be written; every later
    // change tries again.
    if (!AtomicFile::makePrivateDir(m_rootURL)) {
        onSaveFinished(false, QStringLiteral("cannot create %1").arg(m_rootURL));
        return;
    }

    if (m_preserveUnreadableArchive) {
        // Set the archive that did not load aside before it is replaced, so a
        // history that we failed to read is never lost. Keep the newest few.
        if (itemExists(m_archiveURL)) {
            const QString stamp = now().toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
            QString aside = m_archiveURL + QStringLiteral(".corrupt-") + stamp;
            for (int n = 2; itemExists(aside); ++n)
                aside = m_archiveURL + QStringLiteral(".corrupt-") + stamp + QLatin1Char('-')
                    + QString::number(n);
            if (!QFile::rename(m_archiveURL, aside)) {
                // Try again at the next save rather than overwrite it.
                onSaveFinished(false, QStringLiteral("cannot rename %1").arg(m_archiveURL));
                return;
            }
            emit archiveSetAside(aside);
        }
        m_preserveUnreadableArchive = false;
        QDir root(m_rootURL);
        const QStringList asides
            = root.entryList({ QStringLiteral("clips.json.corrupt-*") }, QDir::Files, QDir::Name);
        for (qsizetype i = 0; i + keptUnreadableArchives < asides.size(); ++i)
            root.remove(asides[i]);
    }

    m_writer->submit(m_clips);
}

void ClipStore::flush()
{
    m_writer->flush();
}

void ClipStore::deleteMedia(const Clip &clip)
{
    const QString path = imagePath(clip);
    if (!path.isEmpty())
        QFile::remove(path);
}
