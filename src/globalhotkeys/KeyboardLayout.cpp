// SPDX-License-Identifier: GPL-3.0-or-later
#include "globalhotkeys/KeyboardLayout.h"

#include "globalhotkeys/KeyCodeTable.h"
#include "globalhotkeys/SpecialKey.h"

#include <QTextBoundaryFinder>

namespace GlobalHotkeys {

namespace {

bool isOneCharacter(const QString &text)
{
    // Control characters (Return, Tab, Escape on some keys) print nothing.
    if (text.isEmpty() || text.at(0).category() == QChar::Other_Control)
        return false;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    return graphemes.toNextBoundary() == text.size();
}

} // namespace

std::optional<QString> keyToCharacter(const KeyboardLayout &layout, qint64 keyCode)
{
    if (specialKeyForKeyCode(keyCode))
        return std::nullopt;
    const std::optional<int> evdev = evdevCodeForKeyCode(keyCode);
    if (!evdev)
        return std::nullopt;
    const QString text = layout.characterForEvdevCode(*evdev);
    if (!isOneCharacter(text))
        return std::nullopt;
    return text;
}

} // namespace GlobalHotkeys
