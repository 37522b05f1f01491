// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/PasteKeys.h"

#include <QDBusConnection>

// Presses the paste keys through the GNOME Shell companion, which types them
// on a virtual keyboard of the shell's own: they reach the focused window,
// Wayland or XWayland, read in the user's layout. The window with the
// keyboard is the shell's focus window, asked of the companion each time.
class GnomeShellPasteKeys : public PasteKeys
{
    Q_OBJECT
public:
    explicit GnomeShellPasteKeys(
        const QDBusConnection &bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);

    QString unavailableReason() const override { return QString(); }
    std::optional<Focus> keyboardFocus() override;
    bool press(PasteChord chord, QString *error) override;

private:
    QDBusConnection m_bus;
};
