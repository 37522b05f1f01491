// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pasteboard/Pasteboard.h"

#include <QString>

#include <memory>

class WaylandClipboardReader;
struct WaylandClipboardSnapshot;

// The Wayland clipboard as the monitor's pasteboard, through the compositor's
// data-control protocol, so copies in every program are seen without our
// having focus. Other programs' copies are read by a worker thread (see
// WaylandClipboardReader); the change count advances on the main thread
// when a copy has been read, and changed() is emitted then. Our own writes
// advance the count at once and are never read back. The contents found at
// start-up are read like any copy but leave the count alone.
class WaylandPasteboard : public Pasteboard
{
    Q_OBJECT
public:
    explicit WaylandPasteboard(QObject *parent = nullptr);
    ~WaylandPasteboard() override;

    // False when there is no compositor or it offers no data-control; the
    // pasteboard then neither reads nor writes, and errorString() says why.
    bool isReading() const;
    QString errorString() const { return m_errorString; }
    // The protocol in use, for the log.
    QString protocolName() const;

    qint64 changeCount() const override { return m_changeCount; }
    QStringList types() const override { return m_contents.types; }
    std::optional<QByteArray> dataForType(const QString &type) const override;
    void setContents(const PasteboardContents &contents) override;
    bool restoreContents(const PasteboardContents &contents) override;
    void setMaxReadBytes(qint64 bytes) override;
    bool contentsAbandoned() const override { return m_contents.abandoned; }
    bool ownerQuit() const override { return m_ownerQuit; }

    // The types a write offers for these contents, with their bytes: text
    // under its usual aliases, a file list also in the file managers' form.
    static QList<std::pair<QString, QByteArray>> offeredRepresentations(
        const PasteboardContents &contents);

private slots:
    void onSnapshotRead(const WaylandClipboardSnapshot &snapshot);

private:
    // Our own write is on the clipboard now.
    void takeOwnContents(const PasteboardContents &contents);

    std::unique_ptr<WaylandClipboardReader> m_reader;
    QString m_errorString;
    PasteboardContents m_contents;
    qint64 m_changeCount = 0;
    bool m_ownerQuit = false;
    quint64 m_epoch = 0;
    // The compositor's number for the selection the contents came from.
    quint64 m_sequence = 0;
};
