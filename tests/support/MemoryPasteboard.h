// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pasteboard/Pasteboard.h"

#include <functional>

// An in-memory clipboard: tests set what "another program" copied and read
// back what the program wrote.
class MemoryPasteboard : public Pasteboard
{
    Q_OBJECT
public:
    using Pasteboard::Pasteboard;

    qint64 changeCount() const override { return m_changeCount; }
    QStringList types() const override { return m_contents.types; }
    std::optional<QByteArray> dataForType(const QString &type) const override;
    void setContents(const PasteboardContents &contents) override;
    void setMaxReadBytes(qint64 bytes) override { m_maxReadBytes = bytes; }
    bool contentsAbandoned() const override { return m_contents.abandoned; }
    bool ownerQuit() const override { return m_ownerQuit; }

    // Another program copies: the count advances and changed() is emitted.
    void copyFromOtherProgram(const PasteboardContents &contents);
    void setChangeCount(qint64 count) { m_changeCount = count; }
    // The program that copied quits: the clipboard empties.
    void ownerQuits();

    const PasteboardContents &contents() const { return m_contents; }
    int writes() const { return m_writes; }
    qint64 maxReadBytes() const { return m_maxReadBytes; }
    // Runs inside every read, so a test can change the contents mid-read.
    std::function<void(const QString &type)> onRead;

private:
    PasteboardContents m_contents;
    qint64 m_changeCount = 0;
    bool m_ownerQuit = false;
    qint64 m_maxReadBytes = 0;
    int m_writes = 0;
};
