// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Clip.h"
#include "model/StoreChange.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <functional>
#include <limits>
#include <memory>
#include <optional>

class ArchiveWriter;
class FolderLock;
class Settings;

using Clock = std::function<QDateTime()>;

// New content handed to the store by capture.
struct ClipContent
{
    ClipKind kind = ClipKind::text;
    QString preview;
    std::optional<QString> text;
    std::optional<QByteArray> rtf;
    std::optional<QByteArray> html;
    // See Clip::rtfFromHtml.
    bool rtfFromHtml = false;
    qint64 byteSize = 0;
    QString contentHash;
    // Image clips: either the PNG bytes, which the store writes, or the name
    // of the file already written into the media folder (writeImageFile)
    // with the id it was named after.
    QByteArray pngData;
    QString imageFilename;
    QUuid id;
};

// Owns the history (newest first), bounds it, de-duplicates it and keeps it
// on disk: one JSON archive, a journal of the changes since the archive was
// written, and a folder of PNG files. Every change is saved at once, as one
// journal line, and announced with storeDidChange(). A background thread
// writes the lines and, now and then, the whole archive, so a change costs
// what changed whatever the size of the history.
class ClipStore : public QObject
{
    Q_OBJECT
public:
    // What stands where one of the store's folders or files belongs.
    enum class Foreign {
        link, // to anywhere: never followed
        folder, // where a file belongs
        file, // where a folder belongs
        special, // a device, pipe or socket
    };
    Q_ENUM(Foreign)

    // `appSupportDir` is the folder that holds "Quillstack" (normally
    // ~/.local/share); empty means the platform's own.
    ClipStore(Settings &settings, const QString &appSupportDir = QString(), Clock clock = {},
        QObject *parent = nullptr);
    ~ClipStore() override;

    const QList<Clip> &clips() const { return m_clips; }
    std::optional<Clip> clip(const QUuid &id) const;

    void add(const ClipContent &content);
    void deleteClip(const QUuid &id);
    void setKept(const QUuid &id, bool kept);
    void updateText(const QUuid &id, const QString &text, const std::optional<QByteArray> &rtf,
        const std::optional<QByteArray> &html);
    void clearHistory();
    // Takes what other machines share: each clip is put in its place by
    // date (replacing the one with its id), and the removed ones go. Told by
    // storeDidChange() alone, not by changeRecorded(); the limits apply.
    void merge(const QList<Clip> &clips, const QList<QUuid> &removed);
    QList<Clip> search(const QString &query) const;
    // A blank query finds every clip.
    static bool findsAll(const QString &query) { return QStringView(query).trimmed().isEmpty(); }
    void applyLimits();
    // How many clips a limit of `count` clips would remove: the oldest of
    // those not kept.
    qsizetype clipsOverCount(qint64 count) const;

    // Writes the whole history into the archive and starts an empty journal.
    void save();
    // Waits until every save so far is on disk.
    void flush();

    // The whole history in the archive's form, as the archive would hold it
    // after a compaction; nothing when that would be more than `limit` bytes.
    std::optional<QByteArray> exportArchive(
        qsizetype limit = std::numeric_limits<qsizetype>::max()) const;
    // The same written to `fd`, which this takes and closes, by the thread
    // that writes the files: one clip is encoded at a time, whatever the
    // size of the history. `done` is called on this object's thread with
    // an empty error once every byte is written.
    void exportTo(int fd, std::function<void(const QString &error)> done);
    // The same from the files alone (archive and journal), for when no
    // instance runs; changes nothing on disk. Nothing, with the reason, when
    // the archive cannot be read.
    static std::optional<QByteArray> exportFromFiles(
        const QString &appSupportDir, QString *error = nullptr);

    QString rootPath() const { return m_rootPath; }
    QString archivePath() const { return m_archivePath; }
    QString journalPath() const { return m_journalPath; }
    QString mediaPath() const { return m_mediaPath; }
    // Full path of a clip's image file, or empty when it has none.
    QString imagePath(const Clip &clip) const;
    // The bytes of a clip's image file; nothing when it has none or it cannot be read.
    std::optional<QByteArray> imageData(const Clip &clip) const;

    static QString defaultAppSupportDir();
    // Takes the history folder under `appSupportDir` for this process alone,
    // before anything of it is read; held while the result lives.
    static std::unique_ptr<FolderLock> lockFolder(const QString &appSupportDir = QString());
    // The largest archive read at start for a history limited to
    // `maxTotalBytes` (0 for none). Its JSON form is larger than the clips'
    // sizes: Base64 makes RTF and HTML a third larger, escapes lengthen
    // text, and each clip adds its id, dates and hash; twice the limit and
    // 64 MiB more holds all that, where a larger file was not written by
    // this program under these limits.
    static qint64 archiveSizeLimit(qint64 maxTotalBytes);
    // Reads the history under `appSupportDir` on another thread while it
    // lives, so that a start reads it while the display is being set up. The
    // next store made takes what was read when it is for the same folder,
    // and reads for itself otherwise.
    class Preload
    {
    public:
        explicit Preload(const QString &appSupportDir = QString());
        // Waits for a read no store took, so no thread outlives it.
        ~Preload();
        Q_DISABLE_COPY_MOVE(Preload)
    };
    // Writes a clip's image into the media folder and returns its file
    // name; for the capture worker, so it touches nothing else.
    static std::optional<QString> writeImageFile(
        const QString &mediaDir, const QUuid &id, const QByteArray &png);

signals:
    void storeDidChange();
    // Each change saved, but for those merge() makes.
    void changeRecorded(const StoreChange &change);
    // The archive could not be written; the history is still whole in
    // memory and every change tries again. Emitted once until a save works,
    // which saveRecovered() tells.
    void saveFailed(const QString &error);
    void saveRecovered();
    // The archive found at start did not load; before it was replaced, it
    // was kept under this name.
    void archiveSetAside(const QString &path);
    // A journal line could not be applied at start: the changes before it
    // were kept and the journal was kept under this name.
    void journalSetAside(const QString &path);
    // Something not of this program's making stands at `path`, where its
    // folder, the archive, the journal or the media folder belongs. It is
    // left as it is: never read, followed, changed or removed. Until it is
    // gone, nothing of the history is saved (only images, for the media
    // folder). Told once while it stays.
    void foreignItemFound(const QString &path, ClipStore::Foreign kind);

private:
    struct ForeignItem
    {
        QString path;
        Foreign kind;
    };
    QList<ForeignItem> foreignItems() const;
    void tellForeign(const QList<ForeignItem> &items);
    void load();
    qsizetype indexOf(const QUuid &id) const;
    // Removes the clip; its image file is added to `images`, to go once the
    // change is saved.
    void removeAt(qsizetype index, QStringList &images);
    QDateTime now() const;
    // Removes what the age, count and size limits drop; their ids, and the
    // change that tells it.
    QList<QUuid> dropOverLimits(QStringList &images, StoreChange *change);
    // Saves one change: a journal line, or the whole history when the
    // journal cannot take it. The line is made by the writer, so that
    // encoding a large clip costs this thread nothing.
    void record(std::function<QByteArray()> makeLine, const QStringList &images = {});
    bool prepareToWrite();
    void compact(const QStringList &images = {});
    // Renames a file that did not load out of the way, keeping the newest
    // few; the new name, or empty when it could not be moved.
    QString setAside(const QString &path, const QString &prefix);
    void onSaveFinished(bool ok, const QString &error, bool compactionDue);

    Settings &m_settings;
    Clock m_clock;
    QList<Clip> m_clips;
    QString m_rootPath;
    QString m_archivePath;
    QString m_journalPath;
    QString m_mediaPath;
    // Set when the archive on disk did not load; it is set aside before the
    // first save would replace it.
    bool m_preserveUnreadableArchive = false;
    bool m_saveFailing = false;
    // The next save writes the whole history: there is no archive to
    // extend yet, or the journal cannot take another line.
    bool m_compactionDue = false;
    // Journal lines saved since the last compaction was asked for.
    qsizetype m_linesSinceCompaction = 0;
    QSet<QString> m_toldForeign;
    std::unique_ptr<ArchiveWriter> m_writer;
};
