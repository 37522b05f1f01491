// SPDX-License-Identifier: GPL-3.0-or-later
#include "pasteboard/ClipboardReader.h"

#include "pasteboard/ClipboardConnection.h"

ClipboardReader::~ClipboardReader()
{
    // The back end's destructor has stopped the thread: its loop is gone now.
    Q_ASSERT(!m_thread.joinable());
}

bool ClipboardReader::start(QString *errorMessage)
{
    if (m_thread.joinable())
        return true;
    if (!connection().open(errorMessage))
        return false;
    m_thread = std::thread([this] { run(); });
    return true;
}

void ClipboardReader::stop()
{
    if (!m_thread.joinable())
        return;
    connection().requestStop();
    m_thread.join();
}
