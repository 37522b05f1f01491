// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pasteboard/ClipboardConnection.h"
#include "pasteboard/ClipboardRead.h"
#include "platform/x11/X11OwnerChange.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <xcb/xcb.h>

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <utility>

// The reader thread's own link to the X server: a private connection and a
// small unmapped window that receives the CLIPBOARD owner changes (XFixes) and
// the converted selections. Every wait has a deadline and ends early when a
// newer owner appears or when another thread asks it to stop, so a stopped or
// slow owner costs at most the deadline. Only open(), requestStop() and
// clipboardAtom() may be called from other threads.
class X11ClipboardConnection : public ClipboardConnection
{
public:
    using Clock = std::chrono::steady_clock;

    // epoch is stamped on every owner change as it is taken from the stream.
    explicit X11ClipboardConnection(const std::atomic<quint64> &epoch);
    ~X11ClipboardConnection() override;

    bool open(QString *errorMessage) override;
    quint32 clipboardAtom() const { return m_clipboard; }

    void requestStop() override;
    // True once stop was requested or the server connection broke.
    bool finished() const;

    // Queues the owner found now as the start-up contents.
    void queueCurrentOwner();
    // Blocks until an owner change is queued or the connection is finished.
    void waitForOwnerChange();
    // Reads what has already arrived, without waiting, and hands out the
    // newest owner change; older ones are superseded by it.
    std::optional<X11OwnerChange> takeOwnerChange();
    bool hasOwnerChange();

    // Converts CLIPBOARD to target and brings back at most budget bytes,
    // following INCR transfers. Each request (the conversion, every chunk)
    // waits at most the request deadline; the whole transfer at most the
    // allowance for what it has received so far. With askAgain, a conversion
    // that goes unanswered is requested again within its deadline; asked
    // (if given) tells how many times it was requested.
    ClipboardRead read(
        quint32 target, quint32 time, qint64 budget, bool askAgain, int *asked = nullptr);
    // The names of atoms, in their order, without repeats or unknown atoms.
    QList<std::pair<QString, quint32>> atomNames(const QList<quint32> &atoms);
    quint32 targetsAtom() const { return m_targets; }
    quint32 utf8StringAtom() const { return m_utf8String; }

private:
    enum class Wait { matched, timedOut, interrupted };

    using Matcher = std::function<bool(const xcb_generic_event_t *)>;
    // Reads events until matcher accepts one, an owner change arrives, stop
    // is requested or the deadline passes (no deadline: wait for ever).
    Wait waitFor(const Matcher &matcher, std::optional<Clock::time_point> deadline);
    // Records an XFixes owner change; true when event was one.
    bool noteOwnerChange(const xcb_generic_event_t *event);
    ClipboardRead readIncremental(xcb_atom_t property, qint64 budget, Clock::time_point started);
    // A transfer ended early may still be written into its property later,
    // so the next request goes to a different one.
    void retireProperty();
    xcb_atom_t property() const { return m_properties[m_propertyIndex]; }

    const std::atomic<quint64> &m_epoch;
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_window = XCB_NONE;
    quint8 m_xfixesFirstEvent = 0;
    xcb_atom_t m_clipboard = XCB_NONE;
    xcb_atom_t m_targets = XCB_NONE;
    xcb_atom_t m_incr = XCB_NONE;
    xcb_atom_t m_utf8String = XCB_NONE;
    std::array<xcb_atom_t, 4> m_properties {};
    std::size_t m_propertyIndex = 0;
    int m_wakeFd = -1;
    std::atomic<bool> m_stopRequested = false;
    bool m_broken = false;
    std::optional<X11OwnerChange> m_pendingChange;
    QHash<xcb_atom_t, QString> m_atomNames;
};
