// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Clip.h"

#include <simdjson.h>

// Reading one clip object, shared by the archive and the journal that
// extends it; kept out of ClipArchive.h so that only those two see simdjson.
namespace ClipArchive {

// Strings read from the history live as long as it keeps them: without the
// character per UTF-8 byte that decoding reserves, text outside ASCII would
// hold up to three times the room it needs.
inline QString toQString(std::string_view text)
{
    QString string = QString::fromUtf8(text.data(), qsizetype(text.size()));
    string.squeeze();
    return string;
}

bool readClip(simdjson::dom::object object, Clip *clip, QString *error);

} // namespace ClipArchive
