// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "globalhotkeys/KeyboardLayout.h"

#include <QHash>

// A keyboard layout a test sets key by key. It starts as a US keyboard's
// letters, digits and punctuation.
class FakeKeyboardLayout : public GlobalHotkeys::KeyboardLayout
{
public:
    explicit FakeKeyboardLayout(QObject *parent = nullptr);

    QString characterForEvdevCode(int evdevCode) const override;

    // Changes what the key at this evdev position prints, and announces it.
    void setCharacter(int evdevCode, const QString &text);

private:
    QHash<int, QString> m_characters;
};
