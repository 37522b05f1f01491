// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/ClipboardPipe.h"

#include "pasteboard/ClipboardReading.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

bool ClipboardPipe::open(int fds[2])
{
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    return true;
}

ClipboardRead ClipboardPipe::read(int fd, qint64 budget, const Waits &waits)
{
    const Clock::time_point started = Clock::now();
    const auto finish = [fd](ClipboardReadStatus status, QByteArray data = {}) {
        ::close(fd);
        return ClipboardRead { status, std::move(data) };
    };

    QByteArray data;
    auto lastProgress = started;
    for (;;) {
        if (waits.interrupted())
            return finish(ClipboardReadStatus::interrupted);
        const auto deadline = std::min(lastProgress + waits.stallLimit(),
            started + ClipboardReading::transferAllowance(data.size()));
        if (Clock::now() >= deadline)
            return finish(ClipboardReadStatus::timedOut);
        if (!(waits.poll(fd, deadline) & (POLLIN | POLLHUP | POLLERR)))
            continue;
        for (;;) {
            char buffer[1 << 16];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                if (data.size() + n > budget)
                    return finish(ClipboardReadStatus::overBudget);
                data.append(buffer, n);
                lastProgress = Clock::now();
                continue;
            }
            if (n == 0) {
                // An owner that cannot give this type closes the pipe
                // without writing; another alternative may still work.
                return data.isEmpty() ? finish(ClipboardReadStatus::refused)
                                      : finish(ClipboardReadStatus::ok, std::move(data));
            }
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN)
                break;
            return finish(ClipboardReadStatus::refused);
        }
    }
}
