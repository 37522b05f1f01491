// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/MouseMonitor.h"

#include <map>

// Holds the installed handlers; click() plays one button press to them.
class FakeMouseMonitor : public MouseMonitor
{
public:
    std::optional<Token> addGlobalMonitor(std::function<void()> handler) override;
    void removeMonitor(Token token) override { m_handlers.erase(token); }

    void click();
    int installed() const { return int(m_handlers.size()); }

private:
    std::map<Token, std::function<void()>> m_handlers;
    Token m_next = 1;
};
