// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pasteboard/SystemPasteboard.h"

#include <QString>

class WaylandClipboardReader;

// The Wayland clipboard as the monitor's pasteboard (see SystemPasteboard),
// through the compositor's data-control protocol, so copies in every program
// are seen without our having focus. A WaylandClipboardReader reads other
// programs' copies and also takes the clipboard for our own writes. Without
// a compositor or data-control the pasteboard neither reads nor writes.
class WaylandPasteboard : public SystemPasteboard
{
    Q_OBJECT
public:
    explicit WaylandPasteboard(QObject *parent = nullptr);

    // The protocol in use, for the log.
    QString protocolName() const;

    void setContents(const PasteboardContents &contents) override;
    bool restoreContents(const PasteboardContents &contents) override;

    // What a write offers, with text also under its usual aliases; the
    // GNOME Shell companion's offers too.
    static QList<std::pair<QString, QByteArray>> offeredWithTextAliases(
        const PasteboardContents &contents);

private:
    WaylandClipboardReader &waylandReader() const;
};
