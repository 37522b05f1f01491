// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

struct stat;

// Every file the program writes goes through here: the bytes go to
// "<path>.tmp" (created 0600), which is flushed to disk and renamed over the
// target; then the folder is flushed, so a crash leaves the old or the new
// file, never a torn one.
//
// Nothing here follows a link at the name it is given: a link, or anything
// that is not a plain file, planted in the program's folders is never
// opened, changed or removed through.
namespace AtomicFile {

// `ownLevels` as for openFolder: how many of the folders that hold `path`
// are the program's own and must not be links.
bool write(const QString &path, const QList<QByteArray> &parts, QString *error = nullptr,
    int ownLevels = 0);
inline bool write(
    const QString &path, const QByteArray &bytes, QString *error = nullptr, int ownLevels = 0)
{
    return write(path, QList<QByteArray> { bytes }, error, ownLevels);
}
// The same into an open folder (openFolder) that holds `path`.
bool write(int folder, const QString &path, const QList<QByteArray> &parts, QString *error);

// Creates the folder and any missing parents; the folder itself is made (or
// made again) private to the user. False when it cannot be, or when a link
// or a file stands in its place.
bool makePrivateDir(const QString &path);
// Restricts an existing plain file to its owner.
void makePrivateFile(const QString &path);

// What stands at a path, the path itself and not where a link points.
enum class Kind { missing, file, folder, link, other };
Kind kindOf(const QString &path);

// Opens a folder of the program's own: the last `ownLevels` names of the
// path (the folder, its parent, ...) must be real folders, not links. A
// descriptor, or -1 with errno set (ELOOP for a link, ENOTDIR for a file).
int openFolder(const QString &path, int ownLevels = 1);
// Opens a plain file for reading inside such a folder (`ownLevels` counts
// from the folder that holds it); -1 for a link or anything but a plain file.
int openFile(const QString &path, int ownLevels = 1);
// Removes a plain file; a link or a folder in its place is left alone.
bool removeFile(const QString &path, int ownLevels = 1);
// Calls `visit` for each plain file in an open folder; links, folders and
// other things are passed over. Returning true removes the file.
void forEachFile(
    int folder, const std::function<bool(const QString &name, const struct stat &)> &visit);

} // namespace AtomicFile
