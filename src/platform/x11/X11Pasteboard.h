// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pasteboard/Pasteboard.h"

#include <QString>

#include <memory>

class X11ClipboardReader;
struct X11ClipboardSnapshot;
struct xcb_connection_t;

// The X11 CLIPBOARD as the monitor's pasteboard. Other programs' copies are
// read by a worker thread (see X11ClipboardReader); the change count advances
// when a copy's contents have been read, on the main thread, and changed()
// is emitted then. Our own writes go through QClipboard, which keeps serving
// them until another program copies; they advance the count at once and are
// never read back. The contents found at start-up are read like any copy
// but leave the count alone.
class X11Pasteboard : public Pasteboard
{
    Q_OBJECT
public:
    explicit X11Pasteboard(QObject *parent = nullptr);
    ~X11Pasteboard() override;

    // False when the reader could not connect; other programs' copies are
    // then never seen, while writing still works.
    bool isReading() const;
    QString errorString() const { return m_errorString; }

    qint64 changeCount() const override { return m_changeCount; }
    QStringList types() const override { return m_contents.types; }
    std::optional<QByteArray> dataForType(const QString &type) const override;
    void setContents(const PasteboardContents &contents) override;
    bool restoreContents(const PasteboardContents &contents) override;
    void setMaxReadBytes(qint64 bytes) override;
    bool contentsAbandoned() const override { return m_contents.abandoned; }
    bool ownerQuit() const override { return m_ownerQuit; }
    QString unavailableReason() const override;

private slots:
    void onSnapshotRead(const X11ClipboardSnapshot &snapshot);

private:
    // Qt's own connection to the X server, or null off X11.
    static xcb_connection_t *qtConnection();
    quint32 selectionOwner(xcb_connection_t *connection) const;
    // The window of Qt's connection that owns CLIPBOARD now, or 0.
    quint32 currentQtOwner() const;

    std::unique_ptr<X11ClipboardReader> m_reader;
    QString m_errorString;
    PasteboardContents m_contents;
    qint64 m_changeCount = 0;
    bool m_ownerQuit = false;
    quint64 m_epoch = 0;
    quint32 m_ownWindow = 0;
};
