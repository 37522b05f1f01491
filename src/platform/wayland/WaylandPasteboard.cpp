// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandPasteboard.h"

#include "pasteboard/ClipboardFetcher.h"
#include "platform/wayland/WaylandClipboardReader.h"

WaylandPasteboard::WaylandPasteboard(QObject *parent)
    : Pasteboard(parent)
    , m_reader(std::make_unique<WaylandClipboardReader>())
{
    connect(m_reader.get(), &WaylandClipboardReader::snapshotRead, this,
        &WaylandPasteboard::onSnapshotRead, Qt::QueuedConnection);
    m_reader->start(&m_errorString);
}

WaylandPasteboard::~WaylandPasteboard() = default;

bool WaylandPasteboard::isReading() const
{
    return m_reader->isRunning();
}

QString WaylandPasteboard::protocolName() const
{
    return m_reader->protocolName();
}

std::optional<QByteArray> WaylandPasteboard::dataForType(const QString &type) const
{
    return m_contents.dataForType(type);
}

void WaylandPasteboard::setContents(const PasteboardContents &contents)
{
    m_epoch = m_reader->write(offeredRepresentations(contents));
    takeOwnContents(contents);
}

bool WaylandPasteboard::restoreContents(const PasteboardContents &contents)
{
    // What this pasteboard holds lags behind the compositor: the reader may
    // already be reading a program that copied since, and would lose that
    // copy to ours. The reader decides, on its own thread, against the last
    // selection it was told of.
    if (!m_contents.types.isEmpty() || !m_ownerQuit)
        return false;
    const std::optional<quint64> epoch
        = m_reader->restore(offeredRepresentations(contents), m_sequence);
    if (!epoch)
        return false;
    m_epoch = *epoch;
    takeOwnContents(contents);
    return true;
}

void WaylandPasteboard::takeOwnContents(const PasteboardContents &contents)
{
    replaceContents(m_contents, contents);
    m_contents.abandoned = false;
    m_ownerQuit = false;
    ++m_changeCount;
}

void WaylandPasteboard::setMaxReadBytes(qint64 bytes)
{
    m_reader->setMaxReadBytes(bytes);
}

QList<std::pair<QString, QByteArray>> WaylandPasteboard::offeredRepresentations(
    const PasteboardContents &contents)
{
    QList<std::pair<QString, QByteArray>> offered;
    const bool hasUriList = contents.dataForType(PasteboardType::uriList).has_value();
    for (const auto &[type, bytes] : contents.data) {
        if (type == PasteboardType::plainText) {
            // The names Wayland and X11 programs ask for; STRING is Latin-1.
            for (const char *alias :
                { "text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "TEXT" })
                offered.append({ QString::fromLatin1(alias), bytes });
            offered.append({ QStringLiteral("STRING"), QString::fromUtf8(bytes).toLatin1() });
        } else if (type == PasteboardType::uriList) {
            offered.append({ type, bytes });
            offered.append({ PasteboardType::gnomeCopiedFiles,
                ClipboardFetcher::gnomeCopiedFilesFromUriList(bytes) });
        } else if (type != PasteboardType::gnomeCopiedFiles || !hasUriList) {
            offered.append({ type, bytes });
        }
    }
    return offered;
}

void WaylandPasteboard::onSnapshotRead(const WaylandClipboardSnapshot &snapshot)
{
    // Read before our latest write: already superseded.
    if (snapshot.epoch != m_epoch)
        return;
    replaceContents(m_contents, snapshot.contents);
    m_sequence = snapshot.sequence;
    // Data-control cannot tell a clipboard cleared on purpose from one whose
    // owner quit; programs almost never clear it, so an empty one counts as
    // its owner gone.
    m_ownerQuit = !snapshot.offered;
    if (snapshot.initial)
        return;
    ++m_changeCount;
    emit changed();
}
