// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeKeyboardLayout.h"

FakeKeyboardLayout::FakeKeyboardLayout(QObject *parent)
    : KeyboardLayout(parent)
{
    // evdev rows of a US keyboard: digits from 2, "qwertyuiop" from 16,
    // "asdfghjkl" from 30, "zxcvbnm" from 44.
    const auto row = [this](int first, const char *keys) {
        for (int i = 0; keys[i]; ++i)
            m_characters.insert(first + i, QString(QLatin1Char(keys[i])));
    };
    row(2, "1234567890-=");
    row(16, "qwertyuiop[]");
    row(30, "asdfghjkl;'`");
    row(43, "\\zxcvbnm,./");
}

QString FakeKeyboardLayout::characterForEvdevCode(int evdevCode) const
{
    return m_characters.value(evdevCode);
}

void FakeKeyboardLayout::setCharacter(int evdevCode, const QString &text)
{
    m_characters.insert(evdevCode, text);
    emit layoutChanged();
}
