// SPDX-License-Identifier: GPL-3.0-or-later
// One X11 client that puts COUNT texts on the clipboard, INTERVAL ms apart,
// re-taking the selection for each ("PREFIX-0", "PREFIX-1", ...), and serves
// them as text until LINGER ms after the last. A clipboard manager that only
// notices new owners misses these; one that watches the selection does not.
//
//   qs-clipboard-burst PREFIX COUNT INTERVAL_MS [LINGER_MS]
#include <xcb/xcb.h>

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

xcb_atom_t intern(xcb_connection_t *connection, const char *name)
{
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection,
            xcb_intern_atom(connection, 0, std::char_traits<char>::length(name), name), nullptr),
        &std::free);
    return reply ? reply->atom : XCB_NONE;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: qs-clipboard-burst PREFIX COUNT INTERVAL_MS [LINGER_MS]\n");
        return 2;
    }
    const std::string prefix = argv[1];
    const int count = std::atoi(argv[2]);
    const auto interval = std::chrono::milliseconds(std::atoi(argv[3]));
    const auto linger = std::chrono::milliseconds(argc > 4 ? std::atoi(argv[4]) : 2000);

    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "qs-clipboard-burst: cannot connect to the X server\n");
        return 1;
    }
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t window = xcb_generate_id(connection);
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
        XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t clipboard = intern(connection, "CLIPBOARD");
    const xcb_atom_t targets = intern(connection, "TARGETS");
    const xcb_atom_t utf8 = intern(connection, "UTF8_STRING");
    const xcb_atom_t textPlain = intern(connection, "text/plain;charset=utf-8");
    const xcb_atom_t offered[] = { targets, utf8, textPlain, XCB_ATOM_STRING };

    int next = 0;
    std::string current;
    auto due = Clock::now();
    bool waitingForTime = false;
    const int fd = xcb_get_file_descriptor(connection);
    for (;;) {
        const auto now = Clock::now();
        if (next == count && now >= due)
            break;
        if (next < count && !waitingForTime && now >= due) {
            // A zero-length append gives a server timestamp to own the selection with.
            xcb_change_property(connection, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME,
                XCB_ATOM_STRING, 8, 0, nullptr);
            xcb_flush(connection);
            waitingForTime = true;
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - now).count();
        pollfd descriptor { fd, POLLIN, 0 };
        if (!xcb_poll_for_queued_event(connection))
            poll(&descriptor, 1, waitingForTime ? 1000 : int(std::max<long long>(wait, 0)));
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            const uint8_t type = event->response_type & 0x7f;
            if (type == XCB_PROPERTY_NOTIFY && waitingForTime) {
                const auto *change = reinterpret_cast<xcb_property_notify_event_t *>(event);
                current = prefix + '-' + std::to_string(next);
                xcb_set_selection_owner(connection, window, clipboard, change->time);
                xcb_flush(connection);
                waitingForTime = false;
                ++next;
                due = Clock::now() + (next == count ? linger : interval);
            } else if (type == XCB_SELECTION_REQUEST) {
                const auto *request = reinterpret_cast<xcb_selection_request_event_t *>(event);
                const xcb_atom_t property
                    = request->property == XCB_NONE ? request->target : request->property;
                xcb_atom_t answer = property;
                if (request->target == targets) {
                    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request->requestor,
                        property, XCB_ATOM_ATOM, 32, 4, offered);
                } else if (request->target == utf8 || request->target == textPlain
                    || request->target == XCB_ATOM_STRING) {
                    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request->requestor,
                        property, request->target, 8, current.size(), current.data());
                } else {
                    answer = XCB_NONE;
                }
                xcb_selection_notify_event_t reply {};
                reply.response_type = XCB_SELECTION_NOTIFY;
                reply.time = request->time;
                reply.requestor = request->requestor;
                reply.selection = request->selection;
                reply.target = request->target;
                reply.property = answer;
                xcb_send_event(connection, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                    reinterpret_cast<const char *>(&reply));
                xcb_flush(connection);
            }
            std::free(event);
        }
        if (xcb_connection_has_error(connection))
            return 1;
    }
    xcb_disconnect(connection);
    return 0;
}
