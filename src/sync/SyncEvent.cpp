// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncEvent.h"

#include "model/ClipArchive.h"
#include "model/ClipObjectReader.h"

namespace {

QByteArray stampJson(const SyncStamp &stamp, bool withMachine)
{
    QByteArray out = '[' + QByteArray::number(stamp.wall) + ',' + QByteArray::number(stamp.counter);
    if (withMachine)
        out += ",\"" + stamp.machine + '"';
    return out + ']';
}

const char *opName(SyncEvent::Op op)
{
    switch (op) {
    case SyncEvent::Op::hello:
        return "hello";
    case SyncEvent::Op::put:
        return "put";
    case SyncEvent::Op::keep:
        return "keep";
    case SyncEvent::Op::forget:
        return "forget";
    }
    return "";
}

std::optional<SyncStamp> readStamp(simdjson::dom::element element, const QByteArray &machine)
{
    simdjson::dom::array array;
    if (element.get_array().get(array) != simdjson::SUCCESS)
        return std::nullopt;
    const size_t size = array.size();
    int64_t wall = 0;
    uint64_t counter = 0;
    if ((size != 2 && size != 3) || array.at(0).get_int64().get(wall) != simdjson::SUCCESS
        || array.at(1).get_uint64().get(counter) != simdjson::SUCCESS || wall <= 0
        || counter > std::numeric_limits<quint32>::max())
        return std::nullopt;
    SyncStamp stamp { wall, quint32(counter), machine };
    if (size == 3) {
        std::string_view text;
        if (array.at(2).get_string().get(text) != simdjson::SUCCESS || text.empty())
            return std::nullopt;
        stamp.machine = QByteArray(text.data(), qsizetype(text.size()));
    }
    return stamp;
}

QString stringField(simdjson::dom::object object, const char *key)
{
    std::string_view text;
    if (object[key].get_string().get(text) != simdjson::SUCCESS)
        return QString();
    return ClipArchive::toQString(text);
}

} // namespace

QByteArray SyncEvent::encode() const
{
    QByteArray out
        = QByteArrayLiteral("{\"op\":\"") + opName(op) + "\",\"t\":" + stampJson(stamp, false);
    switch (op) {
    case Op::hello:
        out += ",\"name\":" + ClipArchive::jsonString(name);
        break;
    case Op::put:
        out += ",\"k\":" + ClipArchive::jsonString(key)
            + ",\"clip\":" + ClipArchive::encodeClipLine(clip);
        if (!image.isEmpty())
            out += ",\"img\":" + ClipArchive::jsonString(image);
        break;
    case Op::keep:
        out += ",\"k\":" + ClipArchive::jsonString(key) + ",\"kept\":" + (kept ? "true" : "false");
        break;
    case Op::forget:
        out += QByteArrayLiteral(",\"clear\":") + (clear ? "true" : "false") + ",\"gone\":[";
        for (qsizetype i = 0; i < gone.size(); ++i) {
            if (i > 0)
                out += ',';
            out += '[' + ClipArchive::jsonString(gone[i].key) + ',' + stampJson(gone[i].seen, true)
                + ']';
        }
        out += ']';
        break;
    }
    return out + '}';
}

std::optional<SyncEvent> SyncEvent::decode(
    const QByteArray &json, const QByteArray &machine, QString *error)
{
    const auto fail = [&](const char *why) {
        if (error)
            *error = QString::fromLatin1(why);
        return std::nullopt;
    };
    thread_local simdjson::dom::parser parser;
    static_assert(padding >= qsizetype(simdjson::SIMDJSON_PADDING));
    const bool padded = json.capacity() - json.size() >= padding;
    simdjson::dom::object object;
    if (parser.parse(json.constData(), size_t(json.size()), !padded).get_object().get(object)
        != simdjson::SUCCESS)
        return fail("not a JSON object");
    SyncEvent event;
    simdjson::dom::element stampElement;
    if (object["t"].get(stampElement) != simdjson::SUCCESS)
        return fail("no stamp");
    const auto stamp = readStamp(stampElement, machine);
    if (!stamp || stamp->machine != machine)
        return fail("not a stamp of this machine");
    event.stamp = *stamp;
    // Compared where it lies, with nothing made of it.
    std::string_view op;
    if (object["op"].get_string().get(op) != simdjson::SUCCESS)
        return fail("no change named");
    if (op == "hello") {
        event.op = Op::hello;
        event.name = stringField(object, "name");
        return event;
    }
    if (op == "forget") {
        event.op = Op::forget;
        simdjson::dom::array gone;
        if (object["gone"].get_array().get(gone) != simdjson::SUCCESS
            || object["clear"].get_bool().get(event.clear) != simdjson::SUCCESS)
            return fail("no tombstones");
        for (const simdjson::dom::element item : gone) {
            simdjson::dom::array pair;
            std::string_view key;
            if (item.get_array().get(pair) != simdjson::SUCCESS || pair.size() != 2
                || pair.at(0).get_string().get(key) != simdjson::SUCCESS)
                return fail("not a tombstone");
            const auto seen = readStamp(pair.at(1).value_unsafe(), machine);
            if (!seen || seen->machine.isEmpty())
                return fail("not a tombstone's stamp");
            event.gone.append({ ClipArchive::toQString(key), *seen });
        }
        return event;
    }
    event.key = stringField(object, "k");
    if (event.key.isEmpty())
        return fail("no key");
    if (op == "keep") {
        event.op = Op::keep;
        if (object["kept"].get_bool().get(event.kept) != simdjson::SUCCESS)
            return fail("no keep mark");
        return event;
    }
    if (op == "put") {
        event.op = Op::put;
        simdjson::dom::object clip;
        QString why;
        if (object["clip"].get_object().get(clip) != simdjson::SUCCESS
            || !ClipArchive::readClip(clip, &event.clip, &why))
            return fail("not a clip");
        event.image = stringField(object, "img");
        return event;
    }
    return fail("unknown change");
}
