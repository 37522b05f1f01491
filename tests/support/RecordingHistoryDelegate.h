// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/HistoryViewControllerDelegate.h"

#include <QStringList>

// Records each decision of the history list as one line ("choose <preview>",
// "edit <preview>", "delete <preview>", "copyPlain <text>", "dismiss"), so a
// test compares the whole sequence at once.
class RecordingHistoryDelegate : public HistoryViewControllerDelegate
{
public:
    void historyDidChoose(const Clip &clip) override { record("choose ", clip.preview); }
    void historyDidRequestEdit(const Clip &clip) override { record("edit ", clip.preview); }
    void historyDidRequestDelete(const Clip &clip) override { record("delete ", clip.preview); }
    void historyDidRequestCopyPlain(const QString &text) override { record("copyPlain ", text); }
    void historyDidRequestDismiss() override { calls << QStringLiteral("dismiss"); }

    QStringList calls;

private:
    void record(const char *what, const QString &text) { calls << QLatin1String(what) + text; }
};
