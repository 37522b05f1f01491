// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <chrono>

// What every clipboard back end (X11, Wayland) does alike when it reads
// another program's copy: how long it waits, how much it may hold, and which
// contents it must not read.
namespace ClipboardReading {

// How long one request may go without an answer or a new chunk: as long as
// Qt's own clipboard waits. Programs that are busy or remote do take seconds,
// and a read never holds up the UI thread.
inline constexpr std::chrono::milliseconds requestDeadline { 5000 };
// A request that goes unanswered is made again after these pauses, within
// the deadline: some owners (LibreOffice's own X11 toolkit, freshly started)
// leave the first request of a new copy lying until another one arrives.
inline constexpr std::array<std::chrono::milliseconds, 3> askAgainAfter {
    { std::chrono::milliseconds(100), std::chrono::milliseconds(300),
        std::chrono::milliseconds(900) }
};
inline constexpr int askLimit = int(askAgainAfter.size()) + 1;
// A whole transfer may take the request deadline plus a second per MiB
// received; an owner that trickles slower than that is given up on.
inline constexpr qint64 minimumBytesPerSecond = qint64(1) << 20;
std::chrono::milliseconds transferAllowance(qint64 bytesReceived);

// Most bytes of one copy a reader holds in memory, whatever the settings:
// 256 MiB is what Qt allows one decoded image (an 8000x8000 bitmap), and four
// times the per-clip limit leaves room for HTML offered as UTF-16 beside its
// text and RTF. The per-clip limit itself is applied to what would be stored.
inline constexpr qint64 minimumRawCeiling = qint64(256) << 20;
qint64 rawCeiling(qint64 maxClipBytes);

// Contents offered with any of these types are never read nor recorded:
// password managers and programs that copy for a moment set them.
const QStringList &secretMarkers();
bool isSecretMarker(const QString &type);
bool carriesSecretMarker(const QStringList &types);

} // namespace ClipboardReading
