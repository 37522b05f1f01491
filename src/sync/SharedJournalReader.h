// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncEvent.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Follows one machine's journal in the shared folder: each read takes the
// lines completed since the last, and leaves a torn or half-synced last
// line for a later read, once its line feed has arrived. A journal written
// anew (a new epoch, or shorter than what was read) is read from its start.
class SharedJournalReader
{
public:
    struct Batch
    {
        QList<SyncEvent> events;
        // Complete lines that did not open with the key or did not read as
        // an event: damage or tampering, as the key itself opened the
        // machine's key check.
        int damaged = 0;
        bool startedOver = false;
        bool missing = false;
    };

    SharedJournalReader(QString path, QByteArray machine);

    Batch read(const QByteArray &key);

    // Where the complete lines end, the epoch, and the next line's number.
    qint64 offset() const { return m_offset; }
    QByteArray epoch() const { return m_epoch; }
    qint64 nextLine() const { return m_nextLine; }
    // Bytes after the last complete line when last read.
    bool hasTornTail() const { return m_tornTail; }

    static QByteArray headerLine(const QByteArray &epoch);
    static QByteArray place(const QByteArray &machine, const QByteArray &epoch, qint64 line);
    // The same into `out`, whose memory is used again.
    static void placeInto(
        QByteArray &out, const QByteArray &machine, const QByteArray &epoch, qint64 line);
    // The epoch a header line names; empty when it is not one.
    static QByteArray parseHeader(QByteArrayView line);

private:
    QString m_path;
    QByteArray m_machine;
    QByteArray m_epoch;
    qint64 m_offset = 0;
    qint64 m_nextLine = 1;
    bool m_tornTail = false;
};
