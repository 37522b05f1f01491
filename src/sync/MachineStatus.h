// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// What this machine knows of one machine sharing the folder.
struct MachineStatus
{
    enum class State {
        ok,
        self,
        wrongPassphrase, // its key check does not open with our key
        otherSalt, // set up apart: our passphrase is asked again
        damaged, // some of its lines did not open, though its key check did
        unreadable, // no key record (yet), or not one we can read
    };

    QByteArray id;
    QString name;
    // When its journal last changed, by the time the file carries: never
    // for none.
    QDateTime lastHeard;
    int clips = 0;
    State state = State::unreadable;
    int damagedLines = 0;

    static QString stateName(State state);
};
