// SPDX-License-Identifier: GPL-3.0-or-later
#include "pasteboard/ClipboardFetcher.h"

#include <QByteArray>
#include <QUrl>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what, const QByteArray &detail)
{
    std::fprintf(stderr, "%s: %s\n", what, detail.toPercentEncoding().constData());
    std::abort();
}

} // namespace

// Reads arbitrary bytes as a text/uri-list and as x-special/gnome-copied-files.
// Every entry is one whole line; the GNOME form written for a list reads back
// as that list; the local paths found write back (as a restore writes them)
// to the same paths.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<QByteArray> entries = ClipboardFetcher::uriListEntries(bytes);
    for (const QByteArray &entry : entries) {
        if (entry.isEmpty() || entry.startsWith('#') || entry.contains('\n')
            || entry.contains('\0'))
            fail("entry is not one line", entry);
    }

    const QByteArray gnome = ClipboardFetcher::gnomeCopiedFilesFromUriList(bytes);
    if (ClipboardFetcher::uriListEntries(ClipboardFetcher::uriListFromGnomeCopiedFiles(gnome))
        != entries)
        fail("GNOME list did not read back", gnome);
    // Whatever the GNOME form holds reads as a list too.
    ClipboardFetcher::localPaths(ClipboardFetcher::uriListFromGnomeCopiedFiles(bytes));

    const QStringList paths = ClipboardFetcher::localPaths(bytes);
    QByteArray written;
    for (const QString &path : paths) {
        if (path.isEmpty())
            fail("empty path", bytes);
        written += QUrl::fromLocalFile(path).toEncoded() + "\r\n";
    }
    if (ClipboardFetcher::localPaths(written) != paths)
        fail("paths did not survive writing back", written);
    return 0;
}
