#include "RecordingHistoryDelegate.h"

void RecordingHistoryDelegate::historyDidChoose(const Clip &clip)
{
    calls.append(QStringLiteral("choose ") + clip.preview);
}

void RecordingHistoryDelegate::historyDidRequestEdit(const Clip &clip)
{
    calls.append(QStringLiteral("edit ") + clip.preview);
}

void RecordingHistoryDelegate::historyDidRequestDelete(const Clip &clip)
{
    calls.append(QStringLiteral("delete ") + clip.preview);
}

void RecordingHistoryDelegate::historyDidRequestCopyPlain(const QString &text)
{
    calls.append(QStringLiteral("copyPlain ") + text);
}

void RecordingHistoryDelegate::historyDidRequestDismiss()
{
    calls.append(QStringLiteral("dismiss"));
}
