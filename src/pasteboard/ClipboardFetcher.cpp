#include "ClipboardFetcher.h"

#include "ClipboardReading.h"

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

bool ClipboardFetcher::hasFileUrl(const QByteArray &uriList)
{
    const QList<QByteArray> lines = uriList.split('\n');
    return std::any_of(lines.cbegin(), lines.cend(),
        [](const QByteArray &line) { return line.trimmed().toLower().startsWith("file:"); });
}

QByteArray ClipboardFetcher::uriListFromGnomeCopiedFiles(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty()) {
        const QByteArray action = lines.constFirst().trimmed();
        if (action == "copy" || action == "cut")
            lines.removeFirst();
    }
    QByteArray uris;
    for (const QByteArray &line : std::as_const(lines)) {
        const QByteArray uri = line.trimmed();
        if (!uri.isEmpty())
            uris += uri + "\r\n";
    }
    return uris;
}

QByteArray ClipboardFetcher::gnomeCopiedFilesFromUriList(const QByteArray &uriList)
{
    QByteArray files("copy");
    for (const QByteArray &line : uriList.split('\n')) {
        const QByteArray uri = line.trimmed();
        if (!uri.isEmpty() && !uri.startsWith('#'))
            files += '\n' + uri;
    }
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
