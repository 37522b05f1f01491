// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ClipJournal.h"

#include "model/ClipArchive.h"
#include "model/ClipFunctions.h"
#include "model/ClipObjectReader.h"

namespace ClipJournal {

namespace {

QByteArray uuidString(const QUuid &id)
{
    return '"' + ClipArchive::formatUuid(id).toLatin1() + '"';
}

QByteArray idList(const char *op, const QList<QUuid> &ids)
{
    QByteArray line = QByteArrayLiteral("{\"op\":\"") + op + "\",\"ids\":[";
    for (qsizetype i = 0; i < ids.size(); ++i) {
        if (i > 0)
            line += ',';
        line += uuidString(ids[i]);
    }
    return line + "]}\n";
}

QByteArray clipLine(const char *op, const Clip &clip)
{
    return QByteArrayLiteral("{\"op\":\"") + op + "\",\"clip\":" + ClipArchive::encodeClipLine(clip)
        + "}\n";
}

std::string_view stringField(simdjson::dom::object object, const char *key)
{
    std::string_view text;
    if (object[key].get_string().get(text) != simdjson::SUCCESS)
        return {};
    return text;
}

qsizetype indexOf(const QList<Clip> &clips, const QUuid &id)
{
    for (qsizetype i = 0; i < clips.size(); ++i) {
        if (clips[i].id == id)
            return i;
    }
    return -1;
}

std::optional<QUuid> idField(simdjson::dom::object object, const char *key)
{
    return ClipArchive::parseUuid(ClipArchive::toQString(stringField(object, key)));
}

// Applies one change line; false with the reason when it cannot be applied.
bool apply(simdjson::dom::object line, QList<Clip> &clips, QString *error)
{
    const std::string_view op = stringField(line, "op");
    const auto fail = [&](const QString &why) {
        *error = QStringLiteral("\"%1\": %2").arg(ClipArchive::toQString(op), why);
        return false;
    };
    simdjson::dom::object clipObject;
    Clip clip;
    if (op == "add" || op == "edit") {
        if (line["clip"].get_object().get(clipObject) != simdjson::SUCCESS)
            return fail(QStringLiteral("no clip"));
        QString why;
        if (!ClipArchive::readClip(clipObject, &clip, &why))
            return fail(why);
        const qsizetype index = indexOf(clips, clip.id);
        if (op == "add") {
            if (index >= 0)
                return fail(QStringLiteral("the clip is already there"));
            clips.prepend(std::move(clip));
        } else {
            if (index < 0)
                return fail(QStringLiteral("no such clip"));
            clips[index] = std::move(clip);
        }
        return true;
    }
    if (op == "front") {
        if (line["clip"].get_object().get(clipObject) != simdjson::SUCCESS)
            return fail(QStringLiteral("no clip"));
        QString why;
        if (!ClipArchive::readClip(clipObject, &clip, &why))
            return fail(why);
        const qsizetype index = indexOf(clips, clip.id);
        if (index < 0)
            return fail(QStringLiteral("no such clip"));
        clips.removeAt(index);
        clips.prepend(std::move(clip));
        return true;
    }
    if (op == "merge") {
        if (line["clip"].get_object().get(clipObject) != simdjson::SUCCESS)
            return fail(QStringLiteral("no clip"));
        QString why;
        if (!ClipArchive::readClip(clipObject, &clip, &why))
            return fail(why);
        placeByDate(clips, { std::move(clip) });
        return true;
    }
    if (op == "keep") {
        const auto id = idField(line, "id");
        bool kept = false;
        if (!id || line["kept"].get_bool().get(kept) != simdjson::SUCCESS)
            return fail(QStringLiteral("no id or flag"));
        const qsizetype index = indexOf(clips, *id);
        if (index < 0)
            return fail(QStringLiteral("no such clip"));
        clips[index].isKept = kept;
        return true;
    }
    if (op == "delete" || op == "limits") {
        simdjson::dom::array ids;
        if (line["ids"].get_array().get(ids) != simdjson::SUCCESS)
            return fail(QStringLiteral("no ids"));
        QList<Clip> left = clips;
        for (const simdjson::dom::element element : ids) {
            std::string_view text;
            const auto id = element.get_string().get(text) == simdjson::SUCCESS
                ? ClipArchive::parseUuid(ClipArchive::toQString(text))
                : std::nullopt;
            const qsizetype index = id ? indexOf(left, *id) : -1;
            if (index < 0)
                return fail(QStringLiteral("no such clip"));
            left.removeAt(index);
        }
        clips = std::move(left);
        return true;
    }
    if (op == "clear") {
        clips.removeIf([](const Clip &c) { return !c.isKept; });
        return true;
    }
    return fail(QStringLiteral("unknown change"));
}

std::optional<ArchiveName> readHeader(simdjson::dom::parser &parser, QByteArrayView line)
{
    simdjson::dom::object object;
    int64_t version = 0;
    int64_t bytes = -1;
    if (parser.parse(line.data(), size_t(line.size())).get_object().get(object) != simdjson::SUCCESS
        || object["journal"].get_int64().get(version) != simdjson::SUCCESS || version != 1
        || object["archiveBytes"].get_int64().get(bytes) != simdjson::SUCCESS)
        return std::nullopt;
    const std::string_view sha = stringField(object, "archiveSha256");
    return ArchiveName { bytes, QByteArray(sha.data(), qsizetype(sha.size())) };
}

} // namespace

QByteArray headerLine(const ArchiveName &archive)
{
    return QByteArrayLiteral("{\"journal\":1,\"archiveBytes\":") + QByteArray::number(archive.bytes)
        + ",\"archiveSha256\":\"" + archive.sha256 + "\"}\n";
}

QByteArray addLine(const Clip &clip)
{
    return clipLine("add", clip);
}

QByteArray frontLine(const Clip &clip)
{
    // The clip whole, as it is after the move, so that the line reads alone.
    return clipLine("front", clip);
}

QByteArray editLine(const Clip &clip)
{
    return clipLine("edit", clip);
}

QByteArray mergeLine(const Clip &clip)
{
    return clipLine("merge", clip);
}

QByteArray keepLine(const QUuid &id, bool kept)
{
    return QByteArrayLiteral("{\"op\":\"keep\",\"id\":") + uuidString(id)
        + ",\"kept\":" + (kept ? "true" : "false") + "}\n";
}

QByteArray deleteLine(const QList<QUuid> &ids)
{
    return idList("delete", ids);
}

QByteArray limitsLine(const QList<QUuid> &ids)
{
    return idList("limits", ids);
}

QByteArray clearLine()
{
    return QByteArrayLiteral("{\"op\":\"clear\"}\n");
}

Replay replay(QByteArrayView journal, qint64 archiveBytes,
    const std::function<QByteArray()> &archiveSha256, QList<Clip> &clips)
{
    Replay result;
    qsizetype end = journal.indexOf('\n');
    if (end < 0)
        return result; // not even a whole header: nothing to extend
    simdjson::dom::parser parser;
    const auto header = readHeader(parser, journal.first(end));
    if (!header || header->bytes != archiveBytes)
        return result;
    qsizetype at = end + 1;
    if (at < journal.size() && archiveSha256() != header->sha256)
        return result;

    result.outcome = Replay::Outcome::applied;
    while (at < journal.size()) {
        end = journal.indexOf('\n', at);
        if (end < 0) {
            result.tornTail = true;
            break;
        }
        // simdjson wants room past the end: the line is copied with padding.
        const simdjson::padded_string line(journal.data() + at, size_t(end - at));
        simdjson::dom::object object;
        QString error;
        if (parser.parse(line).get_object().get(object) != simdjson::SUCCESS) {
            error = QStringLiteral("not a JSON object");
        } else if (apply(object, clips, &error)) {
            ++result.applied;
            at = end + 1;
            continue;
        }
        result.outcome = Replay::Outcome::broken;
        result.error = QStringLiteral("line %1: %2").arg(result.applied + 2).arg(error);
        break;
    }
    return result;
}

} // namespace ClipJournal
