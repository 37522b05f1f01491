#pragma once

#include "HistoryViewControllerDelegate.h"

#include <QStringList>

// Records each decision of the history list as one line, "choose <preview>",
// "edit <preview>", "delete <preview>", "copyPlain <text>" or "dismiss", so a
// test compares the whole sequence at once.
class RecordingHistoryDelegate : public HistoryViewControllerDelegate
{
public:
    void historyDidChoose(const Clip &clip) override;
    void historyDidRequestEdit(const Clip &clip) override;
    void historyDidRequestDelete(const Clip &clip) override;
    void historyDidRequestCopyPlain(const QString &text) override;
    void historyDidRequestDismiss() override;

    QStringList calls;
};
