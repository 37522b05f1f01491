// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <dirent.h>
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

// Keeps errno across the close of a descriptor that failed us.
void closeKeepingErrno(int fd)
{
    const int saved = errno;
    ::close(fd);
    errno = saved;
}

} // namespace

bool write(int folder, const QString &path, const QList<QByteArray> &parts, QString *error)
{
    const QByteArray target = QFile::encodeName(QFileInfo(path).fileName());
    const QByteArray temporary = target + ".tmp";
    const QString shownTemporary = path + QStringLiteral(".tmp");
    // A leftover temporary file goes first: creating it anew, exclusively,
    // never writes through a link that stands in its place.
    ::unlinkat(folder, temporary.constData(), 0);
    const int fd = ::openat(
        folder, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(error, QStringLiteral("cannot create %1").arg(shownTemporary));
    bool written = writeAll(fd, parts) && ::fsync(fd) == 0;
    int cause = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        cause = errno;
    }
    if (!written) {
        ::unlinkat(folder, temporary.constData(), 0);
        errno = cause;
        return fail(error, QStringLiteral("cannot write %1").arg(shownTemporary));
    }
    // A link at the target is replaced, not followed.
    if (::renameat(folder, temporary.constData(), folder, target.constData()) != 0) {
        cause = errno;
        ::unlinkat(folder, temporary.constData(), 0);
        errno = cause;
        return fail(error, QStringLiteral("cannot replace %1").arg(path));
    }
    ::fsync(folder);
    return true;
}

bool write(const QString &path, const QList<QByteArray> &parts, QString *error, int ownLevels)
{
    const QString dir = QFileInfo(path).absolutePath();
    // Above the program's own folders, links are the user's to make (an
    // autostart folder kept elsewhere).
    const int folder = openFolder(dir, ownLevels);
    if (folder < 0)
        return fail(error, QStringLiteral("cannot open %1").arg(dir));
    const bool written = write(folder, path, parts, error);
    ::close(folder);
    return written;
}

bool makePrivateDir(const QString &path)
{
    if (!QDir().mkpath(path))
        return false;
    const int fd = openFolder(path);
    if (fd < 0)
        return false;
    const bool ok = ::fchmod(fd, 0700) == 0;
    ::close(fd);
    return ok;
}

void makePrivateFile(const QString &path)
{
    const int fd = openFile(path, 0);
    if (fd >= 0) {
        ::fchmod(fd, 0600);
        ::close(fd);
    }
}

Kind kindOf(const QString &path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return Kind::missing;
    if (S_ISLNK(st.st_mode))
        return Kind::link;
    if (S_ISDIR(st.st_mode))
        return Kind::folder;
    return S_ISREG(st.st_mode) ? Kind::file : Kind::other;
}

int openFolder(const QString &path, int ownLevels)
{
    QString start = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QStringList own;
    for (int i = 0; i < ownLevels && start != QLatin1String("/"); ++i) {
        own.prepend(QFileInfo(start).fileName());
        start = QFileInfo(start).path();
    }
    // Above the program's own folders, links are the user's to make.
    int fd = ::open(QFile::encodeName(start).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (const QString &name : std::as_const(own)) {
        if (fd < 0)
            break;
        const int next = ::openat(fd, QFile::encodeName(name).constData(),
            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        closeKeepingErrno(fd);
        fd = next;
    }
    return fd;
}

int openFile(const QString &path, int ownLevels)
{
    const QFileInfo info(path);
    const int folder = openFolder(info.absolutePath(), ownLevels);
    if (folder < 0)
        return -1;
    // Not blocking on a FIFO in the file's place.
    const int fd = ::openat(folder, QFile::encodeName(info.fileName()).constData(),
        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    closeKeepingErrno(folder);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool removeFile(const QString &path, int ownLevels)
{
    const QFileInfo info(path);
    const int folder = openFolder(info.absolutePath(), ownLevels);
    if (folder < 0)
        return false;
    const QByteArray name = QFile::encodeName(info.fileName());
    struct stat st;
    const bool removed = ::fstatat(folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0
        && S_ISREG(st.st_mode) && ::unlinkat(folder, name.constData(), 0) == 0;
    ::close(folder);
    return removed;
}

void forEachFile(int folder, const std::function<bool(const QString &, const struct stat &)> &visit)
{
    // The listing has a descriptor of its own; `folder` stays open.
    const int listed = ::dup(folder);
    DIR *dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (!dir) {
        if (listed >= 0)
            ::close(listed);
        return;
    }
    ::rewinddir(dir);
    QList<QByteArray> names;
    while (const dirent *entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.append(QByteArray(entry->d_name));
    }
    ::closedir(dir);
    for (const QByteArray &name : std::as_const(names)) {
        struct stat st;
        if (::fstatat(folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0
            || !S_ISREG(st.st_mode))
            continue;
        if (visit(QFile::decodeName(name), st))
            ::unlinkat(folder, name.constData(), 0);
    }
}

} // namespace AtomicFile
