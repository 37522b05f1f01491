// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Clip.h"

#include <QString>

// Receives every decision that leaves the history list: using, editing,
// deleting or copying a clip, and leaving the panel. The list never acts on
// the clipboard or the panel itself.
class HistoryViewControllerDelegate
{
public:
    virtual ~HistoryViewControllerDelegate() = default;

    virtual void historyDidChoose(const Clip &clip) = 0;
    // Shift+Return: the clip's plain text is used in its place.
    virtual void historyDidChooseAsPlainText(const Clip &clip) { historyDidChoose(clip); }
    virtual void historyDidRequestEdit(const Clip &clip) = 0;
    virtual void historyDidRequestDelete(const Clip &clip) = 0;
    virtual void historyDidRequestCopyPlain(const QString &text) = 0;
    virtual void historyDidRequestDismiss() = 0;
};
