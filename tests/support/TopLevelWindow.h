// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QWidget>

// One of the program's windows or menus, found by its type and, when given,
// its object name, as the user finds it on screen; null when there is none.
template<typename Window> Window *topLevelWindow(const QString &name = QString())
{
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (auto *found = qobject_cast<Window *>(window);
            found && (name.isEmpty() || window->objectName() == name))
            return found;
    }
    return nullptr;
}
