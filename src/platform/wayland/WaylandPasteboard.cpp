// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandPasteboard.h"

#include "platform/wayland/WaylandClipboardReader.h"

WaylandPasteboard::WaylandPasteboard(QObject *parent)
    : SystemPasteboard(std::make_unique<WaylandClipboardReader>(), parent)
{
}

WaylandClipboardReader &WaylandPasteboard::waylandReader() const
{
    return static_cast<WaylandClipboardReader &>(reader());
}

QString WaylandPasteboard::protocolName() const
{
    return waylandReader().protocolName();
}

void WaylandPasteboard::setContents(const PasteboardContents &contents)
{
    takeOwnContents(contents, waylandReader().write(offeredWithTextAliases(contents)));
}

bool WaylandPasteboard::restoreContents(const PasteboardContents &contents)
{
    // What this pasteboard holds lags behind the compositor: the reader may
    // already be reading a program that copied since, and would lose that
    // copy to ours. The reader decides, on its own thread, against the last
    // selection it was told of.
    if (!types().isEmpty() || !ownerQuit())
        return false;
    const std::optional<quint64> epoch
        = waylandReader().restore(offeredWithTextAliases(contents), readOrigin());
    if (!epoch)
        return false;
    takeOwnContents(contents, *epoch);
    return true;
}

QList<std::pair<QString, QByteArray>> WaylandPasteboard::offeredWithTextAliases(
    const PasteboardContents &contents)
{
    QList<std::pair<QString, QByteArray>> offered;
    for (const auto &[type, bytes] : offeredRepresentations(contents)) {
        if (type != PasteboardType::plainText) {
            offered.append({ type, bytes });
            continue;
        }
        // The names Wayland and X11 programs ask for; STRING is Latin-1.
        for (const char *alias :
            { "text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "TEXT" })
            offered.append({ QString::fromLatin1(alias), bytes });
        offered.append({ QStringLiteral("STRING"), QString::fromUtf8(bytes).toLatin1() });
    }
    return offered;
}
