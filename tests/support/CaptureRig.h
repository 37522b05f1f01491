// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StoreFixture.h"
#include "pasteboard/PasteboardMonitor.h"

#include <memory>

// A clipboard watched by a monitor that records into a fresh store; started,
// unless the test is to poll by hand.
template<typename Clipboard> struct CaptureRig
{
    StoreFixture f;
    Clipboard pasteboard;
    std::unique_ptr<PasteboardMonitor> monitor;

    explicit CaptureRig(bool started = true)
    {
        f.open();
        monitor = std::make_unique<PasteboardMonitor>(pasteboard, *f.store, *f.settings);
        if (started)
            monitor->start();
    }
    const QList<Clip> &clips() const { return f.store->clips(); }
    // The text of every clip, newest first.
    QStringList texts() const
    {
        QStringList out;
        for (const Clip &clip : clips())
            out.append(clip.text.value_or(QString()));
        return out;
    }
};
