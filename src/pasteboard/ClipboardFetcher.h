// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pasteboard/ClipboardRead.h"
#include "pasteboard/Pasteboard.h"

#include <QString>
#include <QStringList>

#include <functional>

// Decides which of the targets an owner announced are read, in the priority
// that capture applies (markers, file list, text family, image), so that
// everything capture may look at is fetched and nothing else, and files the
// bytes under the canonical type names. The X11 and Wayland clipboards offer
// the same type names (X11 targets, Wayland MIME types); each reader hands in
// the function that fetches one of them.
class ClipboardFetcher
{
public:
    // Fetches one target; budget is how many bytes it may still bring back.
    using ReadTarget = std::function<ClipboardRead(const QString &target, qint64 budget)>;

    struct Result
    {
        // A newer owner or shutdown cut the read short: there is no snapshot.
        bool interrupted = false;
        PasteboardContents contents;
    };

    ClipboardFetcher(const QStringList &targets, qint64 maxBytes, ReadTarget read);

    Result fetch();

    // The announced targets as the pasteboard lists them: canonical names for
    // the text and RTF families first, then every raw name except the
    // protocol targets (TARGETS, MULTIPLE, ...).
    static QStringList announcedTypes(const QStringList &targets);

    // Text as some programs write it, with NULs after the end (a C string's
    // terminator: PCManFM after its file lists, LibreOffice after its HTML);
    // text in UTF-16 with a byte-order mark loses whole NUL characters.
    static QByteArray withoutTrailingNuls(QByteArray bytes);
    // The URIs of a text/uri-list, however its lines end (CRLF, LF or NUL),
    // without comment lines and empty entries.
    static QList<QByteArray> uriListEntries(const QByteArray &uriList);
    // The local paths a text/uri-list names, in order; other URLs, and files
    // on other hosts, are left out.
    static QStringList localPaths(const QByteArray &uriList);
    static bool hasFileUrl(const QByteArray &uriList);
    // "copy\nfile:///a\nfile:///b" (or "cut\n...") as a text/uri-list.
    static QByteArray uriListFromGnomeCopiedFiles(const QByteArray &bytes);
    // The other way, for writing: file managers take a copied file list from
    // x-special/gnome-copied-files, and "copy" keeps a paste from moving the
    // originals.
    static QByteArray gnomeCopiedFilesFromUriList(const QByteArray &uriList);

private:
    struct Attempt
    {
        ClipboardReadStatus status = ClipboardReadStatus::refused;
        QString target;
        QByteArray data;
    };

    Attempt readFirstOffered(const QStringList &targets, qint64 budget);
    // Ends the fetch after an attempt that neither succeeded nor was refused.
    Result fail(ClipboardReadStatus status);

    QStringList m_targets;
    qint64 m_maxBytes;
    ReadTarget m_read;
    Result m_result;
};
