// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

// The keys that paste the clipboard: Ctrl+V, or Ctrl+Shift+V in a terminal,
// where Ctrl+V means a literal next character. Shift+Insert would paste the
// primary selection in xterm, not the clipboard.
enum class PasteChord { ctrlV, ctrlShiftV };

// The terminals the program knows, as window classes and app ids.
const QStringList &knownTerminals();

// The chord for a window going by `names` (its class and instance, or its
// app id): a terminal's when one of them, in any case, is a known terminal or
// one of the user's `extraTerminals`.
PasteChord pasteChordFor(const QStringList &names, const QStringList &extraTerminals);
