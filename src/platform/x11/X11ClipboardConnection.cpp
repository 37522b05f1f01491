// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11ClipboardConnection.h"

#include "pasteboard/ClipboardReading.h"
#include "platform/x11/X11Xcb.h"

#include <xcb/xfixes.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

template<typename T> using Reply = X11Xcb::Reply<T>;

constexpr quint8 eventType(const xcb_generic_event_t *event)
{
    return event->response_type & 0x7f;
}

} // namespace

X11ClipboardConnection::X11ClipboardConnection(const std::atomic<quint64> &epoch)
    : m_epoch(epoch)
{
}

X11ClipboardConnection::~X11ClipboardConnection()
{
    if (m_connection) {
        if (m_window != XCB_NONE && !xcb_connection_has_error(m_connection))
            xcb_destroy_window(m_connection, m_window);
        xcb_disconnect(m_connection);
    }
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

bool X11ClipboardConnection::open(QString *errorMessage)
{
    const auto failWith = [errorMessage](const char *message) {
        if (errorMessage)
            *errorMessage = QString::fromUtf8(message);
        return false;
    };

    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0)
        return failWith("cannot create the reader's wake-up descriptor");

    const X11Xcb::Opened opened = X11Xcb::open();
    m_connection = opened.connection;
    if (!opened.screen)
        return failWith("cannot connect to the X server");

    const xcb_query_extension_reply_t *xfixes
        = xcb_get_extension_data(m_connection, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present)
        return failWith("the X server has no XFIXES extension");
    m_xfixesFirstEvent = xfixes->first_event;
    // The extension refuses every other request until the version is agreed.
    Reply<xcb_xfixes_query_version_reply_t> version(xcb_xfixes_query_version_reply(
        m_connection, xcb_xfixes_query_version(m_connection, 5, 0), nullptr));
    if (!version)
        return failWith("the X server's XFIXES extension did not answer");

    const xcb_screen_t *screen = opened.screen;

    const char *names[]
        = { "CLIPBOARD", "TARGETS", "INCR", "UTF8_STRING", "_QUILLSTACK_SELECTION_0",
              "_QUILLSTACK_SELECTION_1", "_QUILLSTACK_SELECTION_2", "_QUILLSTACK_SELECTION_3" };
    std::array<xcb_intern_atom_cookie_t, std::size(names)> cookies {};
    for (std::size_t i = 0; i < std::size(names); ++i)
        cookies[i] = xcb_intern_atom(m_connection, 0, std::strlen(names[i]), names[i]);
    std::array<xcb_atom_t, std::size(names)> atoms {};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        Reply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(m_connection, cookies[i], nullptr));
        if (!reply)
            return failWith("cannot intern the clipboard atoms");
        atoms[i] = reply->atom;
    }
    m_clipboard = atoms[0];
    m_targets = atoms[1];
    m_incr = atoms[2];
    m_utf8String = atoms[3];
    std::copy(atoms.begin() + 4, atoms.end(), m_properties.begin());

    // Converted selections arrive as properties on this window; INCR chunks
    // are announced by PropertyNotify.
    m_window = xcb_generate_id(m_connection);
    const quint32 eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screen->root, -1, -1, 1, 1, 0,
        XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &eventMask);
    static constexpr char title[] = "Quillstack clipboard reader";
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_window, XCB_ATOM_WM_NAME,
        XCB_ATOM_STRING, 8, sizeof(title) - 1, title);
    xcb_xfixes_select_selection_input(m_connection, m_window, m_clipboard,
        XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
            | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
            | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    xcb_flush(m_connection);
    if (xcb_connection_has_error(m_connection))
        return failWith("the X server closed the reader's connection");
    return true;
}

void X11ClipboardConnection::requestStop()
{
    m_stopRequested = true;
    if (m_wakeFd >= 0) {
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof(one));
    }
}

bool X11ClipboardConnection::finished() const
{
    return m_stopRequested || m_broken;
}

void X11ClipboardConnection::queueCurrentOwner()
{
    Reply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, m_clipboard), nullptr));
    if (!reply)
        return;
    // The owner's acquisition time is unknown here; CurrentTime is what
    // owners accept from requestors that have no event to quote.
    m_pendingChange = X11OwnerChange { reply->owner, XCB_CURRENT_TIME, m_epoch.load(), true };
}

void X11ClipboardConnection::waitForOwnerChange()
{
    if (!m_pendingChange)
        waitFor([](const xcb_generic_event_t *) { return false; }, std::nullopt);
}

std::optional<X11OwnerChange> X11ClipboardConnection::takeOwnerChange()
{
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
        noteOwnerChange(event);
        std::free(event);
    }
    return std::exchange(m_pendingChange, std::nullopt);
}

bool X11ClipboardConnection::hasOwnerChange()
{
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
        noteOwnerChange(event);
        std::free(event);
    }
    return m_pendingChange.has_value();
}

ClipboardRead X11ClipboardConnection::read(
    quint32 target, quint32 time, qint64 budget, bool askAgain, int *asked)
{
    const Clock::time_point started = Clock::now();
    const xcb_atom_t requested = property();
    xcb_atom_t answered = XCB_NONE;
    const Matcher isAnswer = [&](const xcb_generic_event_t *event) {
        if (eventType(event) != XCB_SELECTION_NOTIFY)
            return false;
        const auto *notify = reinterpret_cast<const xcb_selection_notify_event_t *>(event);
        if (notify->requestor != m_window || notify->selection != m_clipboard
            || notify->target != target
            || (notify->property != XCB_NONE && notify->property != requested))
            return false;
        answered = notify->property;
        return true;
    };

    // Every request names the same property, so whichever of them is
    // answered first is the answer.
    const Clock::time_point deadline = started + ClipboardReading::requestDeadline;
    const int limit = askAgain ? ClipboardReading::askLimit : 1;
    Clock::time_point askAgainAt = started;
    Wait wait = Wait::timedOut;
    int requests = 0;
    while (wait == Wait::timedOut && requests < limit && Clock::now() < deadline) {
        xcb_convert_selection(m_connection, m_window, m_clipboard, target, requested, time);
        xcb_flush(m_connection);
        ++requests;
        if (requests < limit)
            askAgainAt += ClipboardReading::askAgainAfter[std::size_t(requests - 1)];
        wait = waitFor(isAnswer, requests < limit ? std::min(askAgainAt, deadline) : deadline);
    }
    if (asked)
        *asked = requests;
    // The owner may still answer the requests made in vain; their late
    // bytes must not land in what the next read takes from this property.
    if (wait != Wait::matched || requests > 1)
        retireProperty();
    if (wait != Wait::matched) {
        return { wait == Wait::timedOut ? ClipboardReadStatus::timedOut
                                        : ClipboardReadStatus::interrupted,
            {} };
    }
    if (answered == XCB_NONE)
        return { ClipboardReadStatus::refused, {} };

    // A zero-length read tells the type and size before anything is copied.
    Reply<xcb_get_property_reply_t> head(xcb_get_property_reply(m_connection,
        xcb_get_property(m_connection, 0, m_window, requested, XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
        nullptr));
    if (!head || head->type == XCB_NONE)
        return { ClipboardReadStatus::refused, {} };
    if (head->type == m_incr)
        return readIncremental(requested, budget, started);
    if (qint64(head->bytes_after) > budget) {
        xcb_delete_property(m_connection, m_window, requested);
        xcb_flush(m_connection);
        return { ClipboardReadStatus::overBudget, {} };
    }
    Reply<xcb_get_property_reply_t> full(xcb_get_property_reply(m_connection,
        xcb_get_property(m_connection, 1, m_window, requested, XCB_GET_PROPERTY_TYPE_ANY, 0,
            (head->bytes_after + 3) / 4),
        nullptr));
    if (!full)
        return { ClipboardReadStatus::refused, {} };
    const int length = xcb_get_property_value_length(full.get());
    return { ClipboardReadStatus::ok,
        QByteArray(static_cast<const char *>(xcb_get_property_value(full.get())), length),
        full->format };
}

ClipboardRead X11ClipboardConnection::readIncremental(
    xcb_atom_t requested, qint64 budget, Clock::time_point started)
{
    Reply<xcb_get_property_reply_t> marker(xcb_get_property_reply(m_connection,
        xcb_get_property(m_connection, 0, m_window, requested, XCB_GET_PROPERTY_TYPE_ANY, 0, 1),
        nullptr));
    // The announced size is a lower bound: enough to give up at once.
    if (marker && marker->format == 32 && xcb_get_property_value_length(marker.get()) >= 4) {
        const quint32 announced
            = *static_cast<const quint32 *>(xcb_get_property_value(marker.get()));
        if (qint64(announced) > budget) {
            retireProperty();
            return { ClipboardReadStatus::overBudget, {} };
        }
    }

    // Deleting the marker asks the owner for the first chunk.
    xcb_delete_property(m_connection, m_window, requested);
    xcb_flush(m_connection);

    QByteArray data;
    int format = 8;
    for (;;) {
        // A slow but steady owner may take its time; one that stalls, or
        // trickles slower than the allowance for its size, is given up on.
        const Clock::time_point deadline
            = std::min(Clock::now() + ClipboardReading::requestDeadline,
                started + ClipboardReading::transferAllowance(data.size()));
        const Wait wait = waitFor(
            [&](const xcb_generic_event_t *event) {
                if (eventType(event) != XCB_PROPERTY_NOTIFY)
                    return false;
                const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(event);
                return notify->window == m_window && notify->atom == requested
                    && notify->state == XCB_PROPERTY_NEW_VALUE;
            },
            deadline);
        if (wait != Wait::matched) {
            retireProperty();
            return { wait == Wait::timedOut ? ClipboardReadStatus::timedOut
                                            : ClipboardReadStatus::interrupted,
                {} };
        }
        Reply<xcb_get_property_reply_t> head(xcb_get_property_reply(m_connection,
            xcb_get_property(m_connection, 0, m_window, requested, XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
            nullptr));
        if (!head) {
            retireProperty();
            return { ClipboardReadStatus::refused, {} };
        }
        if (data.size() + qint64(head->bytes_after) > budget) {
            retireProperty();
            return { ClipboardReadStatus::overBudget, {} };
        }
        // Reading with delete asks the owner for the next chunk.
        Reply<xcb_get_property_reply_t> chunk(xcb_get_property_reply(m_connection,
            xcb_get_property(m_connection, 1, m_window, requested, XCB_GET_PROPERTY_TYPE_ANY, 0,
                (head->bytes_after + 3) / 4),
            nullptr));
        xcb_flush(m_connection);
        if (!chunk) {
            retireProperty();
            return { ClipboardReadStatus::refused, {} };
        }
        const int length = xcb_get_property_value_length(chunk.get());
        if (length == 0)
            return { ClipboardReadStatus::ok, data, format };
        format = chunk->format;
        data.append(static_cast<const char *>(xcb_get_property_value(chunk.get())), length);
    }
}

QList<std::pair<QString, quint32>> X11ClipboardConnection::atomNames(const QList<quint32> &atoms)
{
    QList<std::pair<xcb_atom_t, xcb_get_atom_name_cookie_t>> pending;
    for (const xcb_atom_t atom : atoms) {
        if (atom != XCB_NONE && !m_atomNames.contains(atom))
            pending.append({ atom, xcb_get_atom_name(m_connection, atom) });
    }
    for (const auto &[atom, cookie] : std::as_const(pending)) {
        Reply<xcb_get_atom_name_reply_t> reply(
            xcb_get_atom_name_reply(m_connection, cookie, nullptr));
        if (reply) {
            m_atomNames.insert(atom,
                QString::fromUtf8(xcb_get_atom_name_name(reply.get()),
                    xcb_get_atom_name_name_length(reply.get())));
        }
    }
    QList<std::pair<QString, quint32>> names;
    for (const xcb_atom_t atom : atoms) {
        const auto found = m_atomNames.constFind(atom);
        const bool seen = std::any_of(names.cbegin(), names.cend(),
            [atom](const auto &named) { return named.second == atom; });
        if (found != m_atomNames.cend() && !seen)
            names.append({ *found, atom });
    }
    return names;
}

X11ClipboardConnection::Wait X11ClipboardConnection::waitFor(
    const Matcher &matcher, std::optional<Clock::time_point> deadline)
{
    for (;;) {
        if (finished())
            return Wait::interrupted;
        if (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            const bool ownerChanged = noteOwnerChange(event);
            const bool matched = !ownerChanged && matcher(event);
            std::free(event);
            if (ownerChanged)
                return Wait::interrupted;
            if (matched)
                return Wait::matched;
            continue;
        }
        if (xcb_connection_has_error(m_connection)) {
            m_broken = true;
            return Wait::interrupted;
        }
        int timeout = -1;
        if (deadline) {
            const auto left
                = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
            if (left <= 0)
                return Wait::timedOut;
            timeout = int(left);
        }
        pollfd fds[2]
            = { { xcb_get_file_descriptor(m_connection), POLLIN, 0 }, { m_wakeFd, POLLIN, 0 } };
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR) {
            m_broken = true;
            return Wait::interrupted;
        }
    }
}

bool X11ClipboardConnection::noteOwnerChange(const xcb_generic_event_t *event)
{
    if (eventType(event) != m_xfixesFirstEvent + XCB_XFIXES_SELECTION_NOTIFY)
        return false;
    const auto *notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t *>(event);
    if (notify->selection != m_clipboard)
        return false;
    m_pendingChange = X11OwnerChange { notify->owner, notify->timestamp, m_epoch.load(), false,
        notify->subtype != XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER };
    return true;
}

void X11ClipboardConnection::retireProperty()
{
    m_propertyIndex = (m_propertyIndex + 1) % m_properties.size();
}
