// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemoryPasteboard.h"

std::optional<QByteArray> MemoryPasteboard::dataForType(const QString &type) const
{
    if (onRead)
        onRead(type);
    return m_contents.dataForType(type);
}

void MemoryPasteboard::setContents(const PasteboardContents &contents)
{
    m_contents = contents;
    m_ownerQuit = false;
    ++m_changeCount;
    ++m_writes;
}

void MemoryPasteboard::copyFromOtherProgram(const PasteboardContents &contents)
{
    m_contents = contents;
    m_ownerQuit = false;
    ++m_changeCount;
    emit changed();
}

void MemoryPasteboard::ownerQuits()
{
    m_contents = {};
    m_ownerQuit = true;
    ++m_changeCount;
    emit changed();
}
