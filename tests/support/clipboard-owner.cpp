// SPDX-License-Identifier: GPL-3.0-or-later
// Takes the CLIPBOARD selection offering exactly the targets given on the
// command line, serves them (INCR for large data) and exits when another
// client takes the selection. Plain xcb, so that tests decide every target
// that is offered.
//
//   qs-clipboard-owner --target NAME FILE    offer NAME, the bytes of FILE
//                      [--incr-above BYTES]  INCR for data larger than this
//                      [--chunk BYTES]       INCR chunk size
//                      [--announce BYTES]    size announced for INCR (a lie)
//                      [--stop]              SIGSTOP itself once it owns it
//                      [--ignore NAME]       never answer a request for NAME
//                                            (TARGETS too); print "request"
//                                            for each one
//                      [--ignore-first NAME] leave the first request for NAME
//                                            unanswered, answer later ones
//                      [--report]            print "taken NAME" once the
//                                            requestor has read (and deleted)
//                                            the answer to a request for NAME
//                      [--delay MS]          answer each request MS ms after
//                                            it came, as a busy owner does:
//                                            requests that wait meanwhile are
//                                            answered together
//                      [--targets refuse|bytes]  refuse TARGETS, or answer it
//                                            with bytes that are no atoms
//                      [--trickle MS]        wait MS ms before each INCR chunk
//                      [--extra-targets N]   also list N made-up targets
//                      [--churn N]           take the selection again N times,
//                                            every 2 ms, the first target's
//                                            data becoming "DATA i"; prints
//                                            "churned" after the last
// Options that name a target may be given for several.
// Prints "ready" once it owns the selection.

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <iterator>
#include <list>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <poll.h>
#include <unistd.h>

namespace {

struct Target
{
    std::string name;
    std::string data;
    xcb_atom_t atom = XCB_NONE;
};

// An INCR transfer waiting for the requestor to delete its property.
struct Transfer
{
    xcb_window_t requestor;
    xcb_atom_t property;
    xcb_atom_t type;
    const std::string *data;
    std::size_t offset;
};

struct Options
{
    std::vector<Target> targets;
    std::size_t incrAbove = 256 * 1024;
    std::size_t chunk = 64 * 1024;
    long long announce = -1;
    bool stop = false;
    bool report = false;
    unsigned delayMs = 0;
    std::string targetsReply;
    unsigned trickleMs = 0;
    unsigned extraTargets = 0;
    unsigned churn = 0;
    std::vector<std::string> ignored;
    std::vector<std::string> ignoreFirst;
};

[[noreturn]] void usage(const char *message)
{
    std::fprintf(stderr, "clipboard-owner: %s\n", message);
    std::exit(2);
}

Target readTarget(const std::string &name, const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        usage("cannot read a target's file");
    return { name, std::string(std::istreambuf_iterator<char>(file), {}) };
}

Options parseOptions(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                usage("an option lacks its value");
            return argv[++i];
        };
        if (arg == "--target") {
            const std::string name = value();
            options.targets.push_back(readTarget(name, value()));
        } else if (arg == "--incr-above") {
            options.incrAbove = std::stoull(value());
        } else if (arg == "--chunk") {
            options.chunk = std::max<std::size_t>(1, std::stoull(value()));
        } else if (arg == "--announce") {
            options.announce = std::stoll(value());
        } else if (arg == "--stop") {
            options.stop = true;
        } else if (arg == "--ignore") {
            options.ignored.push_back(value());
        } else if (arg == "--report") {
            options.report = true;
        } else if (arg == "--delay") {
            options.delayMs = unsigned(std::stoul(value()));
        } else if (arg == "--targets") {
            options.targetsReply = value();
        } else if (arg == "--trickle") {
            options.trickleMs = unsigned(std::stoul(value()));
        } else if (arg == "--extra-targets") {
            options.extraTargets = unsigned(std::stoul(value()));
        } else if (arg == "--churn") {
            options.churn = unsigned(std::stoul(value()));
        } else if (arg == "--ignore-first") {
            options.ignoreFirst.push_back(value());
        } else {
            usage("unknown option");
        }
    }
    return options;
}

xcb_atom_t intern(xcb_connection_t *connection, const std::string &name)
{
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, name.size(), name.c_str()), nullptr),
        &std::free);
    return reply ? reply->atom : XCB_NONE;
}

// A server timestamp, from the PropertyNotify of a zero-length append.
xcb_timestamp_t serverTime(xcb_connection_t *connection, xcb_window_t window)
{
    xcb_change_property(
        connection, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(connection);
    while (xcb_generic_event_t *event = xcb_wait_for_event(connection)) {
        const bool found = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY;
        const xcb_timestamp_t time
            = found ? reinterpret_cast<xcb_property_notify_event_t *>(event)->time : 0;
        std::free(event);
        if (found)
            return time;
    }
    return XCB_CURRENT_TIME;
}

void notify(
    xcb_connection_t *connection, const xcb_selection_request_event_t *request, xcb_atom_t property)
{
    xcb_selection_notify_event_t event {};
    event.response_type = XCB_SELECTION_NOTIFY;
    event.time = request->time;
    event.requestor = request->requestor;
    event.selection = request->selection;
    event.target = request->target;
    event.property = property;
    xcb_send_event(connection, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
        reinterpret_cast<const char *>(&event));
}

} // namespace

int main(int argc, char **argv)
{
    Options options = parseOptions(argc, argv);
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection))
        usage("cannot connect to the X server");
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);

    const xcb_window_t window = xcb_generate_id(connection);
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screens.data->root, 0, 0, 1, 1, 0,
        XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t clipboard = intern(connection, "CLIPBOARD");
    const xcb_atom_t targetsAtom = intern(connection, "TARGETS");
    const xcb_atom_t timestampAtom = intern(connection, "TIMESTAMP");
    const xcb_atom_t incr = intern(connection, "INCR");
    std::set<xcb_atom_t> ignored, ignoredOnce;
    for (const std::string &name : options.ignored)
        ignored.insert(intern(connection, name));
    for (const std::string &name : options.ignoreFirst)
        ignoredOnce.insert(intern(connection, name));
    std::vector<xcb_atom_t> offered = { targetsAtom, timestampAtom };
    for (Target &target : options.targets) {
        target.atom = intern(connection, target.name);
        offered.push_back(target.atom);
    }
    for (unsigned i = 0; i < options.extraTargets; ++i)
        offered.push_back(intern(connection, "application/x-made-up-" + std::to_string(i)));
    if (options.churn > 0 && options.targets.empty())
        usage("--churn changes the first target's data");
    const std::string churnBase = options.churn > 0 ? options.targets.front().data : std::string();

    const xcb_timestamp_t acquired = serverTime(connection, window);
    xcb_set_selection_owner(connection, window, clipboard, acquired);
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(
            connection, xcb_get_selection_owner(connection, clipboard), nullptr),
        &std::free);
    if (!owner || owner->owner != window)
        usage("cannot take the clipboard");
    std::puts("ready");
    std::fflush(stdout);
    if (options.stop)
        std::raise(SIGSTOP);

    std::list<Transfer> transfers;
    // Answers whose reading --report tells: requestor, property, target name.
    struct Answer
    {
        xcb_window_t requestor;
        xcb_atom_t property;
        std::string name;
    };
    std::list<Answer> awaitingTake;
    const auto respond = [&](const xcb_selection_request_event_t *request) {
        // Requestors from before ICCCM 2 name no property.
        const xcb_atom_t property
            = request->property == XCB_NONE ? request->target : request->property;
        xcb_atom_t answer = property;
        const Target *target = nullptr;
        for (const Target &candidate : options.targets) {
            if (candidate.atom == request->target)
                target = &candidate;
        }
        if (request->target == targetsAtom && options.targetsReply == "refuse") {
            answer = XCB_NONE;
        } else if (request->target == targetsAtom && options.targetsReply == "bytes") {
            static const char garbage[] = "UTF8_STRING";
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request->requestor, property,
                XCB_ATOM_STRING, 8, sizeof(garbage) - 1, garbage);
        } else if (request->target == targetsAtom) {
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request->requestor, property,
                XCB_ATOM_ATOM, 32, offered.size(), offered.data());
        } else if (request->target == timestampAtom) {
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request->requestor, property,
                XCB_ATOM_INTEGER, 32, 1, &acquired);
        } else if (target && target->data.size() > options.incrAbove) {
            const uint32_t announced = options.announce >= 0 ? uint32_t(options.announce)
                                                             : uint32_t(target->data.size());
            const uint32_t watch = XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(connection, request->requestor, XCB_CW_EVENT_MASK, &watch);
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request->requestor, property,
                incr, 32, 1, &announced);
            transfers.push_back({ request->requestor, property, target->atom, &target->data, 0 });
        } else if (target) {
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request->requestor, property,
                target->atom, 8, target->data.size(), target->data.data());
        } else {
            answer = XCB_NONE;
        }
        const bool chunked = target && target->data.size() > options.incrAbove;
        if (options.report && answer != XCB_NONE && !chunked) {
            const uint32_t watch = XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(connection, request->requestor, XCB_CW_EVENT_MASK, &watch);
            awaitingTake.push_back({ request->requestor, property,
                request->target == targetsAtom ? "TARGETS"
                    : target                   ? target->name
                                               : "?" });
        }
        notify(connection, request, answer);
        xcb_flush(connection);
    };

    using Clock = std::chrono::steady_clock;
    std::deque<std::pair<Clock::time_point, xcb_selection_request_event_t>> delayed;
    const int fd = xcb_get_file_descriptor(connection);
    unsigned churned = 0;
    auto nextChurn = Clock::now();
    for (;;) {
        while (!delayed.empty() && delayed.front().first <= Clock::now()) {
            respond(&delayed.front().second);
            delayed.pop_front();
        }
        xcb_generic_event_t *event = xcb_poll_for_event(connection);
        if (!event && xcb_connection_has_error(connection))
            break;
        if (!event) {
            // Wakes for the next round of churn or delayed answer, else for events.
            std::optional<Clock::time_point> wake;
            if (churned < options.churn) {
                const auto now = Clock::now();
                if (now >= nextChurn) {
                    // A new owner time each round, as programs that re-copy in a loop do.
                    options.targets.front().data = churnBase + " " + std::to_string(++churned);
                    xcb_set_selection_owner(connection, window, clipboard, XCB_CURRENT_TIME);
                    xcb_flush(connection);
                    if (churned == options.churn) {
                        std::puts("churned");
                        std::fflush(stdout);
                    }
                    nextChurn = now + std::chrono::milliseconds(2);
                    continue;
                }
                wake = nextChurn;
            }
            if (!delayed.empty())
                wake = wake ? std::min(*wake, delayed.front().first) : delayed.front().first;
            int timeoutMs = -1;
            if (wake) {
                timeoutMs = std::max(0,
                    int(std::chrono::ceil<std::chrono::milliseconds>(*wake - Clock::now())
                            .count()));
            }
            pollfd wait { fd, POLLIN, 0 };
            ::poll(&wait, 1, timeoutMs);
            continue;
        }
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_SELECTION_CLEAR) {
            std::free(event);
            break;
        }
        const auto *request = reinterpret_cast<xcb_selection_request_event_t *>(event);
        if (type == XCB_SELECTION_REQUEST && ignored.count(request->target) > 0) {
            // Lets a test know that a requestor now waits on us.
            std::puts("request");
            std::fflush(stdout);
        } else if (type == XCB_SELECTION_REQUEST && ignoredOnce.erase(request->target) > 0) {
            // Left lying, as an owner does that misses a request.
        } else if (type == XCB_SELECTION_REQUEST && options.delayMs > 0) {
            delayed.emplace_back(
                Clock::now() + std::chrono::milliseconds(options.delayMs), *request);
        } else if (type == XCB_SELECTION_REQUEST) {
            respond(request);
        } else if (type == XCB_PROPERTY_NOTIFY) {
            const auto *change = reinterpret_cast<xcb_property_notify_event_t *>(event);
            for (auto it = awaitingTake.begin(); it != awaitingTake.end(); ++it) {
                if (change->state != XCB_PROPERTY_DELETE || it->requestor != change->window
                    || it->property != change->atom)
                    continue;
                std::printf("taken %s\n", it->name.c_str());
                std::fflush(stdout);
                awaitingTake.erase(it);
                break;
            }
            for (auto it = transfers.begin(); it != transfers.end(); ++it) {
                if (change->state != XCB_PROPERTY_DELETE || it->requestor != change->window
                    || it->property != change->atom)
                    continue;
                // Each deletion asks for the next chunk; an empty one ends the
                // transfer.
                if (options.trickleMs > 0)
                    ::usleep(options.trickleMs * 1000);
                const std::size_t size = std::min(options.chunk, it->data->size() - it->offset);
                xcb_change_property(connection, XCB_PROP_MODE_REPLACE, it->requestor, it->property,
                    it->type, 8, size, it->data->data() + it->offset);
                it->offset += size;
                if (size == 0)
                    transfers.erase(it);
                xcb_flush(connection);
                break;
            }
        }
        std::free(event);
    }
    xcb_disconnect(connection);
    return 0;
}
