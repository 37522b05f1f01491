// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11MouseMonitor.h"

#include "platform/x11/X11EventConnection.h"

#include <xcb/xinput.h>

#include <vector>

namespace {

// The left and the right button; the middle button and the wheel (4 to 7)
// do not count as clicks.
constexpr quint32 leftButton = 1;
constexpr quint32 rightButton = 3;

} // namespace

X11MouseMonitor::X11MouseMonitor(QObject *parent)
    : QObject(parent)
    , m_connection(new X11EventConnection(this))
{
    if (!m_connection->open(&m_errorString))
        return;
    xcb_connection_t *c = m_connection->connection();
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(c, &xcb_input_id);
    if (!extension || !extension->present) {
        m_errorString = QStringLiteral("the X server has no XInput extension");
        return;
    }
    // The server sends XInput 2 events only to clients that announced the version.
    X11EventConnection::Reply<xcb_input_xi_query_version_reply_t> version(
        xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr));
    m_connection->scheduleQueuedEvents();
    if (!version || version->major_version < 2) {
        m_errorString = QStringLiteral("the X server does not speak XInput 2");
        return;
    }
    m_xinputOpcode = extension->major_opcode;
    m_connection->setEventHandler([this](const xcb_generic_event_t *event) { onEvent(event); });
}

X11MouseMonitor::~X11MouseMonitor() = default;

std::optional<MouseMonitor::Token> X11MouseMonitor::addGlobalMonitor(std::function<void()> handler)
{
    if (!isOpen())
        return std::nullopt;
    const Token token = m_nextToken++;
    m_handlers.emplace(token, std::move(handler));
    if (m_handlers.size() == 1)
        selectRawPresses(true);
    return token;
}

void X11MouseMonitor::removeMonitor(Token token)
{
    if (m_handlers.erase(token) && m_handlers.empty())
        selectRawPresses(false);
}

void X11MouseMonitor::selectRawPresses(bool on)
{
    struct
    {
        xcb_input_event_mask_t header;
        quint32 bits;
    } mask { { XCB_INPUT_DEVICE_ALL_MASTER, 1 },
        on ? quint32(XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS) : 0u };
    xcb_connection_t *c = m_connection->connection();
    xcb_input_xi_select_events(c, m_connection->root(), 1, &mask.header);
    xcb_flush(c);
}

void X11MouseMonitor::onEvent(const void *raw)
{
    const auto *event = static_cast<const xcb_ge_generic_event_t *>(raw);
    if ((event->response_type & 0x7f) != XCB_GE_GENERIC || event->extension != m_xinputOpcode
        || event->event_type != XCB_INPUT_RAW_BUTTON_PRESS)
        return;
    const auto *press = static_cast<const xcb_input_raw_button_press_event_t *>(raw);
    if (press->detail != leftButton && press->detail != rightButton)
        return;
    // A handler may remove monitors, its own included.
    std::vector<Token> tokens;
    for (const auto &entry : m_handlers)
        tokens.push_back(entry.first);
    for (Token token : tokens) {
        const auto found = m_handlers.find(token);
        if (found == m_handlers.end())
            continue;
        const std::function<void()> handler = found->second;
        handler();
    }
}
