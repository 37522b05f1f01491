// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeMouseMonitor.h"

#include <vector>

std::optional<MouseMonitor::Token> FakeMouseMonitor::addGlobalMonitor(std::function<void()> handler)
{
    const Token token = m_next++;
    m_handlers.emplace(token, std::move(handler));
    return token;
}

void FakeMouseMonitor::click()
{
    std::vector<std::function<void()>> handlers;
    for (const auto &entry : m_handlers)
        handlers.push_back(entry.second);
    for (const auto &handler : handlers)
        handler();
}
