// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ClipArchive.h"
#include "model/ClipObjectReader.h"

#include <simdjson.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ClipArchive {

namespace {

// Characters below 0x20, the quote and the backslash are escaped; every
// other character is itself.
bool needsEscape(char16_t c)
{
    return c < 0x20 || c == u'"' || c == u'\\';
}

void appendEscaped(QByteArray &out, char16_t c)
{
    static const char hex[] = "0123456789abcdef";
    switch (c) {
    case u'"':
        out.append("\\\"", 2);
        break;
    case u'\\':
        out.append("\\\\", 2);
        break;
    case u'\n':
        out.append("\\n", 2);
        break;
    case u'\r':
        out.append("\\r", 2);
        break;
    case u'\t':
        out.append("\\t", 2);
        break;
    case u'\b':
        out.append("\\b", 2);
        break;
    case u'\f':
        out.append("\\f", 2);
        break;
    default: {
        const char escaped[] = { '\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xf] };
        out.append(escaped, sizeof escaped);
    }
    }
}

// The string as a JSON literal in UTF-8, made in one pass: runs of plain
// ASCII are narrowed in place, and only the rest goes through the UTF-8
// encoder, so a save does not first copy every text to UTF-8.
void appendJsonString(QByteArray &out, QStringView text)
{
    out.append('"');
    const char16_t *p = text.utf16();
    const char16_t *const end = p + text.size();
    while (p != end) {
        const char16_t *run = p;
        while (p != end && *p < 0x80 && !needsEscape(*p))
            ++p;
        if (p != run) {
            const qsizetype at = out.size();
            out.resize(at + (p - run));
            char *to = out.data() + at;
            for (const char16_t *c = run; c != p; ++c)
                *to++ = char(*c);
        }
        if (p == end)
            break;
        if (*p < 0x80) {
            appendEscaped(out, *p++);
            continue;
        }
        run = p;
        while (p != end && *p >= 0x80)
            ++p;
        out.append(QStringView(run, p).toUtf8());
    }
    out.append('"');
}

// Text known to need no escaping: Base64, dates, ids, kind names.
void appendJsonLiteral(QByteArray &out, QByteArrayView plain)
{
    out.append('"').append(plain).append('"');
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

// A short field (an id, a date) widened on the stack: no string is made
// for what is only parsed. A longer one is cut, which no parser accepts.
struct ShortText
{
    char16_t units[40];
    qsizetype size = 0;
    operator QStringView() const { return QStringView(units, size); }
};

ShortText shortText(std::string_view text)
{
    ShortText out;
    out.size = qsizetype(std::min<size_t>(text.size(), std::size(out.units)));
    for (qsizetype i = 0; i < out.size; ++i)
        out.units[i] = char16_t(static_cast<unsigned char>(text[size_t(i)]));
    return out;
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
            const auto parsed = isString ? parseUuid(shortText(text)) : std::nullopt;
            if (!parsed)
                return fail(error, describe(key, "is not a UUID"));
            clip->id = *parsed;
            seen |= id;
        } else if (key == "createdAt") {
            const auto parsed = isString ? parseDate(shortText(text)) : std::nullopt;
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

namespace {

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - (a % b < 0 ? 1 : 0);
}

// Writes `value` as `count` decimal digits, zero-padded.
char *putDigits(char *to, int value, int count)
{
    for (int i = count - 1; i >= 0; --i) {
        to[i] = char('0' + value % 10);
        value /= 10;
    }
    return to + count;
}

} // namespace

QString formatDate(const QDateTime &date)
{
    // Computed from the instant rather than through QDate and QTime: a save
    // writes this for every clip.
    const qint64 seconds = floorDiv(date.toMSecsSinceEpoch(), 1000);
    const qint64 days = floorDiv(seconds, 86400);
    const qint64 secondOfDay = seconds - days * 86400;
    // Days since 1970-01-01 to a proleptic Gregorian date.
    const qint64 shifted = days + 719468;
    const qint64 era = floorDiv(shifted, 146097);
    const qint64 dayOfEra = shifted - era * 146097;
    const qint64 yearOfEra
        = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 monthIndex = (5 * dayOfYear + 2) / 153;
    const int day = int(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    const int month = int(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    const qint64 year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[40];
    if (year < 1 || year > 9999) {
        // Outside four digits, as QDate numbers the years.
        const QDateTime utc = date.toUTC();
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.date().year(),
            utc.date().month(), utc.date().day(), utc.time().hour(), utc.time().minute(),
            utc.time().second());
        return QString::fromLatin1(text);
    }
    char *to = putDigits(text, int(year), 4);
    *to++ = '-';
    to = putDigits(to, month, 2);
    *to++ = '-';
    to = putDigits(to, day, 2);
    *to++ = 'T';
    to = putDigits(to, int(secondOfDay / 3600), 2);
    *to++ = ':';
    to = putDigits(to, int(secondOfDay / 60 % 60), 2);
    *to++ = ':';
    to = putDigits(to, int(secondOfDay % 60), 2);
    *to++ = 'Z';
    return QString::fromLatin1(text, qsizetype(to - text));
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
    // The 8-4-4-4-12 form in upper case, written directly: every clip of a
    // save has one.
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray bytes = id.toRfc4122();
    char text[36];
    char *to = text;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            *to++ = '-';
        const auto byte = static_cast<unsigned char>(bytes[i]);
        *to++ = hex[byte >> 4];
        *to++ = hex[byte & 0xf];
    }
    return QString::fromLatin1(text, 36);
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

void appendClip(QByteArray &out, const Clip &clip, const Layout &layout)
{
    const qsizetype textSize = clip.text ? clip.text->size() * 3 : 0;
    const qsizetype blobs = (clip.rtf ? clip.rtf->size() : 0) + (clip.html ? clip.html->size() : 0);
    const qsizetype needed = out.size() + 400 + clip.preview.size() * 3 + textSize + blobs * 4 / 3;
    // Grown by doubling, as clips are appended one after another.
    if (out.capacity() < needed)
        out.reserve(std::max(needed, out.capacity() * 2));

    bool first = true;
    const auto key = [&](QByteArrayView name) {
        if (!first)
            out.append(layout.separator);
        first = false;
        out.append(layout.keyPrefix).append(name).append("\": ", 3);
    };
    out.append(layout.open);
    key("byteSize");
    out.append(QByteArray::number(clip.byteSize));
    key("contentHash");
    appendJsonString(out, clip.contentHash);
    key("createdAt");
    appendJsonLiteral(out, formatDate(clip.createdAt).toLatin1());
    if (clip.html) {
        key("html");
        appendJsonLiteral(out, clip.html->toBase64());
    }
    key("id");
    appendJsonLiteral(out, formatUuid(clip.id).toLatin1());
    if (clip.imageFilename) {
        key("imageFilename");
        appendJsonString(out, *clip.imageFilename);
    }
    key("isKept");
    out.append(clip.isKept ? "true" : "false");
    key("kind");
    appendJsonString(out, clipKindRawValue(clip.kind));
    key("preview");
    appendJsonString(out, clip.preview);
    if (clip.rtf) {
        key("rtf");
        appendJsonLiteral(out, clip.rtf->toBase64());
    }
    // Written only when true, so that clips without it encode as before.
    if (clip.rtfFromHtml) {
        key("rtfFromHtml");
        out.append("true");
    }
    if (clip.text) {
        key("text");
        appendJsonString(out, *clip.text);
    }
    out.append(layout.close);
}

QByteArray encode(const Clip &clip, const Layout &layout)
{
    QByteArray out;
    appendClip(out, clip, layout);
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
    appendJsonString(out, text);
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

QList<QByteArray> archivePieces(const QList<Clip> &clips, qsizetype pieceBytes)
{
    QList<QByteArray> pieces;
    QByteArray piece;
    piece.reserve(pieceBytes + pieceBytes / 8);
    piece.append(archiveOpening);
    for (qsizetype i = 0; i < clips.size(); ++i) {
        if (i > 0)
            piece.append(archiveSeparator);
        appendClip(piece, clips[i], archiveLayout);
        if (piece.size() >= pieceBytes) {
            pieces.append(std::exchange(piece, QByteArray()));
            piece.reserve(pieceBytes + pieceBytes / 8);
        }
    }
    piece.append(clips.isEmpty() ? emptyArchiveClosing : archiveClosing);
    pieces.append(piece);
    return pieces;
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
