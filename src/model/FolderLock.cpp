// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/FolderLock.h"

#include "model/AtomicFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

FolderLock::FolderLock(const QString &folder, Mode mode)
    : m_folder(folder)
{
    const bool exclusive = mode == Mode::exclusive;
    const auto fail = [&](const QString &what) {
        m_error = QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    };
    // A folder that is a link is not ours, and nothing is written there.
    if (exclusive && !AtomicFile::makePrivateDir(folder)) {
        fail(QStringLiteral("cannot create %1").arg(folder));
        return;
    }
    const int dir = AtomicFile::openFolder(folder);
    if (dir < 0) {
        fail(QStringLiteral("cannot open %1").arg(folder));
        return;
    }
    const int flags = exclusive ? O_RDWR | O_CREAT : O_RDONLY;
    m_fd = ::openat(dir, "lock", flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    ::close(dir);
    const QString path = folder + QStringLiteral("/lock");
    struct stat st;
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) {
        fail(QStringLiteral("cannot open %1").arg(path));
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        fail(QStringLiteral("%1 is not a plain file").arg(path));
        return;
    }
    if (exclusive)
        ::fchmod(m_fd, 0600);
    if (::flock(m_fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0
        || (exclusive && errno == EWOULDBLOCK && outwaitReaders())) {
        m_state = State::taken;
        return;
    }
    if (errno == EWOULDBLOCK) {
        ::close(m_fd);
        m_fd = -1;
        m_state = State::held;
        return;
    }
    fail(QStringLiteral("cannot lock %1").arg(path));
}

bool FolderLock::outwaitReaders()
{
    // While it can be had shared, only readers hold it: an export from the
    // files, which ends. A start waits for them rather than take them for a
    // running program.
    constexpr int attempts = 600; // 30 s: an export of a large history
    for (int i = 0; i < attempts; ++i) {
        if (::flock(m_fd, LOCK_SH | LOCK_NB) != 0)
            return false; // a program holds it
        ::usleep(50 * 1000);
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
            return true;
    }
    errno = EWOULDBLOCK;
    return false;
}

FolderLock::~FolderLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}
