// SPDX-License-Identifier: GPL-3.0-or-later
#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace AtomicFile {

namespace {

bool fail(QString *error, const QString &what)
{
    if (error)
        *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool writeAll(int fd, const QList<QByteArray> &parts)
{
    // writev in batches; IOV_MAX is at least 1024 on Linux.
    constexpr int batch = 512;
    iovec vectors[batch];
    qsizetype index = 0;
    qsizetype offsetInFirst = 0;
    while (index < parts.size()) {
        int count = 0;
        for (qsizetype i = index; i < parts.size() && count < batch; ++i) {
            const QByteArray &part = parts[i];
            const qsizetype skip = i == index ? offsetInFirst : 0;
            if (part.size() - skip == 0)
                continue;
            vectors[count].iov_base = const_cast<char *>(part.constData() + skip);
            vectors[count].iov_len = size_t(part.size() - skip);
            ++count;
        }
        if (count == 0)
            return true;
        const ssize_t written = ::writev(fd, vectors, count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        // Advance past what was written.
        qsizetype left = written;
        while (index < parts.size()) {
            const qsizetype remaining = parts[index].size() - offsetInFirst;
            if (left < remaining) {
                offsetInFirst += left;
                break;
            }
            left -= remaining;
            ++index;
            offsetInFirst = 0;
        }
    }
    return true;
}

void syncDirectoryOf(const QString &path)
{
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool write(const QString &path, const QList<QByteArray> &parts, QString *error)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary = target + ".tmp";
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(error, QStringLiteral("cannot create %1").arg(QFile::decodeName(temporary)));
    // A leftover temporary file may have been created with other modes.
    ::fchmod(fd, 0600);
    if (!writeAll(fd, parts) || ::fsync(fd) != 0) {
        const int saved = errno;
        ::close(fd);
        ::unlink(temporary.constData());
        errno = saved;
        return fail(error, QStringLiteral("cannot write %1").arg(QFile::decodeName(temporary)));
    }
    if (::close(fd) != 0) {
        ::unlink(temporary.constData());
        return fail(error, QStringLiteral("cannot write %1").arg(QFile::decodeName(temporary)));
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        const int saved = errno;
        ::unlink(temporary.constData());
        errno = saved;
        return fail(error, QStringLiteral("cannot replace %1").arg(path));
    }
    syncDirectoryOf(path);
    return true;
}

bool makePrivateDir(const QString &path)
{
    if (!QDir().mkpath(path))
        return false;
    return ::chmod(QFile::encodeName(path).constData(), 0700) == 0;
}

void makePrivateFile(const QString &path)
{
    ::chmod(QFile::encodeName(path).constData(), 0600);
}

} // namespace AtomicFile
