// SPDX-License-Identifier: GPL-3.0-or-later
#include "globalhotkeys/Shortcut.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

using GlobalHotkeys::Shortcut;

// Decodes arbitrary bytes as a stored shortcut; one that decodes must write
// and read back as itself, since the settings file keeps only that form.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<Shortcut> shortcut = Shortcut::fromJson(json);
    if (!shortcut)
        return 0;
    const std::optional<Shortcut> readBack = Shortcut::fromJson(shortcut->toJson());
    if (!readBack || *readBack != *shortcut)
        abort();
    return 0;
}
