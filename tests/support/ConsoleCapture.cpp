// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConsoleCapture.h"

#include <cstdio>
#include <unistd.h>

ConsoleCapture::ConsoleCapture(int descriptor)
    : m_descriptor(descriptor)
{
    if (!m_file.open())
        return;
    std::fflush(nullptr);
    m_saved = ::dup(m_descriptor);
    ::dup2(m_file.handle(), m_descriptor);
}

ConsoleCapture::~ConsoleCapture()
{
    if (m_saved < 0)
        return;
    std::fflush(nullptr);
    ::dup2(m_saved, m_descriptor);
    ::close(m_saved);
}

QByteArray ConsoleCapture::text()
{
    std::fflush(nullptr);
    QFile reader(m_file.fileName());
    if (!reader.open(QIODevice::ReadOnly))
        return {};
    return reader.readAll();
}
