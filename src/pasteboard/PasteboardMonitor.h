// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ClipStore.h"
#include "model/OrderedWorker.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

class Pasteboard;
struct PasteboardContents;
class Settings;

// Watches the clipboard and records every copy made by another program into
// the store; writes chosen clips back without recording them again. What a
// copy needs before it is stored (decoding, converting, hashing, writing the
// image file) runs on a worker thread, in the order the copies came; the
// store is changed on this thread only, with finished clips.
class PasteboardMonitor : public QObject
{
    Q_OBJECT
public:
    PasteboardMonitor(
        Pasteboard &pasteboard, ClipStore &store, Settings &settings, QObject *parent = nullptr);

    // Starts watching: at once whenever the clipboard reports new contents,
    // and every 0.4 s only where it does not report every copy, so that an
    // idle program is not woken. A second call does nothing.
    void start();
    void stop();
    bool isRunning() const { return m_running; }

    // While paused, copies go by unrecorded; resuming does not record what
    // was copied in the meantime.
    void setPaused(bool paused) { m_paused = paused; }
    bool isPaused() const { return m_paused; }

    void poll();
    void capture(qint64 changeCount);
    // Waits until every copy seen so far is in the store and every write is
    // on the clipboard.
    void finishPending();

    void write(const Clip &clip, const std::optional<QByteArray> &imageBytes);
    void writePlainText(const QString &text);

    qint64 lastChangeCount() const { return m_lastChangeCount; }

private:
    // A write replaces whatever the clipboard holds; a restore puts back what
    // a program that quit had copied, only while the clipboard stays empty.
    enum class Put { replace, restore };

    void put(const Clip &clip, const std::optional<QByteArray> &imageBytes, Put how);
    void setContents(const PasteboardContents &contents, Put how);
    // Runs on this thread after the copies seen so far are in the store.
    void afterPendingCopies(std::function<void()> step);
    // emptiedAt: the change count at which the clipboard was found empty.
    void keepClipboardAlive(const std::optional<QString> &wentAway, qint64 emptiedAt);

    Pasteboard &m_pasteboard;
    ClipStore &m_store;
    Settings &m_settings;
    qint64 m_lastChangeCount = 0;
    bool m_paused = false;
    bool m_running = false;
    // The hash of what the clipboard holds when capture recorded it; what
    // another program's copy left behind is offered again only when it is
    // the newest clip.
    std::optional<QString> m_recordedHash;
    QTimer m_timer;
    // Numbers each write, so that a write prepared on the worker never
    // replaces a later one.
    quint64 m_writeTicket = 0;
    OrderedWorker m_worker;
};
