// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ClipArchive.h"
#include "model/ClipObjectReader.h"

#include <simdjson.h>

#include <cmath>
#include <cstdio>

namespace ClipArchive {

namespace {

void appendJsonString(QByteArray &out, const QByteArray &utf8)
{
    static const char hex[] = "0123456789abcdef";
    out.append('"');
    const char *begin = utf8.constData();
    const char *end = begin + utf8.size();
    const char *run = begin;
    for (const char *p = begin; p != end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(run, p - run);
        run = p + 1;
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        case '\b':
            out.append("\\b");
            break;
        case '\f':
            out.append("\\f");
            break;
        default: {
            const char escaped[] = { '\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xf] };
            out.append(escaped, sizeof escaped);
        }
        }
    }
    out.append(run, end - run);
    out.append('"');
}

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

int digits(QStringView text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

QString describe(std::string_view key, const char *problem)
{
    return QStringLiteral("\"%1\" %2").arg(toQString(key), QLatin1String(problem));
}

} // namespace

// One clip object. Keys may come in any order; unknown keys are ignored.
bool readClip(simdjson::dom::object object, Clip *clip, QString *error)
{
    enum Seen : unsigned { id = 1, createdAt = 2, kind = 4, preview = 8, byteSize = 16, hash = 32 };
    unsigned seen = 0;
    for (const auto field : object) {
        const std::string_view key = field.key;
        const simdjson::dom::element value = field.value;
        std::string_view text;
        const bool isString = value.get_string().get(text) == simdjson::SUCCESS;
        const bool isNull = value.is_null();
        auto optionalString = [&](std::optional<QString> *out) {
            if (isNull) {
                out->reset();
                return true;
            }
            if (!isString)
                return fail(error, describe(key, "is not a string"));
            *out = toQString(text);
            return true;
        };
        auto optionalBase64 = [&](std::optional<QByteArray> *out) {
            if (isNull) {
                out->reset();
                return true;
            }
            if (!isString)
                return fail(error, describe(key, "is not a string"));
            const QByteArray encoded = QByteArray::fromRawData(text.data(), qsizetype(text.size()));
            auto decoded
                = QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
            // Padding is required, as the writer always emits it.
            if (!decoded || encoded.size() % 4 != 0)
                return fail(error, describe(key, "is not valid Base64"));
            *out = std::move(*decoded);
            return true;
        };

        if (key == "id") {
            const auto parsed = isString ? parseUuid(toQString(text)) : std::nullopt;
            if (!parsed)
                return fail(error, describe(key, "is not a UUID"));
            clip->id = *parsed;
            seen |= id;
        } else if (key == "createdAt") {
            const auto parsed = isString ? parseDate(toQString(text)) : std::nullopt;
            if (!parsed)
                return fail(error, describe(key, "is not an internet date-time"));
            clip->createdAt = *parsed;
            seen |= createdAt;
        } else if (key == "kind") {
            const auto parsed = isString ? clipKindFromRawValue(toQString(text)) : std::nullopt;
            if (!parsed)
                return fail(error, describe(key, "is not a known kind"));
            clip->kind = *parsed;
            seen |= kind;
        } else if (key == "preview") {
            if (!isString)
                return fail(error, describe(key, "is not a string"));
            clip->preview = toQString(text);
            seen |= preview;
        } else if (key == "contentHash") {
            if (!isString)
                return fail(error, describe(key, "is not a string"));
            clip->contentHash = toQString(text);
            seen |= hash;
        } else if (key == "byteSize") {
            int64_t integer = 0;
            double real = 0;
            if (value.get_int64().get(integer) == simdjson::SUCCESS) {
                clip->byteSize = integer;
            } else if (value.get_double().get(real) == simdjson::SUCCESS && std::floor(real) == real
                && std::fabs(real) <= 9007199254740992.0) {
                clip->byteSize = qint64(real); // 1e3 is an integer too
            } else {
                return fail(error, describe(key, "is not an integer"));
            }
            seen |= byteSize;
        } else if (key == "text") {
            if (!optionalString(&clip->text))
                return false;
        } else if (key == "imageFilename") {
            if (!optionalString(&clip->imageFilename))
                return false;
        } else if (key == "rtf") {
            if (!optionalBase64(&clip->rtf))
                return false;
        } else if (key == "html") {
            if (!optionalBase64(&clip->html))
                return false;
        } else if (key == "rtfFromHtml") {
            // Only a plain true counts: a doubtful value keeps the RTF on
            // offer, as it was before the key existed.
            bool fromHtml = false;
            clip->rtfFromHtml = value.get_bool().get(fromHtml) == simdjson::SUCCESS && fromHtml;
        } else if (key == "isKept") {
            bool kept = false;
            if (!isNull && value.get_bool().get(kept) != simdjson::SUCCESS)
                return fail(error, describe(key, "is not a boolean"));
            clip->isKept = kept;
        }
    }
    const std::pair<unsigned, const char *> required[]
        = { { id, "id" }, { createdAt, "createdAt" }, { kind, "kind" }, { preview, "preview" },
              { byteSize, "byteSize" }, { hash, "contentHash" } };
    for (const auto &[bit, name] : required) {
        if (!(seen & bit))
            return fail(error, QStringLiteral("\"%1\" is missing").arg(QLatin1String(name)));
    }
    // A short one-line text is its own preview: one string serves both,
    // which for a history of such copies halves what loading allocates.
    if (clip->text && clip->preview == *clip->text)
        clip->preview = *clip->text;
    return true;
}

QString formatDate(const QDateTime &date)
{
    const QDateTime utc = date.toUTC();
    const QDate day = utc.date();
    const QTime time = utc.time();
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", day.year(), day.month(),
        day.day(), time.hour(), time.minute(), time.second());
    return QString::fromLatin1(text);
}

std::optional<QDateTime> parseDate(QStringView text)
{
    if (text.size() != 20 && text.size() != 25)
        return std::nullopt;
    if (text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':'
        || text[16] != u':')
        return std::nullopt;
    const int year = digits(text, 0, 4), month = digits(text, 5, 2), day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2), minute = digits(text, 14, 2),
              second = digits(text, 17, 2);
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0)
        return std::nullopt;
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    int offsetSeconds = 0;
    if (text.size() == 20) {
        if (text[19] != u'Z')
            return std::nullopt;
    } else {
        const char16_t sign = text[19].unicode();
        const int offHours = digits(text, 20, 2), offMinutes = digits(text, 23, 2);
        if ((sign != u'+' && sign != u'-') || text[22] != u':' || offHours < 0 || offMinutes < 0
            || offHours > 23 || offMinutes > 59)
            return std::nullopt;
        offsetSeconds = (offHours * 3600 + offMinutes * 60) * (sign == u'-' ? -1 : 1);
    }
    QDateTime result(date, time, Qt::OffsetFromUTC, offsetSeconds);
    if (!result.isValid())
        return std::nullopt;
    return result.toUTC();
}

std::optional<QUuid> parseUuid(QStringView text)
{
    if (text.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < 36; ++i) {
        const char16_t c = text[i].unicode();
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const bool isHex
            = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (dash ? c != u'-' : !isHex)
            return std::nullopt;
    }
    return QUuid::fromString(text);
}

QString formatUuid(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

namespace {

// The archive indents each object as an element of its array; a journal line
// is the same object on one line.
struct Layout
{
    const char *open;
    const char *keyPrefix;
    const char *separator;
    const char *close;
};
constexpr Layout archiveLayout { "    {\n", "        \"", ",\n", "\n    }" };
constexpr Layout lineLayout { "{", "\"", ",", "}" };

QByteArray encode(const Clip &clip, const Layout &layout)
{
    QByteArray out;
    const qsizetype textSize = clip.text ? clip.text->size() * 3 : 0;
    const qsizetype blobs = (clip.rtf ? clip.rtf->size() : 0) + (clip.html ? clip.html->size() : 0);
    out.reserve(400 + clip.preview.size() * 3 + textSize + blobs * 4 / 3);

    bool first = true;
    const auto key = [&](const char *name) {
        if (!first)
            out.append(layout.separator);
        first = false;
        out.append(layout.keyPrefix);
        out.append(name);
        out.append("\": ");
    };
    out.append(layout.open);
    key("byteSize");
    out.append(QByteArray::number(clip.byteSize));
    key("contentHash");
    appendJsonString(out, clip.contentHash.toUtf8());
    key("createdAt");
    appendJsonString(out, formatDate(clip.createdAt).toLatin1());
    if (clip.html) {
        key("html");
        appendJsonString(out, clip.html->toBase64());
    }
    key("id");
    appendJsonString(out, formatUuid(clip.id).toLatin1());
    if (clip.imageFilename) {
        key("imageFilename");
        appendJsonString(out, clip.imageFilename->toUtf8());
    }
    key("isKept");
    out.append(clip.isKept ? "true" : "false");
    key("kind");
    appendJsonString(out, clipKindRawValue(clip.kind).toLatin1());
    key("preview");
    appendJsonString(out, clip.preview.toUtf8());
    if (clip.rtf) {
        key("rtf");
        appendJsonString(out, clip.rtf->toBase64());
    }
    // Written only when true, so that clips without it encode as before.
    if (clip.rtfFromHtml) {
        key("rtfFromHtml");
        out.append("true");
    }
    if (clip.text) {
        key("text");
        appendJsonString(out, clip.text->toUtf8());
    }
    out.append(layout.close);
    return out;
}

} // namespace

QByteArray encodeClip(const Clip &clip)
{
    return encode(clip, archiveLayout);
}

QByteArray encodeClipLine(const Clip &clip)
{
    return encode(clip, lineLayout);
}

QByteArray jsonString(const QString &text)
{
    QByteArray out;
    appendJsonString(out, text.toUtf8());
    return out;
}

namespace {

const QByteArray archiveOpening = QByteArrayLiteral("[\n");
const QByteArray archiveSeparator = QByteArrayLiteral(",\n");
const QByteArray archiveClosing = QByteArrayLiteral("\n]\n");
const QByteArray emptyArchiveClosing = QByteArrayLiteral("]\n");

} // namespace

QList<QByteArray> archiveParts(const QList<QByteArray> &encodedClips)
{
    QList<QByteArray> parts;
    parts.reserve(encodedClips.size() * 2 + 2);
    parts.append(archiveOpening);
    for (qsizetype i = 0; i < encodedClips.size(); ++i) {
        if (i > 0)
            parts.append(archiveSeparator);
        parts.append(encodedClips[i]);
    }
    parts.append(encodedClips.isEmpty() ? emptyArchiveClosing : archiveClosing);
    return parts;
}

bool writeArchive(const QList<Clip> &clips, const std::function<bool(const QByteArray &)> &write)
{
    if (!write(archiveOpening))
        return false;
    for (qsizetype i = 0; i < clips.size(); ++i) {
        if ((i > 0 && !write(archiveSeparator)) || !write(encodeClip(clips[i])))
            return false;
    }
    return write(clips.isEmpty() ? emptyArchiveClosing : archiveClosing);
}

DecodeResult decode(const QByteArray &json)
{
    return decode(QByteArrayView(json), json.capacity() - json.size());
}

DecodeResult decode(QByteArrayView json, qsizetype paddingBytes)
{
    static_assert(decodePadding >= qsizetype(simdjson::SIMDJSON_PADDING));
    DecodeResult result;
    if (json.isEmpty()) {
        result.error = QStringLiteral("the archive is empty");
        return result;
    }
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    const bool padded = paddingBytes >= qsizetype(simdjson::SIMDJSON_PADDING);
    if (const auto error = parser.parse(json.data(), size_t(json.size()), !padded).get(root)) {
        result.error = QString::fromLatin1(simdjson::error_message(error));
        return result;
    }
    simdjson::dom::array array;
    if (root.get_array().get(array) != simdjson::SUCCESS) {
        result.error = QStringLiteral("the archive is not an array");
        return result;
    }
    result.clips.reserve(qsizetype(array.size()));
    for (const simdjson::dom::element element : array) {
        simdjson::dom::object object;
        Clip clip;
        if (element.get_object().get(object) != simdjson::SUCCESS) {
            result.error = QStringLiteral("an element is not an object");
        } else if (readClip(object, &clip, &result.error)) {
            result.clips.append(std::move(clip));
            continue;
        }
        result.clips.clear();
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace ClipArchive
