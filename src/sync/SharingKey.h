// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SealedBox.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The key that seals the shared folder: made once per machine from the
// passphrase, with the folder's salt, and kept only as the derived key in a
// private file of our own. Each machine's folder holds the salt and a key
// check, so that a wrong passphrase is told apart from a damaged line.
namespace SharingKey {

// A machine's "key" file in the shared folder.
struct FolderRecord
{
    QByteArray salt;
    SealedBox::KdfLimits limits;
    QByteArray check; // the check text sealed with the key
};

// The key as kept on this machine, with the salt it was made with.
struct Stored
{
    QByteArray salt;
    QByteArray key;
};

enum class Verdict {
    opens,
    wrongPassphrase, // same salt, and the key does not open its check
    otherSalt, // a folder set up apart: the passphrase is asked again
};

QByteArray recordBytes(const FolderRecord &record);
std::optional<FolderRecord> parseRecord(const QByteArray &bytes);
FolderRecord makeRecord(const QByteArray &key, const QByteArray &salt, SealedBox::KdfLimits limits,
    const QByteArray &machine);
Verdict verify(const FolderRecord &record, const Stored &stored, const QByteArray &machine);

// Reads a file in the shared folder, never through a link; nothing when it
// is missing or not a plain file.
std::optional<QByteArray> readSharedFile(const QString &path, qint64 maxBytes);

std::optional<Stored> readStored(const QString &path);
bool writeStored(const QString &path, const Stored &stored, QString *error);

// Takes the passphrase typed on this machine: adopts the salt of the first
// machine already in the folder (or makes one), checks the passphrase
// against that machine's key check, and only then writes our key record into
// `<folder>/<machine>/key` and the derived key into `storedPath`. On a wrong
// passphrase nothing is written and the error says so.
bool setUp(const QString &folder, const QByteArray &machine, const QString &passphrase,
    const QString &storedPath, SealedBox::KdfLimits limits, QString *error);

} // namespace SharingKey
