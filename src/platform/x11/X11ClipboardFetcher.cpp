#include "X11ClipboardFetcher.h"

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

X11ClipboardFetcher::X11ClipboardFetcher(
    const QStringList &targets, qint64 maxBytes, ReadTarget read)
    : m_targets(targets)
    , m_maxBytes(maxBytes)
    , m_read(std::move(read))
{
}

X11ClipboardFetcher::Result X11ClipboardFetcher::fetch()
{
    m_result = {};
    m_result.contents.types = announcedTypes(m_targets);

    // Marked contents are never recorded, so none of their bytes are fetched.
    if (ClipboardReading::carriesSecretMarker(m_targets))
        return m_result;

    // A file list wins over everything else, but only when it names a file.
    Attempt files = readFirstOffered(QStringList { PasteboardType::uriList }, m_maxBytes);
    if (files.status != X11ReadStatus::ok && files.status != X11ReadStatus::refused)
        return fail(files.status);
    if (files.status == X11ReadStatus::ok && hasFileUrl(files.data)) {
        m_result.contents.setData(PasteboardType::uriList, files.data);
        return m_result;
    }
    files = readFirstOffered(QStringList { PasteboardType::gnomeCopiedFiles }, m_maxBytes);
    if (files.status != X11ReadStatus::ok && files.status != X11ReadStatus::refused)
        return fail(files.status);
    if (files.status == X11ReadStatus::ok) {
        const QByteArray uris = ClipboardReading::uriListFromGnomeCopiedFiles(files.data);
        if (hasFileUrl(uris)) {
            m_result.contents.setData(PasteboardType::uriList, uris);
            return m_result;
        }
    }

    // The text family shares one budget: capture counts text, RTF and HTML
    // together against the per-clip limit.
    qint64 used = 0;
    const Attempt text = readFirstOffered(textTargets, m_maxBytes);
    if (text.status != X11ReadStatus::ok && text.status != X11ReadStatus::refused)
        return fail(text.status);
    QString plain;
    if (text.status == X11ReadStatus::ok) {
        used += text.data.size();
        plain = text.target == latin1String ? QString::fromLatin1(text.data)
                                            : QString::fromUtf8(text.data);
        m_result.contents.setData(
            PasteboardType::plainText, text.target == latin1String ? plain.toUtf8() : text.data);
    }
    const Attempt rtf = readFirstOffered(rtfTargets, m_maxBytes - used);
    if (rtf.status != X11ReadStatus::ok && rtf.status != X11ReadStatus::refused)
        return fail(rtf.status);
    if (rtf.status == X11ReadStatus::ok) {
        used += rtf.data.size();
        m_result.contents.setData(PasteboardType::rtf, rtf.data);
    }
    const Attempt html = readFirstOffered(QStringList { PasteboardType::html }, m_maxBytes - used);
    if (html.status != X11ReadStatus::ok && html.status != X11ReadStatus::refused)
        return fail(html.status);
    if (html.status == X11ReadStatus::ok)
        m_result.contents.setData(PasteboardType::html, html.data);

    // Capture goes on to the image only when the plain string is empty or
    // blank (RTF or HTML may still give it text, so both are kept).
    if (!plain.trimmed().isEmpty())
        return m_result;

    const Attempt image = readFirstOffered(imageTargets, m_maxBytes);
    if (image.status == X11ReadStatus::overBudget && !m_result.contents.data.isEmpty()) {
        // Capture may still record the RTF's or HTML's text; an image that
        // large would be refused by the store anyway.
        return m_result;
    }
    if (image.status != X11ReadStatus::ok && image.status != X11ReadStatus::refused)
        return fail(image.status);
    if (image.status == X11ReadStatus::ok)
        m_result.contents.setData(image.target, image.data);
    return m_result;
}

QStringList X11ClipboardFetcher::announcedTypes(const QStringList &targets)
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

bool X11ClipboardFetcher::hasFileUrl(const QByteArray &uriList)
{
    const QList<QByteArray> lines = uriList.split('\n');
    return std::any_of(lines.cbegin(), lines.cend(),
        [](const QByteArray &line) { return line.trimmed().toLower().startsWith("file:"); });
}

X11ClipboardFetcher::Attempt X11ClipboardFetcher::readFirstOffered(
    const QStringList &targets, qint64 budget)
{
    for (const QString &target : targets) {
        if (!m_targets.contains(target))
            continue;
        X11TargetRead read = m_read(target, budget);
        // An owner that refuses one alternative may still give another.
        if (read.status == X11ReadStatus::refused)
            continue;
        return { read.status, target, std::move(read.data) };
    }
    return {};
}

X11ClipboardFetcher::Result X11ClipboardFetcher::fail(X11ReadStatus status)
{
    if (status == X11ReadStatus::interrupted)
        return { true, {} };
    // Over the cap or stuck owner: keep what was announced, drop what was read.
    m_result.contents.data.clear();
    m_result.contents.abandoned = true;
    return m_result;
}
