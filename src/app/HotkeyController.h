// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <functional>

class QMenu;

namespace GlobalHotkeys {
class NamedShortcuts;
}

// Binds the two global shortcuts, the panel with all clips and with the kept
// clips only, to callbacks the application controller fills in at launch.
// The shortcuts act on release, so holding the keys down does nothing yet.
class HotkeyController : public QObject
{
    Q_OBJECT
public:
    using Callback = std::function<void()>;

    explicit HotkeyController(GlobalHotkeys::NamedShortcuts &shortcuts, QObject *parent = nullptr);

    // Unset until launch: a shortcut released before then does nothing.
    void setOnToggle(Callback callback) { m_onToggle = std::move(callback); }
    void setOnTogglePinned(Callback callback) { m_onTogglePinned = std::move(callback); }

    // While this menu is open it holds the keyboard and our hot keys would
    // never fire; the shortcuts then match the menu's own key events.
    void keepShortcutsWorkingIn(QMenu &menu);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    GlobalHotkeys::NamedShortcuts &m_shortcuts;
    Callback m_onToggle;
    Callback m_onTogglePinned;
};
