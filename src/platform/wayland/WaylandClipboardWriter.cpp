// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandClipboardWriter.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

WaylandClipboardWriter::WaylandClipboardWriter()
    : m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    m_thread = std::thread([this] { run(); });
}

WaylandClipboardWriter::~WaylandClipboardWriter()
{
    m_stopRequested = true;
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
    m_thread.join();
    for (const Job &job : m_incoming)
        ::close(job.fd);
    ::close(m_wakeFd);
}

void WaylandClipboardWriter::serve(int fd, const QByteArray &bytes)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    {
        const std::lock_guard lock(m_mutex);
        m_incoming.push_back(Job { fd, bytes, 0, Clock::now() });
    }
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

void WaylandClipboardWriter::run()
{
    // A reader that closes its end early must cost us an EPIPE, not the process.
    sigset_t pipeSignal;
    ::sigemptyset(&pipeSignal);
    ::sigaddset(&pipeSignal, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    std::vector<Job> jobs;
    while (!m_stopRequested) {
        {
            const std::lock_guard lock(m_mutex);
            std::move(m_incoming.begin(), m_incoming.end(), std::back_inserter(jobs));
            m_incoming.clear();
        }
        const auto now = Clock::now();
        jobs.erase(std::remove_if(jobs.begin(), jobs.end(),
                       [now](Job &job) {
                           const bool stalled = now - job.lastProgress > stalledReaderLimit;
                           if (stalled || !advance(job)) {
                               ::close(job.fd);
                               return true;
                           }
                           return false;
                       }),
            jobs.end());

        std::vector<pollfd> fds { { m_wakeFd, POLLIN, 0 } };
        auto wakeAt = Clock::time_point::max();
        for (const Job &job : jobs) {
            fds.push_back({ job.fd, POLLOUT, 0 });
            wakeAt = std::min(wakeAt, job.lastProgress + stalledReaderLimit);
        }
        const int timeout = jobs.empty()
            ? -1
            : int(std::chrono::ceil<std::chrono::milliseconds>(wakeAt - Clock::now()).count()) + 1;
        ::poll(fds.data(), fds.size(), std::max(timeout, jobs.empty() ? -1 : 0));
        quint64 drained = 0;
        [[maybe_unused]] const ssize_t got = ::read(m_wakeFd, &drained, sizeof drained);
    }
    for (const Job &job : jobs)
        ::close(job.fd);
}

bool WaylandClipboardWriter::advance(Job &job)
{
    while (job.written < job.bytes.size()) {
        const ssize_t n = ::write(job.fd, job.bytes.constData() + job.written,
            size_t(std::min<qsizetype>(job.bytes.size() - job.written, 1 << 16)));
        if (n > 0) {
            job.written += n;
            job.lastProgress = Clock::now();
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // The pipe is full: wait for the reader. Any other error: it is gone.
        return n < 0 && errno == EAGAIN;
    }
    return false;
}
