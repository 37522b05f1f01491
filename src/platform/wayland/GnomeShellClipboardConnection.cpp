// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/GnomeShellClipboardConnection.h"

#include "pasteboard/ClipboardReading.h"
#include "platform/wayland/ClipboardPipe.h"
#include "platform/wayland/GnomeShellBus.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

GnomeShellClipboardConnection::GnomeShellClipboardConnection(const QDBusConnection &bus)
    : m_bus(bus)
{
}

GnomeShellClipboardConnection::~GnomeShellClipboardConnection()
{
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

bool GnomeShellClipboardConnection::open(QString *errorMessage)
{
    if (!GnomeShellBus::isAvailable(m_bus)) {
        *errorMessage = QStringLiteral("the GNOME Shell companion is not on the session bus");
        return false;
    }
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        *errorMessage = QStringLiteral("cannot create the reader's wake-up descriptor");
        return false;
    }
    return true;
}

void GnomeShellClipboardConnection::wake()
{
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

void GnomeShellClipboardConnection::requestStop()
{
    m_stopRequested = true;
    wake();
}

void GnomeShellClipboardConnection::waitForWake(std::chrono::milliseconds timeout)
{
    pollfd wake { m_wakeFd, POLLIN, 0 };
    if (::poll(&wake, 1, int(timeout.count())) > 0) {
        quint64 drained = 0;
        [[maybe_unused]] const ssize_t got = ::read(m_wakeFd, &drained, sizeof drained);
    }
}

ClipboardRead GnomeShellClipboardConnection::read(quint32 serial, const QString &mimeType,
    qint64 budget, const std::function<bool()> &interrupted,
    const std::function<std::chrono::milliseconds()> &stallLimit)
{
    int fds[2];
    if (!ClipboardPipe::open(fds))
        return { ClipboardReadStatus::refused, {} };
    {
        // The message holds a copy of the write end until it goes; only
        // then can the companion's close end the transfer.
        const QDBusMessage reply = m_bus.call(
            GnomeShellBus::call(GnomeShellBus::Member::readClipboard,
                { serial, mimeType, QVariant::fromValue(QDBusUnixFileDescriptor(fds[1])) }),
            QDBus::Block, int(ClipboardReading::requestDeadline.count()));
        ::close(fds[1]);
        if (reply.type() == QDBusMessage::ErrorMessage) {
            ::close(fds[0]);
            // A newer copy is on its way; anything else: this type is not to be had.
            if (reply.errorName() == GnomeShellBus::Error::stale)
                return { ClipboardReadStatus::interrupted, {} };
            return { reply.errorName() == QDBusError::errorString(QDBusError::NoReply)
                    ? ClipboardReadStatus::timedOut
                    : ClipboardReadStatus::refused,
                {} };
        }
    }
    const auto poll = [this](int fd, ClipboardPipe::Clock::time_point deadline) -> short {
        const auto wait
            = std::chrono::ceil<std::chrono::milliseconds>(deadline - ClipboardPipe::Clock::now());
        pollfd polled[2] = { { fd, POLLIN, 0 }, { m_wakeFd, POLLIN, 0 } };
        const int ready = ::poll(polled, 2, int(std::max<qint64>(0, wait.count())));
        if (ready > 0 && (polled[1].revents & POLLIN)) {
            quint64 drained = 0;
            [[maybe_unused]] const ssize_t got = ::read(m_wakeFd, &drained, sizeof drained);
        }
        return ready > 0 ? polled[0].revents : 0;
    };
    return ClipboardPipe::read(fds[0], budget,
        { poll, [this, &interrupted] { return finished() || interrupted(); }, stallLimit });
}
