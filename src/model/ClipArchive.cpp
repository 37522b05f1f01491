#include "ClipArchive.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QTimeZone>

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
            const char escaped[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xf]};
            out.append(escaped, sizeof escaped);
        }
        }
    }
    out.append(run, end - run);
    out.append('"');
}

void appendKey(QByteArray &out, const char *key, bool first)
{
    if (!first)
        out.append(",\n");
    out.append("        \"");
    out.append(key);
    out.append("\": ");
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

// Reads an optional string field: missing or null is absent, another type fails.
bool optionalString(const QJsonObject &object, QLatin1String key, std::optional<QString> *out,
                    QString *error)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString())
        return fail(error, QStringLiteral("\"%1\" is not a string").arg(key));
    *out = value.toString();
    return true;
}

bool optionalBase64(const QJsonObject &object, QLatin1String key, std::optional<QByteArray> *out,
                    QString *error)
{
    std::optional<QString> text;
    if (!optionalString(object, key, &text, error))
        return false;
    if (!text)
        return true;
    const QByteArray encoded = text->toLatin1();
    auto decoded = QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
    // Padding is required, as the writer always emits it.
    if (!decoded || encoded.size() % 4 != 0)
        return fail(error, QStringLiteral("\"%1\" is not valid Base64").arg(key));
    *out = *decoded;
    return true;
}

bool requiredString(const QJsonObject &object, QLatin1String key, QString *out, QString *error)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return fail(error, QStringLiteral("\"%1\" is missing or not a string").arg(key));
    *out = value.toString();
    return true;
}

} // namespace

QString formatDate(const QDateTime &date)
{
    return date.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss'Z'"));
}

std::optional<QDateTime> parseDate(QStringView text)
{
    if (text.size() != 20 && text.size() != 25)
        return std::nullopt;
    if (text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':'
        || text[16] != u':')
        return std::nullopt;
    const int year = digits(text, 0, 4), month = digits(text, 5, 2), day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2), minute = digits(text, 14, 2), second = digits(text, 17, 2);
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
        const bool isHex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')
                           || (c >= u'A' && c <= u'F');
        if (dash ? c != u'-' : !isHex)
            return std::nullopt;
    }
    return QUuid::fromString(text);
}

QString formatUuid(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

QByteArray encodeClip(const Clip &clip)
{
    QByteArray out;
    const qsizetype textSize = clip.text ? clip.text->size() * 3 : 0;
    const qsizetype blobs = (clip.rtf ? clip.rtf->size() : 0) + (clip.html ? clip.html->size() : 0);
    out.reserve(400 + clip.preview.size() * 3 + textSize + blobs * 4 / 3);

    out.append("    {\n");
    appendKey(out, "byteSize", true);
    out.append(QByteArray::number(clip.byteSize));
    appendKey(out, "contentHash", false);
    appendJsonString(out, clip.contentHash.toUtf8());
    appendKey(out, "createdAt", false);
    appendJsonString(out, formatDate(clip.createdAt).toLatin1());
    if (clip.html) {
        appendKey(out, "html", false);
        appendJsonString(out, clip.html->toBase64());
    }
    appendKey(out, "id", false);
    appendJsonString(out, formatUuid(clip.id).toLatin1());
    if (clip.imageFilename) {
        appendKey(out, "imageFilename", false);
        appendJsonString(out, clip.imageFilename->toUtf8());
    }
    appendKey(out, "isKept", false);
    out.append(clip.isKept ? "true" : "false");
    appendKey(out, "kind", false);
    appendJsonString(out, clipKindRawValue(clip.kind).toLatin1());
    appendKey(out, "preview", false);
    appendJsonString(out, clip.preview.toUtf8());
    if (clip.rtf) {
        appendKey(out, "rtf", false);
        appendJsonString(out, clip.rtf->toBase64());
    }
    if (clip.text) {
        appendKey(out, "text", false);
        appendJsonString(out, clip.text->toUtf8());
    }
    out.append("\n    }");
    return out;
}

QList<QByteArray> archiveParts(const QList<QByteArray> &encodedClips)
{
    static const QByteArray open = QByteArrayLiteral("[\n");
    static const QByteArray separator = QByteArrayLiteral(",\n");
    static const QByteArray close = QByteArrayLiteral("\n]\n");
    QList<QByteArray> parts;
    parts.reserve(encodedClips.size() * 2 + 2);
    parts.append(open);
    for (qsizetype i = 0; i < encodedClips.size(); ++i) {
        if (i > 0)
            parts.append(separator);
        parts.append(encodedClips[i]);
    }
    parts.append(encodedClips.isEmpty() ? QByteArrayLiteral("]\n") : close);
    return parts;
}

std::optional<Clip> clipFromJson(const QJsonObject &object, QString *error)
{
    Clip clip;
    QString idText, dateText, kindText;
    if (!requiredString(object, QLatin1String("id"), &idText, error)
        || !requiredString(object, QLatin1String("createdAt"), &dateText, error)
        || !requiredString(object, QLatin1String("kind"), &kindText, error)
        || !requiredString(object, QLatin1String("preview"), &clip.preview, error)
        || !requiredString(object, QLatin1String("contentHash"), &clip.contentHash, error))
        return std::nullopt;

    const auto id = parseUuid(idText);
    if (!id) {
        fail(error, QStringLiteral("\"id\" is not a UUID"));
        return std::nullopt;
    }
    clip.id = *id;
    const auto date = parseDate(dateText);
    if (!date) {
        fail(error, QStringLiteral("\"createdAt\" is not an internet date-time"));
        return std::nullopt;
    }
    clip.createdAt = *date;
    const auto kind = clipKindFromRawValue(kindText);
    if (!kind) {
        fail(error, QStringLiteral("unknown \"kind\" %1").arg(kindText));
        return std::nullopt;
    }
    clip.kind = *kind;

    const QJsonValue size = object.value(QLatin1String("byteSize"));
    constexpr qint64 notIntegral = std::numeric_limits<qint64>::min();
    const qint64 byteSize = size.isDouble() ? size.toInteger(notIntegral) : notIntegral;
    if (byteSize == notIntegral) {
        fail(error, QStringLiteral("\"byteSize\" is missing or not an integer"));
        return std::nullopt;
    }
    clip.byteSize = byteSize;

    if (!optionalString(object, QLatin1String("text"), &clip.text, error)
        || !optionalBase64(object, QLatin1String("rtf"), &clip.rtf, error)
        || !optionalBase64(object, QLatin1String("html"), &clip.html, error)
        || !optionalString(object, QLatin1String("imageFilename"), &clip.imageFilename, error))
        return std::nullopt;

    const QJsonValue kept = object.value(QLatin1String("isKept"));
    if (!kept.isUndefined() && !kept.isNull()) {
        if (!kept.isBool()) {
            fail(error, QStringLiteral("\"isKept\" is not a boolean"));
            return std::nullopt;
        }
        clip.isKept = kept.toBool();
    }
    return clip;
}

DecodeResult decode(const QByteArray &json)
{
    DecodeResult result;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        result.error = parseError.errorString();
        return result;
    }
    if (!document.isArray()) {
        result.error = QStringLiteral("the archive is not an array");
        return result;
    }
    const QJsonArray array = document.array();
    result.clips.reserve(array.size());
    for (const QJsonValue &element : array) {
        if (!element.isObject()) {
            result.error = QStringLiteral("an element is not an object");
            result.clips.clear();
            return result;
        }
        auto clip = clipFromJson(element.toObject(), &result.error);
        if (!clip) {
            result.clips.clear();
            return result;
        }
        result.clips.append(std::move(*clip));
    }
    result.ok = true;
    return result;
}

} // namespace ClipArchive
