// SPDX-License-Identifier: GPL-3.0-or-later
#include "pasteboard/ClipboardFetcher.h"

#include "pasteboard/ClipboardReading.h"

#include <QUrl>

#include <algorithm>
#include <utility>

namespace {

const QString utf8String = QStringLiteral("UTF8_STRING");
const QString plainUtf8 = QStringLiteral("text/plain;charset=utf-8");
const QString latin1String = QStringLiteral("STRING");
const QString richText = QStringLiteral("text/richtext");
const QString applicationRtf = QStringLiteral("application/rtf");

// In order of preference.
const QStringList textTargets = { utf8String, plainUtf8, PasteboardType::plainText, latin1String };
const QStringList rtfTargets = { PasteboardType::rtf, richText, applicationRtf };
const QStringList imageTargets
    = { PasteboardType::png, PasteboardType::tiff, PasteboardType::bmp, PasteboardType::jpeg };

bool isProtocolTarget(const QString &target)
{
    return target == QLatin1String("TARGETS") || target == QLatin1String("MULTIPLE")
        || target == QLatin1String("TIMESTAMP") || target == QLatin1String("SAVE_TARGETS");
}

// The lines of a file list, whichever of CRLF, LF or NUL ends them, trimmed
// and without empty ones.
QList<QByteArray> listLines(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= bytes.size(); ++i) {
        if (i < bytes.size() && bytes[i] != '\n' && bytes[i] != '\0')
            continue;
        const QByteArray line = bytes.sliced(start, i - start).trimmed();
        if (!line.isEmpty())
            lines.append(line);
        start = i + 1;
    }
    return lines;
}

} // namespace

ClipboardFetcher::ClipboardFetcher(const QStringList &targets, qint64 maxBytes, ReadTarget read)
    : m_targets(targets)
    , m_maxBytes(maxBytes)
    , m_read(std::move(read))
{
}

ClipboardFetcher::Result ClipboardFetcher::fetch()
{
    m_result = {};
    m_result.contents.types = announcedTypes(m_targets);

    // Marked contents are never recorded, so none of their bytes are fetched.
    if (ClipboardReading::carriesSecretMarker(m_targets))
        return m_result;

    // A file list wins over everything else, but only when it names a file.
    Attempt files = readFirstOffered(QStringList { PasteboardType::uriList }, m_maxBytes);
    if (files.status != ClipboardReadStatus::ok && files.status != ClipboardReadStatus::refused)
        return fail(files.status);
    if (files.status == ClipboardReadStatus::ok && hasFileUrl(files.data)) {
        m_result.contents.setData(PasteboardType::uriList, files.data);
        return m_result;
    }
    files = readFirstOffered(QStringList { PasteboardType::gnomeCopiedFiles }, m_maxBytes);
    if (files.status != ClipboardReadStatus::ok && files.status != ClipboardReadStatus::refused)
        return fail(files.status);
    if (files.status == ClipboardReadStatus::ok) {
        const QByteArray uris = uriListFromGnomeCopiedFiles(files.data);
        if (hasFileUrl(uris)) {
            m_result.contents.setData(PasteboardType::uriList, uris);
            return m_result;
        }
    }

    // The text family shares one budget: capture counts text, RTF and HTML
    // together against the per-clip limit.
    qint64 used = 0;
    const Attempt text = readFirstOffered(textTargets, m_maxBytes);
    if (text.status != ClipboardReadStatus::ok && text.status != ClipboardReadStatus::refused)
        return fail(text.status);
    QString plain;
    if (text.status == ClipboardReadStatus::ok) {
        used += text.data.size();
        plain = text.target == latin1String ? QString::fromLatin1(text.data)
                                            : QString::fromUtf8(text.data);
        m_result.contents.setData(
            PasteboardType::plainText, text.target == latin1String ? plain.toUtf8() : text.data);
    }
    const Attempt rtf = readFirstOffered(rtfTargets, m_maxBytes - used);
    if (rtf.status != ClipboardReadStatus::ok && rtf.status != ClipboardReadStatus::refused)
        return fail(rtf.status);
    if (rtf.status == ClipboardReadStatus::ok) {
        used += rtf.data.size();
        m_result.contents.setData(PasteboardType::rtf, rtf.data);
    }
    const Attempt html = readFirstOffered(QStringList { PasteboardType::html }, m_maxBytes - used);
    if (html.status != ClipboardReadStatus::ok && html.status != ClipboardReadStatus::refused)
        return fail(html.status);
    if (html.status == ClipboardReadStatus::ok)
        m_result.contents.setData(PasteboardType::html, html.data);

    // Capture goes on to the image only when the plain string is empty or
    // blank (RTF or HTML may still give it text, so both are kept).
    if (!plain.trimmed().isEmpty())
        return m_result;

    const Attempt image = readFirstOffered(imageTargets, m_maxBytes);
    if (image.status == ClipboardReadStatus::overBudget && !m_result.contents.data.isEmpty()) {
        // Capture may still record the RTF's or HTML's text; an image that
        // large would be refused by the store anyway.
        return m_result;
    }
    if (image.status != ClipboardReadStatus::ok && image.status != ClipboardReadStatus::refused)
        return fail(image.status);
    if (image.status == ClipboardReadStatus::ok)
        m_result.contents.setData(image.target, image.data);
    return m_result;
}

QStringList ClipboardFetcher::announcedTypes(const QStringList &targets)
{
    QStringList types;
    const auto offers = [&targets](const QStringList &names) {
        return std::any_of(names.cbegin(), names.cend(),
            [&targets](const QString &name) { return targets.contains(name); });
    };
    if (offers(textTargets))
        types.append(PasteboardType::plainText);
    if (offers(rtfTargets))
        types.append(PasteboardType::rtf);
    for (const QString &target : targets) {
        if (!isProtocolTarget(target) && !types.contains(target))
            types.append(target);
    }
    return types;
}

QByteArray ClipboardFetcher::withoutTrailingNuls(QByteArray bytes)
{
    const bool utf16 = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
    // UTF-16 goes by whole characters and keeps its byte-order mark.
    const qsizetype unit = utf16 ? 2 : 1;
    const qsizetype first = utf16 ? 2 : 0;
    if (bytes.size() % unit != 0)
        return bytes;
    qsizetype end = bytes.size();
    while (end - unit >= first && bytes[end - 1] == '\0' && bytes[end - unit] == '\0')
        end -= unit;
    bytes.truncate(end);
    return bytes;
}

QList<QByteArray> ClipboardFetcher::uriListEntries(const QByteArray &uriList)
{
    QList<QByteArray> entries = listLines(uriList);
    entries.removeIf([](const QByteArray &entry) { return entry.startsWith('#'); });
    return entries;
}

QStringList ClipboardFetcher::localPaths(const QByteArray &uriList)
{
    QStringList paths;
    for (const QByteArray &entry : uriListEntries(uriList)) {
        const QUrl url = QUrl::fromEncoded(entry, QUrl::StrictMode);
        if (!url.isValid() || !url.isLocalFile())
            continue;
        // A file on another machine: Qt would make "//host/path" of it,
        // which here names "/host/path".
        if (!url.host().isEmpty()
            && url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
            continue;
        QString path = url.path(QUrl::FullyDecoded);
        // "file:////tmp" names /tmp; kept as "//tmp", it would be written
        // back as the host "tmp".
        while (path.startsWith(QLatin1String("//")))
            path.remove(0, 1);
        if (path.startsWith(QLatin1Char('/')))
            paths.append(path);
    }
    return paths;
}

bool ClipboardFetcher::hasFileUrl(const QByteArray &uriList)
{
    const QList<QByteArray> entries = uriListEntries(uriList);
    return std::any_of(entries.cbegin(), entries.cend(),
        [](const QByteArray &entry) { return entry.toLower().startsWith("file:"); });
}

QByteArray ClipboardFetcher::uriListFromGnomeCopiedFiles(const QByteArray &bytes)
{
    QList<QByteArray> lines = listLines(bytes);
    if (!lines.isEmpty() && (lines.constFirst() == "copy" || lines.constFirst() == "cut"))
        lines.removeFirst();
    QByteArray uris;
    for (const QByteArray &line : std::as_const(lines))
        uris += line + "\r\n";
    return uris;
}

QByteArray ClipboardFetcher::gnomeCopiedFilesFromUriList(const QByteArray &uriList)
{
    QByteArray files("copy");
    for (const QByteArray &uri : uriListEntries(uriList))
        files += '\n' + uri;
    return files;
}

ClipboardFetcher::Attempt ClipboardFetcher::readFirstOffered(
    const QStringList &targets, qint64 budget)
{
    for (const QString &target : targets) {
        if (!m_targets.contains(target))
            continue;
        ClipboardRead read = m_read(target, budget);
        // An owner that refuses one alternative may still give another.
        if (read.status == ClipboardReadStatus::refused)
            continue;
        // Everything read but images is text of one kind or another.
        if (!imageTargets.contains(target))
            read.data = withoutTrailingNuls(std::move(read.data));
        return { read.status, target, std::move(read.data) };
    }
    return {};
}

ClipboardFetcher::Result ClipboardFetcher::fail(ClipboardReadStatus status)
{
    if (status == ClipboardReadStatus::interrupted)
        return { true, {} };
    // Over the cap or stuck owner: keep what was announced, drop what was read.
    m_result.contents.data.clear();
    m_result.contents.abandoned = true;
    return m_result;
}
