// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pasteboard/ClipboardConnection.h"
#include "pasteboard/ClipboardRead.h"
#include "platform/wayland/DataControl.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <utility>

struct wl_callback;
struct wl_display;
struct wl_proxy;
struct wl_registry;
struct wl_seat;
class WaylandClipboardWriter;

// One selection of the seat as the reader thread saw it.
struct WaylandSelection
{
    // Null when the clipboard was cleared (its owner quit).
    wl_proxy *offer = nullptr;
    QStringList types;
    // The pasteboard's own-write epoch when the selection arrived.
    quint64 epoch = 0;
    // What was on the clipboard when the connection opened.
    bool initial = false;
    // Counts the selections the compositor announced, this one included.
    quint64 sequence = 0;
};

// The reader thread's own connection to the compositor: the seat, the
// data-control manager (either protocol) and its device. Selections are
// collected as they arrive; their contents are read through pipes with
// deadlines and a byte budget; our own contents are offered through a data
// source whose requests the writer serves. Only open(), wake(),
// requestStop() and protocolName() may be called from other threads.
class WaylandClipboardConnection : public ClipboardConnection
{
public:
    using Clock = std::chrono::steady_clock;
    using Representations = QList<std::pair<QString, QByteArray>>;

    WaylandClipboardConnection(const std::atomic<quint64> &epoch, WaylandClipboardWriter &writer);
    ~WaylandClipboardConnection() override;

    // Connects to WAYLAND_DISPLAY and binds the manager; false, with the
    // reason, when there is no compositor or it offers no data-control.
    bool open(QString *errorMessage) override;
    // The bound protocol and version, for the log.
    QString protocolName() const { return m_protocolName; }

    void wake();
    void requestStop() override;
    // True once stop was requested or the compositor connection broke.
    bool finished() const { return m_stopRequested || m_broken; }

    // Blocks until the compositor sends something, wake() is called or stop.
    void waitForEvents();
    // Hands out the newest selection; older ones are superseded by it.
    std::optional<WaylandSelection> takeSelection();
    // True when takeSelection() would hand one out: while our own write is
    // unconfirmed, what arrives may be its echo.
    bool hasSelection() const { return m_pending && m_ownWriteSyncs.isEmpty(); }
    // Done with a selection taken earlier.
    void release(const WaylandSelection &selection);
    // How many selections the compositor has announced so far; any thread.
    quint64 selectionsAnnounced() const { return m_selectionsAnnounced; }

    // Asks the selection's owner for one type and reads at most budget
    // bytes. Each wait for data ends after the request deadline without
    // progress (much sooner once a newer selection is waiting), and the
    // whole transfer after the allowance for what it has received so far;
    // abandon() ends it at once.
    ClipboardRead read(const WaylandSelection &selection, const QString &mimeType, qint64 budget,
        const std::function<bool()> &abandon);

    // Takes the clipboard with these representations; the selection this
    // causes is ours and is never handed out. synced runs on this thread
    // once the compositor has acted on it.
    void setSelection(const Representations &representations, std::function<void()> synced);

private:
    struct Listeners;
    friend struct Listeners;

    // Flushes, then waits on the display, the wake-up descriptor and
    // extraFd (when >= 0) until one is ready or the deadline passes, and
    // dispatches what the compositor sent. Returns extraFd's poll flags.
    short pollOnce(int extraFd, std::optional<Clock::time_point> deadline);
    void noteSelection(wl_proxy *offer);
    void destroyOffer(wl_proxy *offer);
    void destroySource();

    const std::atomic<quint64> &m_epoch;
    WaylandClipboardWriter &m_writer;
    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    wl_seat *m_seat = nullptr;
    wl_proxy *m_manager = nullptr;
    wl_proxy *m_device = nullptr;
    DataControl m_control;
    QString m_protocolName;
    quint32 m_managerName = 0;
    quint32 m_managerVersion = 0;

    // The types of each offer not yet destroyed.
    QHash<wl_proxy *, QStringList> m_offers;
    std::optional<WaylandSelection> m_pending;
    std::atomic<quint64> m_selectionsAnnounced = 0;
    bool m_opening = false;

    // Our own data source and what it serves.
    wl_proxy *m_source = nullptr;
    Representations m_served;
    // Syncs sent after our set_selection and not answered yet: the last
    // selection announced before the answer is ours. Kept to be destroyed
    // if the compositor goes away before it answers.
    QList<wl_callback *> m_ownWriteSyncs;
    std::function<void()> m_ownWriteSynced;
    bool m_ownSourceCancelled = false;

    int m_wakeFd = -1;
    std::atomic<bool> m_stopRequested = false;
    bool m_broken = false;
};
