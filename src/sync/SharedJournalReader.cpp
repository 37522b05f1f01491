// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SharedJournalReader.h"

#include "model/AtomicFile.h"
#include "sync/SealedBox.h"

#include <QFile>

#include <algorithm>
#include <charconv>
#include <iterator>

#include <unistd.h>

namespace {

constexpr char headerStart[] = "{\"quillstack-shared\":1,\"epoch\":\"";

} // namespace

SharedJournalReader::SharedJournalReader(QString path, QByteArray machine)
    : m_path(std::move(path))
    , m_machine(std::move(machine))
{
}

QByteArray SharedJournalReader::headerLine(const QByteArray &epoch)
{
    return headerStart + epoch + "\"}\n";
}

QByteArray SharedJournalReader::place(
    const QByteArray &machine, const QByteArray &epoch, qint64 line)
{
    QByteArray out;
    placeInto(out, machine, epoch, line);
    return out;
}

void SharedJournalReader::placeInto(
    QByteArray &out, const QByteArray &machine, const QByteArray &epoch, qint64 line)
{
    char number[24];
    const auto end = std::to_chars(std::begin(number), std::end(number), line).ptr;
    out.resize(0);
    out.reserve(machine.size() + epoch.size() + 2 + qsizetype(sizeof number));
    out.append(machine).append('/').append(epoch).append('/').append(
        number, qsizetype(end - number));
}

QByteArray SharedJournalReader::parseHeader(QByteArrayView line)
{
    const qsizetype start = qsizetype(sizeof headerStart) - 1;
    if (line.size() != start + 32 + 2 || !line.startsWith(headerStart) || !line.endsWith("\"}"))
        return QByteArray();
    const QByteArray epoch = line.sliced(start, 32).toByteArray();
    for (const char c : epoch) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return QByteArray();
    }
    return epoch;
}

SharedJournalReader::Batch SharedJournalReader::read(const QByteArray &key)
{
    Batch batch;
    const int fd = AtomicFile::openFile(m_path, 1);
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        batch.missing = true;
        return batch;
    }
    const QByteArray first = file.readLine(128);
    const QByteArray epoch = first.endsWith('\n') ? parseHeader(first.chopped(1)) : QByteArray();
    if (epoch.isEmpty()) {
        // Not yet whole, or not a journal: nothing to read until it is.
        m_tornTail = !first.isEmpty();
        return batch;
    }
    if (epoch != m_epoch || file.size() < m_offset) {
        batch.startedOver = !m_epoch.isEmpty();
        m_epoch = epoch;
        m_offset = first.size();
        m_nextLine = 1;
    }
    if (!file.seek(m_offset))
        return batch;
    // Read a block at a time into one buffer: a journal of large clips runs
    // to tens of megabytes, which need not all be in memory at once.
    constexpr qsizetype blockBytes = qsizetype(1) << 20;
    QByteArray bytes;
    qsizetype at = 0;
    QString why;
    // One buffer for each step, used again by every line.
    QByteArray sealed;
    QByteArray plain;
    QByteArray where;
    const qint64 unread = file.size() - m_offset;
    bool reserved = false;
    for (;;) {
        // What is left of the last block goes to the front.
        bytes.remove(0, at);
        at = 0;
        const qsizetype kept = bytes.size();
        bytes.resize(kept + blockBytes);
        const qint64 got = file.read(bytes.data() + kept, blockBytes);
        bytes.resize(kept + std::max<qint64>(got, 0));
        if (got <= 0)
            break;
        if (!reserved) {
            // As many events as the first block's lines say the rest holds.
            reserved = true;
            const auto lines = std::count(bytes.cbegin(), bytes.cend(), '\n');
            batch.events.reserve(qsizetype(unread * lines / bytes.size()) + 16);
        }
        for (qsizetype end = bytes.indexOf('\n'); end >= 0; end = bytes.indexOf('\n', at)) {
            placeInto(where, m_machine, m_epoch, m_nextLine);
            const bool opened
                = SealedBox::fromBase64(QByteArrayView(bytes.constData() + at, end - at), sealed)
                && SealedBox::open(key, sealed, where, SyncEvent::padding, plain);
            auto event = opened ? SyncEvent::decode(plain, m_machine, &why) : std::nullopt;
            if (event)
                batch.events.append(std::move(*event));
            else
                ++batch.damaged;
            ++m_nextLine;
            m_offset += end + 1 - at;
            at = end + 1;
        }
    }
    m_tornTail = at < bytes.size();
    return batch;
}
