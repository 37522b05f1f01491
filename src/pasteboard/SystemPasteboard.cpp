// SPDX-License-Identifier: GPL-3.0-or-later
#include "pasteboard/SystemPasteboard.h"

#include "pasteboard/ClipboardFetcher.h"
#include "pasteboard/ClipboardReader.h"

SystemPasteboard::SystemPasteboard(std::unique_ptr<ClipboardReader> reader, QObject *parent)
    : Pasteboard(parent)
    , m_reader(std::move(reader))
{
    connect(m_reader.get(), &ClipboardReader::snapshotRead, this,
        &SystemPasteboard::takeReadContents, Qt::QueuedConnection);
    m_reader->start(&m_errorString);
}

SystemPasteboard::~SystemPasteboard() = default;

bool SystemPasteboard::isReading() const
{
    return m_reader->isRunning();
}

QString SystemPasteboard::unavailableReason() const
{
    return isReading() ? QString() : m_errorString;
}

std::optional<QByteArray> SystemPasteboard::dataForType(const QString &type) const
{
    return m_contents.dataForType(type);
}

void SystemPasteboard::setMaxReadBytes(qint64 bytes)
{
    m_reader->setMaxReadBytes(bytes);
}

QList<std::pair<QString, QByteArray>> SystemPasteboard::offeredRepresentations(
    const PasteboardContents &contents)
{
    QList<std::pair<QString, QByteArray>> offered;
    const bool hasUriList = contents.dataForType(PasteboardType::uriList).has_value();
    for (const auto &[type, bytes] : contents.data) {
        if (type == PasteboardType::uriList) {
            offered.append({ type, bytes });
            offered.append({ PasteboardType::gnomeCopiedFiles,
                ClipboardFetcher::gnomeCopiedFilesFromUriList(bytes) });
        } else if (type != PasteboardType::gnomeCopiedFiles || !hasUriList) {
            offered.append({ type, bytes });
        }
    }
    return offered;
}

void SystemPasteboard::takeOwnContents(const PasteboardContents &contents, quint64 epoch)
{
    m_epoch = epoch;
    replaceContents(m_contents, contents);
    m_contents.abandoned = false;
    m_ownerQuit = false;
    ++m_changeCount;
}

void SystemPasteboard::takeReadContents(const ClipboardSnapshot &snapshot)
{
    // Read before our latest write: already superseded.
    if (snapshot.epoch != m_epoch)
        return;
    replaceContents(m_contents, snapshot.contents);
    m_ownerQuit = snapshot.ownerQuit;
    m_readOrigin = snapshot.origin;
    if (snapshot.initial)
        return;
    ++m_changeCount;
    emit changed();
}
