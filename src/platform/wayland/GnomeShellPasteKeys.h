// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/PasteKeys.h"

#include <QDBusConnection>

// Presses the paste keys through the GNOME Shell companion, which types them
// on a virtual keyboard of the shell's own: they reach the focused window,
// Wayland or XWayland, read in the user's layout. The window with the
// keyboard is the shell's focus window, followed through the companion's
// announcements, so that waiting for it never holds the event loop.
class GnomeShellPasteKeys : public PasteKeys
{
    Q_OBJECT
public:
    explicit GnomeShellPasteKeys(
        const QDBusConnection &bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);
    ~GnomeShellPasteKeys() override;

    QString unavailableReason() const override { return QString(); }
    std::optional<Focus> keyboardFocus() override;
    bool press(PasteChord chord, QString *error) override;

private slots:
    void onFocusedWindowChanged(qulonglong id, uint pid);

private:
    void askForFocusedWindow();

    QDBusConnection m_bus;
    // The focus as last answered, with its names; absent while the answer
    // for the latest announced window is still on its way.
    std::optional<Focus> m_focus;
    quint64 m_focusChanges = 0;
};
