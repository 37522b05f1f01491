// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pasteboard/SystemPasteboard.h"

#include <QDBusConnection>
#include <QStringList>

#include <functional>

class GnomeShellClipboardReader;
class GnomeShellSource;
class QDBusServiceWatcher;

// The clipboard on GNOME's Wayland session, whose compositor offers no
// data-control, through the GNOME Shell companion (see SystemPasteboard):
// the companion announces every new owner with its types, the reader thread
// reads what capture needs through pipes, and our own writes become the
// clipboard's owner there, their bytes sent only when a program pastes.
// Without the companion on the bus the pasteboard neither reads nor writes.
// Where the companion offers only one type of ours (GNOME 43 and 44), our
// writes go to the X11 clipboard instead when we can, which the shell hands
// to Wayland programs with every type.
class GnomeShellPasteboard : public SystemPasteboard
{
    Q_OBJECT
public:
    // Offers the types on the X11 clipboard (X11Pasteboard::claimClipboard).
    using OfferThroughX11 = std::function<void(const QList<std::pair<QString, QByteArray>> &)>;

    explicit GnomeShellPasteboard(const QDBusConnection &bus = QDBusConnection::sessionBus(),
        OfferThroughX11 offerThroughX11 = {}, QObject *parent = nullptr);
    ~GnomeShellPasteboard() override;

    void setContents(const PasteboardContents &contents) override;
    bool restoreContents(const PasteboardContents &contents) override;

    // The types our offer lists for the companion, the one to hold first.
    static QStringList typesForShell(const QList<std::pair<QString, QByteArray>> &offered);

    // Longer than the companion takes to fetch the first type of our offer.
    static constexpr int setClipboardTimeout = 10000;

private slots:
    void onClipboardChanged(uint serial, const QStringList &mimeTypes, bool ownedByQuillstack);

private:
    GnomeShellClipboardReader &shellReader() const;
    // Asks the companion what the clipboard holds now, without waiting:
    // what was copied before we started (initial) or while it was away.
    void askForClipboard(bool initial);
    // Asks whether the companion offers every type of ours, without waiting.
    void askWhatIsOffered();

    QDBusConnection m_bus;
    GnomeShellSource *m_source;
    QDBusServiceWatcher *m_watcher;
    OfferThroughX11 m_offerThroughX11;
    // Until the companion says otherwise.
    bool m_offersEveryType = true;
    // Our offers the companion has not answered yet.
    int m_offersUnanswered = 0;
    quint32 m_lastSerial = 0;
    // Counts the changes announced, so that an older answer loses to them.
    quint64 m_changesAnnounced = 0;
};
