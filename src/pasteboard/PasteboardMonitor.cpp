// SPDX-License-Identifier: GPL-3.0-or-later
#include "pasteboard/PasteboardMonitor.h"

#include "model/ClipFunctions.h"
#include "model/Settings.h"
#include "pasteboard/ClipboardFetcher.h"
#include "pasteboard/ClipboardReading.h"
#include "pasteboard/ImageData.h"
#include "pasteboard/Pasteboard.h"
#include "pasteboard/StyledText.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>
#include <utility>

namespace {

struct TextContents
{
    QString text;
    std::optional<QByteArray> rtf;
    std::optional<QByteArray> html;
    bool rtfFromHtml = false;
};

// Everything capture may look at, in the order it looks.
const QStringList capturedTypes = { PasteboardType::uriList, PasteboardType::gnomeCopiedFiles,
    PasteboardType::plainText, PasteboardType::rtf, PasteboardType::html, PasteboardType::png,
    PasteboardType::tiff, PasteboardType::bmp, PasteboardType::jpeg };

// How often a clipboard that does not announce every copy is looked at.
constexpr int pollIntervalMs = 400;

// Restoring converts HTML to RTF or back; beyond this size the conversion
// runs on the worker rather than while the user waits.
constexpr qsizetype heavyRestoreBytes = 256 * 1024;

QString lastPathComponent(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

// Without copying the text, which may be megabytes long.
bool isBlank(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSpace(); });
}

// Lines of a file list, cut at every kind of line break.
QStringList splitLines(const QString &text)
{
    static const QRegularExpression breaks(
        QStringLiteral("\\r\\n|[\\n\\x{000B}\\x{000C}\\r\\x{0085}\\x{2028}\\x{2029}]"));
    return text.split(breaks, Qt::SkipEmptyParts);
}

std::optional<QStringList> readFileURLs(const PasteboardContents &pasteboard)
{
    QStringList paths;
    if (const auto uriList = pasteboard.dataForType(PasteboardType::uriList))
        paths = ClipboardFetcher::localPaths(*uriList);
    if (paths.isEmpty()) {
        if (const auto gnome = pasteboard.dataForType(PasteboardType::gnomeCopiedFiles)) {
            paths = ClipboardFetcher::localPaths(
                ClipboardFetcher::uriListFromGnomeCopiedFiles(*gnome));
        }
    }
    if (paths.isEmpty())
        return std::nullopt;
    return paths;
}

std::optional<QByteArray> readHTMLData(const PasteboardContents &pasteboard)
{
    const auto html = pasteboard.dataForType(PasteboardType::html);
    if (!html || html->isEmpty())
        return std::nullopt;
    // Some programs offer HTML in UTF-16; the history keeps UTF-8.
    return StyledText::decodeHtmlBytes(*html);
}

std::optional<TextContents> readTextContents(const PasteboardContents &pasteboard)
{
    TextContents contents;
    contents.text = QString::fromUtf8(
        pasteboard.dataForType(PasteboardType::plainText).value_or(QByteArray()));
    contents.rtf = pasteboard.dataForType(PasteboardType::rtf);
    contents.html = readHTMLData(pasteboard);

    if (contents.rtf) {
        if (contents.text.isEmpty()) {
            if (const auto document = StyledText::documentFromRtf(*contents.rtf))
                contents.text = StyledText::plainText(*document);
        }
    } else if (contents.html) {
        if (const auto document = StyledText::attributedStringFromHTML(*contents.html)) {
            if (contents.text.isEmpty())
                contents.text = StyledText::plainText(*document);
            contents.rtf = StyledText::rtfData(*document);
            contents.rtfFromHtml = contents.rtf.has_value();
        }
    }
    // Linux clipboards carry styled text only as RTF or HTML, both read
    // above, so there is no separate styled-text object to fall back on.

    if (contents.text.isEmpty() || isBlank(contents.text))
        return std::nullopt;
    // Kept as long as the clip is: without the room decoding reserved.
    contents.text.squeeze();
    return contents;
}

std::optional<QByteArray> readImagePNG(const PasteboardContents &pasteboard)
{
    // Offered images are untrusted: each is decoded within the caps, and one
    // that does not decode is not stored.
    for (const QString &type :
        { PasteboardType::png, PasteboardType::tiff, PasteboardType::bmp, PasteboardType::jpeg }) {
        if (const auto bytes = pasteboard.dataForType(type); bytes && !bytes->isEmpty())
            return ImageData::pngData(*bytes);
    }
    return std::nullopt;
}

// Turns what was copied into a finished clip, on the worker: decoding,
// converting, hashing and writing the image file. None when nothing is to be
// recorded, or when what would be stored exceeds the per-clip limit.
std::optional<ClipContent> prepareClip(
    const PasteboardContents &pasteboard, qint64 maxClipBytes, const QString &mediaDir)
{
    ClipContent content;
    if (const auto paths = readFileURLs(pasteboard)) {
        const QString text = paths->join(QLatin1Char('\n'));
        if (text.isEmpty())
            return std::nullopt;
        const QByteArray utf8 = text.toUtf8();
        content.kind = ClipKind::fileURLs;
        content.preview
            = paths->size() == 1 ? lastPathComponent(paths->first()) : qtTrId("clip.kind.files");
        content.text = text;
        content.byteSize = utf8.size();
        content.contentHash = sha256Hex(utf8);
    } else if (auto contents = readTextContents(pasteboard)) {
        const QByteArray utf8 = contents->text.toUtf8();
        content.kind = ClipKind::text;
        content.byteSize = utf8.size() + (contents->rtf ? contents->rtf->size() : 0)
            + (contents->html ? contents->html->size() : 0);
        if (content.byteSize > maxClipBytes)
            return std::nullopt;
        content.preview = makePreview(contents->text);
        content.contentHash = sha256Hex(utf8);
        content.text = std::move(contents->text);
        content.rtf = std::move(contents->rtf);
        content.html = std::move(contents->html);
        content.rtfFromHtml = contents->rtfFromHtml;
    } else if (const auto png = readImagePNG(pasteboard)) {
        content.kind = ClipKind::image;
        content.preview = qtTrId("clip.kind.image");
        content.byteSize = png->size();
        if (content.byteSize > maxClipBytes)
            return std::nullopt;
        content.contentHash = sha256Hex(*png);
        content.id = QUuid::createUuid();
        const auto name = ClipStore::writeImageFile(mediaDir, content.id, *png);
        if (!name)
            return std::nullopt;
        content.imageFilename = *name;
    } else {
        return std::nullopt;
    }
    if (content.byteSize > maxClipBytes)
        return std::nullopt;
    return content;
}

// What restoring a clip puts on the clipboard.
PasteboardContents restoredContents(const Clip &clip, const std::optional<QByteArray> &imageBytes)
{
    PasteboardContents contents;
    switch (clip.kind) {
    case ClipKind::text: {
        const QString text = clip.text.value_or(clip.preview);
        std::optional<QByteArray> html = clip.html;
        // RTF that we made from the source's HTML is not offered beside it:
        // programs prefer RTF, and ours has lost the HTML's table borders and
        // pictures. A paste through us gives what the source gave.
        const bool sourceHtmlOnly = clip.rtfFromHtml && html && !html->isEmpty();
        std::optional<QByteArray> rtf = sourceHtmlOnly ? std::nullopt : clip.rtf;
        if (rtf && !html) {
            if (const auto document = StyledText::documentFromRtf(*rtf))
                html = StyledText::htmlData(*document);
        } else if (html && !rtf && !sourceHtmlOnly) {
            if (const auto document = StyledText::attributedStringFromHTML(*html))
                rtf = StyledText::rtfData(*document);
        }
        if (html && !html->isEmpty())
            contents.setData(PasteboardType::html, *html);
        if (rtf && !rtf->isEmpty())
            contents.setData(PasteboardType::rtf, *rtf);
        if (!text.isEmpty())
            contents.setData(PasteboardType::plainText, text.toUtf8());
        break;
    }
    case ClipKind::image:
        if (imageBytes) {
            QBuffer buffer;
            buffer.setData(*imageBytes);
            if (QImageReader(&buffer).canRead())
                contents.setData(PasteboardType::png, *imageBytes);
        }
        break;
    case ClipKind::fileURLs: {
        const QString text = clip.text.value_or(clip.preview);
        if (text.isEmpty())
            break;
        contents.setData(PasteboardType::plainText, text.toUtf8());
        QByteArray uriList;
        for (const QString &line : splitLines(text))
            uriList += QUrl::fromLocalFile(line).toEncoded() + "\r\n";
        // The clipboard also offers it in the file managers' form.
        if (!uriList.isEmpty())
            contents.setData(PasteboardType::uriList, uriList);
        break;
    }
    }
    return contents;
}

// Whether restoring takes long enough to be done on the worker.
bool isHeavyRestore(const Clip &clip, const std::optional<QByteArray> &imageBytes)
{
    if (clip.kind == ClipKind::image)
        return imageBytes && imageBytes->size() > heavyRestoreBytes;
    const bool converts = bool(clip.rtf) != bool(clip.html);
    const qsizetype styled = clip.rtf ? clip.rtf->size() : clip.html ? clip.html->size() : 0;
    return converts && styled > heavyRestoreBytes;
}

} // namespace

PasteboardMonitor::PasteboardMonitor(
    Pasteboard &pasteboard, ClipStore &store, Settings &settings, QObject *parent)
    : QObject(parent)
    , m_pasteboard(pasteboard)
    , m_store(store)
    , m_settings(settings)
    , m_lastChangeCount(pasteboard.changeCount())
{
    m_timer.setInterval(pollIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &PasteboardMonitor::poll);
}

void PasteboardMonitor::start()
{
    if (m_running)
        return;
    m_running = true;
    // Readers hold at most the raw ceiling; the per-clip limit is applied
    // to what would be stored, once it is known.
    m_pasteboard.setMaxReadBytes(ClipboardReading::rawCeiling(m_settings.maxClipBytes()));
    connect(&m_settings, &Settings::settingsDidChange, this, [this] {
        m_pasteboard.setMaxReadBytes(ClipboardReading::rawCeiling(m_settings.maxClipBytes()));
    });
    // The clipboard announces every new copy: look at once rather than at
    // the next tick, so that copies in quick succession are all seen.
    connect(&m_pasteboard, &Pasteboard::changed, this, &PasteboardMonitor::poll);
    if (!m_pasteboard.announcesChanges())
        m_timer.start();
}

void PasteboardMonitor::stop()
{
    m_running = false;
    m_timer.stop();
    disconnect(&m_pasteboard, nullptr, this, nullptr);
    disconnect(&m_settings, nullptr, this, nullptr);
}

void PasteboardMonitor::poll()
{
    const qint64 count = m_pasteboard.changeCount();
    if (count == m_lastChangeCount)
        return;
    m_lastChangeCount = count;
    if (m_paused)
        afterPendingCopies([this] { m_recordedHash.reset(); });
    else
        capture(count);
}

void PasteboardMonitor::capture(qint64 changeCount)
{
    const QStringList types = m_pasteboard.types();
    if (types.isEmpty() && m_pasteboard.ownerQuit()) {
        // Once what its owner copied has been recorded, however long that
        // took, it may be offered again.
        afterPendingCopies([this, changeCount] {
            keepClipboardAlive(std::exchange(m_recordedHash, {}), changeCount);
        });
        return;
    }
    // Whatever the clipboard held before is gone now.
    afterPendingCopies([this] { m_recordedHash.reset(); });
    if (ClipboardReading::carriesSecretMarker(types) || m_pasteboard.contentsAbandoned())
        return;
    // What capture may look at, taken now; the bytes are shared, not copied.
    PasteboardContents snapshot;
    snapshot.types = types;
    for (const QString &type : capturedTypes) {
        if (const auto bytes = m_pasteboard.dataForType(type))
            snapshot.data.append({ type, *bytes });
    }
    if (m_pasteboard.changeCount() != changeCount)
        return;
    // The rest runs on the worker, one copy after another in the order they
    // came; the store takes the finished clip here, on this thread.
    m_worker.submit([this, snapshot = std::move(snapshot), limit = m_settings.maxClipBytes(),
                        media = m_store.mediaPath()]() -> OrderedWorker::Finish {
        std::optional<ClipContent> content = prepareClip(snapshot, limit, media);
        if (!content)
            return {};
        return [this, content = std::move(*content)] {
            m_store.add(content);
            m_recordedHash = content.contentHash;
        };
    });
}

void PasteboardMonitor::afterPendingCopies(std::function<void()> step)
{
    m_worker.submit([step = std::move(step)] { return step; });
}

void PasteboardMonitor::keepClipboardAlive(const std::optional<QString> &wentAway, qint64 emptiedAt)
{
    // Only what we recorded comes back: a copy marked secret, one too large
    // to record or one made while paused leaves the clipboard empty, as its
    // owner meant it to be. Nor does it come back over a copy made since the
    // clipboard emptied: preparing the clip may have taken long enough for
    // another program to copy meanwhile.
    const QList<Clip> &clips = m_store.clips();
    if (!m_settings.keepClipboardAlive() || !wentAway || clips.isEmpty()
        || clips.first().contentHash != *wentAway || m_pasteboard.changeCount() != emptiedAt)
        return;
    put(clips.first(), m_store.imageData(clips.first()), Put::restore);
}

void PasteboardMonitor::finishPending()
{
    m_worker.finish();
}

void PasteboardMonitor::write(const Clip &clip, const std::optional<QByteArray> &imageBytes)
{
    put(clip, imageBytes, Put::replace);
}

void PasteboardMonitor::put(const Clip &clip, const std::optional<QByteArray> &imageBytes, Put how)
{
    // A restore gives way to every write; a write to the next one.
    const quint64 ticket = how == Put::replace ? ++m_writeTicket : m_writeTicket;
    const qint64 changeCount = m_pasteboard.changeCount();
    if (!isHeavyRestore(clip, imageBytes)) {
        setContents(restoredContents(clip, imageBytes), how);
        return;
    }
    m_worker.submit([this, clip, imageBytes, ticket, how, changeCount]() -> OrderedWorker::Finish {
        return [this, contents = restoredContents(clip, imageBytes), ticket, how, changeCount] {
            // A later write has already replaced it, or a copy came meanwhile.
            if (ticket != m_writeTicket
                || (how == Put::restore && m_pasteboard.changeCount() != changeCount))
                return;
            setContents(contents, how);
        };
    });
}

void PasteboardMonitor::writePlainText(const QString &text)
{
    ++m_writeTicket;
    PasteboardContents contents;
    if (!text.isEmpty())
        contents.setData(PasteboardType::plainText, text.toUtf8());
    setContents(contents, Put::replace);
}

void PasteboardMonitor::setContents(const PasteboardContents &contents, Put how)
{
    if (how == Put::restore) {
        if (!m_pasteboard.restoreContents(contents))
            return;
    } else {
        m_pasteboard.setContents(contents);
    }
    m_lastChangeCount = m_pasteboard.changeCount();
}
