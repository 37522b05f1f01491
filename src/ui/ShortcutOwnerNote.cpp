// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ShortcutOwnerNote.h"

#include "globalhotkeys/HotkeyRegistrar.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using GlobalHotkeys::HotkeyRegistrar;

ShortcutOwnerNote::ShortcutOwnerNote(HotkeyRegistrar &registrar, QWidget *parent)
    : QWidget(parent)
    , m_registrar(registrar)
    , m_label(new QLabel)
    , m_configure(new QPushButton(qtTrId("prefs.hotkey.configure")))
{
    m_label->setWordWrap(true);
    m_label->setObjectName(QStringLiteral("shortcutOwner"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_label);
    layout->addWidget(m_configure, 0, Qt::AlignLeft);
    connect(m_configure, &QPushButton::clicked, this, [this] { m_registrar.configure(); });
    connect(&m_registrar, &HotkeyRegistrar::ownerChanged, this, &ShortcutOwnerNote::refresh);
    refresh();
}

QString ShortcutOwnerNote::text() const
{
    return m_label->text();
}

void ShortcutOwnerNote::refresh()
{
    switch (m_registrar.owner()) {
    case HotkeyRegistrar::Owner::program:
        m_label->clear();
        break;
    case HotkeyRegistrar::Owner::desktop:
        m_label->setText(qtTrId("prefs.hotkey.desktopOwns"));
        break;
    case HotkeyRegistrar::Owner::user:
        m_label->setText(qtTrId("prefs.hotkey.userBinds"));
        break;
    }
    m_configure->setVisible(m_registrar.canConfigure());
    setVisible(m_registrar.owner() != HotkeyRegistrar::Owner::program);
}
