// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SharedJournalWriter.h"

#include "model/AtomicFile.h"
#include "sync/SealedBox.h"
#include "sync/SharedJournalReader.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

} // namespace

SharedJournalWriter::SharedJournalWriter(SharedFolder folder, QByteArray key)
    : m_folder(std::move(folder))
    , m_key(std::move(key))
{
}

SharedJournalWriter::~SharedJournalWriter()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QByteArray SharedJournalWriter::sealLine(const SyncEvent &event, qint64 line) const
{
    const QByteArray place = SharedJournalReader::place(m_folder.machine(), m_epoch, line);
    return SealedBox::seal(m_key, event.encode(), place).toBase64() + '\n';
}

bool SharedJournalWriter::open(QList<SyncEvent> *written, QString *error)
{
    const QString own = m_folder.machinePath(m_folder.machine());
    if (!AtomicFile::makePrivateDir(own)
        || !AtomicFile::makePrivateDir(m_folder.mediaPath(m_folder.machine())))
        return fail(error, QStringLiteral("cannot create %1").arg(own));
    const QString path = m_folder.journalPath(m_folder.machine());
    SharedJournalReader reader(path, m_folder.machine());
    const SharedJournalReader::Batch batch = reader.read(m_key);
    *written = batch.events;
    if (batch.missing || reader.epoch().isEmpty() || batch.damaged > 0) {
        // Lines this key cannot open were sealed with another passphrase:
        // what it can open is kept, in a journal of one key.
        return compact(*written, error);
    }
    m_epoch = reader.epoch();
    m_nextLine = reader.nextLine();
    m_bytes = reader.offset();
    if (!openForAppend(error))
        return false;
    if (reader.hasTornTail() && (::ftruncate(m_fd, m_bytes) != 0 || ::fsync(m_fd) != 0))
        return fail(error,
            QStringLiteral("cannot cut %1: %2")
                .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    return true;
}

bool SharedJournalWriter::openForAppend(QString *error)
{
    if (m_fd >= 0)
        ::close(m_fd);
    const QString path = m_folder.journalPath(m_folder.machine());
    m_fd
        = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    if (m_fd < 0)
        return fail(error,
            QStringLiteral("cannot open %1: %2")
                .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    return true;
}

bool SharedJournalWriter::append(const QList<SyncEvent> &events, QString *error)
{
    if (m_fd < 0)
        return fail(error, QStringLiteral("the shared journal is not open"));
    QByteArray bytes;
    for (qsizetype i = 0; i < events.size(); ++i)
        bytes += sealLine(events[i], m_nextLine + i);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    if (done < bytes.size() || ::fdatasync(m_fd) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        // Back to the last whole line, so the next append starts clean.
        if (::ftruncate(m_fd, m_bytes) == 0)
            ::fsync(m_fd);
        return fail(error, QStringLiteral("cannot write the shared journal: %1").arg(why));
    }
    m_bytes += bytes.size();
    m_nextLine += events.size();
    return true;
}

bool SharedJournalWriter::compact(const QList<SyncEvent> &events, QString *error)
{
    m_epoch = SealedBox::randomBytes(16).toHex();
    QList<QByteArray> parts { SharedJournalReader::headerLine(m_epoch) };
    for (qsizetype i = 0; i < events.size(); ++i)
        parts.append(sealLine(events[i], i + 1));
    if (!AtomicFile::write(m_folder.journalPath(m_folder.machine()), parts, error, 1))
        return false;
    m_nextLine = events.size() + 1;
    m_bytes = 0;
    for (const QByteArray &part : std::as_const(parts))
        m_bytes += part.size();
    return openForAppend(error);
}

bool SharedJournalWriter::writeMedia(const QString &name, const QByteArray &png, QString *error)
{
    if (!SharedFolder::isMediaName(name))
        return fail(error, QStringLiteral("not an image name: %1").arg(name));
    const QByteArray place = m_folder.machine() + "/media/" + name.toLatin1();
    return AtomicFile::write(m_folder.mediaFilePath(m_folder.machine(), name),
        SealedBox::seal(m_key, png, place), error, 2);
}
