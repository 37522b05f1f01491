// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11ClipboardReader.h"

#include "pasteboard/ClipboardFetcher.h"
#include "pasteboard/ClipboardReading.h"
#include "platform/x11/X11ClipboardConnection.h"

#include <QDebug>

#include <algorithm>
#include <cstring>

namespace {

// Guards against an owner that announces an absurd list of targets.
constexpr qint64 maxTargetsBytes = 1 << 20;

} // namespace

X11ClipboardReader::X11ClipboardReader(QObject *parent)
    : ClipboardReader(parent)
    , m_connection(std::make_unique<X11ClipboardConnection>(m_epoch))
{
}

X11ClipboardReader::~X11ClipboardReader()
{
    stop();
}

quint32 X11ClipboardReader::clipboardAtom() const
{
    return m_connection->clipboardAtom();
}

quint64 X11ClipboardReader::noteOwnWrite(quint32 ownerWindow)
{
    // The window first, so that a change stamped with the new epoch is
    // always compared with the right owner.
    m_ownWindow = ownerWindow;
    return ++m_epoch;
}

ClipboardConnection &X11ClipboardReader::connection() const
{
    return *m_connection;
}

void X11ClipboardReader::run()
{
    m_connection->queueCurrentOwner();
    while (!m_connection->finished()) {
        if (const auto change = m_connection->takeOwnerChange())
            process(*change);
        else
            m_connection->waitForOwnerChange();
    }
}

void X11ClipboardReader::process(const X11OwnerChange &change)
{
    ClipboardSnapshot snapshot { {}, change.epoch, change.initial,
        change.owner == XCB_NONE && change.ownerQuit, change.owner };
    if (change.owner != XCB_NONE) {
        // The echo of our own write: the pasteboard already holds what we wrote.
        if (change.owner == m_ownWindow)
            return;
        bool interrupted = false;
        snapshot.contents = fetch(change, &interrupted);
        if (interrupted)
            return;
    }
    // Whatever arrived meanwhile is newer than what was just read.
    if (m_connection->hasOwnerChange() || m_connection->finished())
        return;
    if (change.owner != XCB_NONE && change.owner == m_ownWindow)
        return;
    emit snapshotRead(snapshot);
}

PasteboardContents X11ClipboardReader::fetch(const X11OwnerChange &change, bool *interrupted)
{
    PasteboardContents contents;
    // Listing targets costs an owner nothing, so an unanswered TARGETS is
    // asked again. Conversions may be costly (an office program rendering a
    // long document): they are asked again only of an owner that has shown
    // it leaves requests lying, as LibreOffice's X11 toolkit does at times.
    int asked = 0;
    const ClipboardRead targets = m_connection->read(
        m_connection->targetsAtom(), change.time, maxTargetsBytes, true, &asked);
    const bool leavesRequestsLying = asked > 1;
    switch (targets.status) {
    case ClipboardReadStatus::interrupted:
        *interrupted = true;
        return contents;
    case ClipboardReadStatus::timedOut:
        logAbandoned(change, QStringLiteral("TARGETS"), asked);
        contents.abandoned = true;
        return contents;
    case ClipboardReadStatus::overBudget:
        contents.abandoned = true;
        return contents;
    case ClipboardReadStatus::refused:
    case ClipboardReadStatus::ok:
        break;
    }

    QList<std::pair<QString, quint32>> named;
    if (targets.status == ClipboardReadStatus::ok && targets.format == 32) {
        QList<quint32> atoms(targets.data.size() / qsizetype(sizeof(quint32)));
        std::memcpy(atoms.data(), targets.data.constData(), atoms.size() * sizeof(quint32));
        named = m_connection->atomNames(atoms);
    }
    // An owner whose TARGETS reply is refused or unusable may still give
    // text when asked for it directly.
    if (named.isEmpty()) {
        named = { { QStringLiteral("UTF8_STRING"), m_connection->utf8StringAtom() },
            { QStringLiteral("STRING"), quint32(XCB_ATOM_STRING) } };
    }
    QStringList names;
    for (const auto &[name, atom] : std::as_const(named))
        names.append(name);

    ClipboardFetcher fetcher(names, m_maxReadBytes, [&](const QString &target, qint64 budget) {
        const auto found = std::find_if(
            named.cbegin(), named.cend(), [&target](const auto &n) { return n.first == target; });
        int requests = 0;
        ClipboardRead read = m_connection->read(
            found->second, change.time, budget, leavesRequestsLying, &requests);
        if (read.status == ClipboardReadStatus::timedOut)
            logAbandoned(change, target, requests);
        return read;
    });
    ClipboardFetcher::Result result = fetcher.fetch();
    *interrupted = result.interrupted;
    return result.contents;
}

void X11ClipboardReader::logAbandoned(
    const X11OwnerChange &change, const QString &target, int asked) const
{
    qWarning().noquote() << QStringLiteral("The clipboard owner (window 0x%1) did not deliver %2 "
                                           "within %3 s, asked %4 times; the copy is not recorded")
                                .arg(change.owner, 0, 16)
                                .arg(target)
                                .arg(ClipboardReading::requestDeadline.count() / 1000)
                                .arg(asked);
}
