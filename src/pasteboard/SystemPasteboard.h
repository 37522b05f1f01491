// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pasteboard/Pasteboard.h"

#include <QString>

#include <memory>

class ClipboardReader;
struct ClipboardSnapshot;

// The desktop's clipboard as the monitor's pasteboard, through a platform
// back end. Other programs' copies are read by the back end's reader thread;
// the change count advances on the main thread when a copy has been read,
// and changed() is emitted then. Our own writes advance the count at once and
// are never read back. The contents found at start-up are read like any copy
// but leave the count alone.
class SystemPasteboard : public Pasteboard
{
    Q_OBJECT
public:
    ~SystemPasteboard() override;

    // False when the reader could not connect; other programs' copies are
    // then never seen, and errorString() says why.
    bool isReading() const;
    QString errorString() const { return m_errorString; }

    qint64 changeCount() const override { return m_changeCount; }
    QStringList types() const override { return m_contents.types; }
    std::optional<QByteArray> dataForType(const QString &type) const override;
    void setMaxReadBytes(qint64 bytes) override;
    bool contentsAbandoned() const override { return m_contents.abandoned; }
    bool ownerQuit() const override { return m_ownerQuit; }
    QString unavailableReason() const override;
    // The reader hears of every new owner from the display server.
    bool announcesChanges() const override { return isReading(); }

    // The types a write offers for these contents, with their bytes: a file
    // list also in the file managers' form, made from its uri-list, where
    // "copy" keeps a paste from moving the originals.
    static QList<std::pair<QString, QByteArray>> offeredRepresentations(
        const PasteboardContents &contents);

protected:
    // Starts the reader.
    SystemPasteboard(std::unique_ptr<ClipboardReader> reader, QObject *parent);

    ClipboardReader &reader() const { return *m_reader; }
    // Our own write, made in this epoch of the reader, is on the clipboard now.
    void takeOwnContents(const PasteboardContents &contents, quint64 epoch);
    // Where the contents last read came from (ClipboardSnapshot::origin).
    quint64 readOrigin() const { return m_readOrigin; }

private:
    void takeReadContents(const ClipboardSnapshot &snapshot);

    std::unique_ptr<ClipboardReader> m_reader;
    QString m_errorString;
    PasteboardContents m_contents;
    qint64 m_changeCount = 0;
    bool m_ownerQuit = false;
    quint64 m_epoch = 0;
    quint64 m_readOrigin = 0;
};
