// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Every file the program writes goes through here: the bytes go to
// "<path>.tmp" (created 0600), which is flushed to disk and renamed over the
// target; then the folder is flushed, so a crash leaves the old or the new
// file, never a torn one.
namespace AtomicFile {

bool write(const QString &path, const QList<QByteArray> &parts, QString *error = nullptr);
inline bool write(const QString &path, const QByteArray &bytes, QString *error = nullptr)
{
    return write(path, QList<QByteArray> { bytes }, error);
}

// Creates the folder and any missing parents; the folder itself is made (or
// made again) private to the user.
bool makePrivateDir(const QString &path);
// Restricts an existing file to its owner.
void makePrivateFile(const QString &path);

} // namespace AtomicFile
