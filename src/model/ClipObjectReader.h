#pragma once

#include "Clip.h"

#include <simdjson.h>

// Reading one clip object, shared by the archive and the journal that
// extends it; kept out of ClipArchive.h so that only those two see simdjson.
namespace ClipArchive {

bool readClip(simdjson::dom::object object, Clip *clip, QString *error);

} // namespace ClipArchive
