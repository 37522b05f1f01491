// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/MouseMonitor.h"

#include <QObject>
#include <QString>

#include <map>

class X11EventConnection;

// Button presses anywhere on the desktop through XInput 2 raw events on the
// root window. Raw events reach a client that selected them even while
// another client grabs the pointer, and on a connection of our own the
// selection cannot replace the one Qt keeps for its windows.
class X11MouseMonitor : public QObject, public MouseMonitor
{
    Q_OBJECT
public:
    explicit X11MouseMonitor(QObject *parent = nullptr);
    ~X11MouseMonitor() override;

    // False when there is no X server or it lacks XInput 2; no monitor can
    // then be added.
    bool isOpen() const { return m_xinputOpcode != 0; }
    QString errorString() const { return m_errorString; }

    std::optional<Token> addGlobalMonitor(std::function<void()> handler) override;
    void removeMonitor(Token token) override;

private:
    // Raw presses are asked for only while somebody listens.
    void selectRawPresses(bool on);
    void onEvent(const void *event);

    X11EventConnection *m_connection = nullptr;
    QString m_errorString;
    quint8 m_xinputOpcode = 0;
    std::map<Token, std::function<void()>> m_handlers;
    Token m_nextToken = 1;
};
