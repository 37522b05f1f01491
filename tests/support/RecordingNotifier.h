// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Notifier.h"

#include <QList>
#include <QString>

#include <algorithm>

// Keeps what the program would have shown the user instead of showing it.
class RecordingNotifier : public Notifier
{
public:
    struct Shown
    {
        QString title;
        QString message;
        bool problem = true;
    };
    QList<Shown> shown;

    int problems() const
    {
        return int(
            std::count_if(shown.cbegin(), shown.cend(), [](const Shown &s) { return s.problem; }));
    }

protected:
    void show(const QString &title, const QString &message, bool problem) override
    {
        shown.append({ title, message, problem });
    }
};
