// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/HotkeyController.h"

#include "globalhotkeys/NamedShortcuts.h"
#include "globalhotkeys/StandardNames.h"

#include <QKeyEvent>
#include <QMenu>
#include <QPointer>

using namespace GlobalHotkeys;

HotkeyController::HotkeyController(NamedShortcuts &shortcuts, QObject *parent)
    : QObject(parent)
    , m_shortcuts(shortcuts)
{
    // The handlers stay with the named shortcuts for the whole run, which may
    // outlast this controller: they hold it weakly.
    const QPointer<HotkeyController> self(this);
    const Name panel = m_shortcuts.createName(StandardNames::togglePanel());
    m_shortcuts.onKeyUp(panel, [self] {
        if (self && self->m_onToggle)
            self->m_onToggle();
    });
    const Name pinned = m_shortcuts.createName(StandardNames::togglePinnedPanel());
    m_shortcuts.onKeyUp(pinned, [self] {
        if (self && self->m_onTogglePinned)
            self->m_onTogglePinned();
    });
}

void HotkeyController::keepShortcutsWorkingIn(QMenu &menu)
{
    connect(&menu, &QMenu::aboutToShow, this, [this] { m_shortcuts.setMenuOpen(true); });
    connect(&menu, &QMenu::aboutToHide, this, [this] { m_shortcuts.setMenuOpen(false); });
    menu.installEventFilter(this);
}

bool HotkeyController::eventFilter(QObject *watched, QEvent *event)
{
    // Qt's menus close as Alt goes down. The shortcuts are Ctrl+Alt chords:
    // the menu would close halfway through one, give up the keyboard, and the
    // key that follows would reach neither the menu nor our hot keys.
    if (event->type() == QEvent::KeyPress && qobject_cast<QMenu *>(watched)
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Alt)
        return true;
    return QObject::eventFilter(watched, event);
}
