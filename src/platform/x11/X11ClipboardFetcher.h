#pragma once

#include "Pasteboard.h"
#include "X11TargetRead.h"

#include <QString>
#include <QStringList>

#include <functional>

// Decides which of the targets an owner announced are read, in the priority
// that capture applies (markers, file list, text family, image), so that
// everything capture may look at is fetched and nothing else, and files the
// bytes under the canonical type names. Knows nothing of X: the reader hands
// in the function that fetches one target.
class X11ClipboardFetcher
{
public:
    // Fetches one target; budget is how many bytes it may still bring back.
    using ReadTarget = std::function<X11TargetRead(const QString &target, qint64 budget)>;

    struct Result
    {
        // A newer owner or shutdown cut the read short: there is no snapshot.
        bool interrupted = false;
        PasteboardContents contents;
    };

    X11ClipboardFetcher(const QStringList &targets, qint64 maxBytes, ReadTarget read);

    Result fetch();

    // The announced targets as the pasteboard lists them: canonical names for
    // the text and RTF families first, then every raw name except the
    // protocol targets (TARGETS, MULTIPLE, ...).
    static QStringList announcedTypes(const QStringList &targets);
    static bool hasFileUrl(const QByteArray &uriList);

private:
    struct Attempt
    {
        X11ReadStatus status = X11ReadStatus::refused;
        QString target;
        QByteArray data;
    };

    Attempt readFirstOffered(const QStringList &targets, qint64 budget);
    // Ends the fetch after an attempt that neither succeeded nor was refused.
    Result fail(X11ReadStatus status);

    QStringList m_targets;
    qint64 m_maxBytes;
    ReadTarget m_read;
    Result m_result;
};
