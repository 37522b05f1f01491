// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PasteboardMonitor.h"
#include "StoreFixture.h"

#include <memory>

// A real clipboard back end watched by a running monitor that records into
// a fresh store.
template<typename SystemClipboard> struct CaptureRig
{
    StoreFixture f;
    SystemClipboard pasteboard;
    std::unique_ptr<PasteboardMonitor> monitor;

    CaptureRig()
    {
        f.open();
        monitor = std::make_unique<PasteboardMonitor>(pasteboard, *f.store, *f.settings);
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
