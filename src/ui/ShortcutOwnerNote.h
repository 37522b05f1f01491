// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace GlobalHotkeys {
class HotkeyRegistrar;
}

// Under the shortcut recorders: who decides which keys fire the shortcuts
// when it is not this program. The desktop (its portal binds them; a button
// opens its page for them where it has one), or the user, who binds our
// command line in the desktop's settings. Hidden where we grab the keys.
class ShortcutOwnerNote : public QWidget
{
    Q_OBJECT
public:
    explicit ShortcutOwnerNote(
        GlobalHotkeys::HotkeyRegistrar &registrar, QWidget *parent = nullptr);

    QString text() const;

private:
    void refresh();

    GlobalHotkeys::HotkeyRegistrar &m_registrar;
    QLabel *m_label = nullptr;
    QPushButton *m_configure = nullptr;
};
