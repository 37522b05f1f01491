// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PasteAfterChoosing.h"

#include "app/Notifier.h"
#include "app/PasteChord.h"
#include "app/PasteKeys.h"
#include "model/Settings.h"

namespace {

// How long the window may take to get the keyboard back, and how often we
// look: a window manager answers an activation within a few milliseconds.
constexpr int deadlineMs = 1000;
constexpr int pollMs = 2;

} // namespace

PasteAfterChoosing::PasteAfterChoosing(
    Settings &settings, PasteKeys *keys, Notifier &notifier, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_keys(keys)
    , m_notifier(notifier)
{
    m_poll.setInterval(pollMs);
    connect(&m_poll, &QTimer::timeout, this, &PasteAfterChoosing::poll);
}

QString PasteAfterChoosing::unavailableReason() const
{
    if (!m_keys)
        return qtTrId("paste.unavailable.desktop");
    return m_keys->unavailableReason();
}

void PasteAfterChoosing::pasteInto(const std::optional<RunningWindow> &target)
{
    cancel();
    if (!m_settings.pasteAfterChoosing())
        return;
    if (const QString reason = unavailableReason(); !reason.isEmpty()) {
        fail(reason);
        return;
    }
    if (!target) {
        fail(qtTrId("paste.failed.noWindow"));
        return;
    }
    m_target = *target;
    m_deadline.setRemainingTime(deadlineMs);
    m_poll.start();
    // The window may have the keyboard already, with no window manager.
    poll();
}

void PasteAfterChoosing::poll()
{
    const std::optional<PasteKeys::Focus> focus = m_keys->keyboardFocus();
    if (!focus || focus->ours || focus->window.windowId != m_target.windowId) {
        if (m_deadline.hasExpired())
            fail(qtTrId("paste.failed.noFocus"));
        return;
    }
    m_poll.stop();
    QString error;
    if (!m_keys->press(pasteChordFor(focus->names, m_settings.terminalClasses()), &error)) {
        fail(error);
        return;
    }
    emit finished(true);
}

void PasteAfterChoosing::fail(const QString &reason)
{
    m_poll.stop();
    m_notifier.report(Notifier::Topic::pasteFailed, qtTrId("notice.pasteFailed.title"),
        qtTrId("notice.pasteFailed.message").arg(reason));
    emit finished(false);
}
