// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SharedFolder.h"
#include "sync/SyncEvent.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Writes this machine's files in the shared folder, and nothing else: its
// journal, appended line by line as our own journal is (one write, then
// fdatasync; a failed write is cut back), written anew only by compaction
// (a new file renamed over the old, so others never see half of it), and
// its sealed images.
class SharedJournalWriter
{
public:
    SharedJournalWriter(SharedFolder folder, QByteArray key);
    ~SharedJournalWriter();
    Q_DISABLE_COPY_MOVE(SharedJournalWriter)

    // Reads back what this machine wrote before into `written`, cuts a
    // torn last line, and starts a journal when there is none (or none this
    // key opens).
    bool open(QList<SyncEvent> *written, QString *error);
    bool append(const QList<SyncEvent> &events, QString *error);
    // The journal written anew, with a new epoch, holding `events` alone.
    bool compact(const QList<SyncEvent> &events, QString *error);
    bool writeMedia(const QString &name, const QByteArray &png, QString *error);

    // Lines after the header.
    qint64 lines() const { return m_nextLine - 1; }

private:
    QByteArray sealLine(const SyncEvent &event, qint64 line) const;
    bool openForAppend(QString *error);

    SharedFolder m_folder;
    QByteArray m_key;
    QByteArray m_epoch;
    qint64 m_nextLine = 1;
    qint64 m_bytes = 0;
    int m_fd = -1;
};
