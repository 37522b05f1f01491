// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// Legacy byte encodings met in clipboard RTF (Windows code pages) and HTML
// (declared charsets). The common single-byte Windows pages are built in so
// that RTF reading never depends on the C library's converter modules; the
// multi-byte East Asian pages and any other named charset go through iconv.
namespace CodePages {

// Decodes bytes in the given Windows code page (1252, 1250, 932, 10000 for
// Mac Roman, ...). An unknown page decodes as 1252. Bytes that do not map
// become U+FFFD; the result is never shorter than needed for valid input.
QString decode(QByteArrayView bytes, int codePage);

// True when decode() knows the page itself or through iconv.
bool isKnown(int codePage);

// The cp1252 byte for a character, when there is one (ASCII included).
std::optional<char> encodeCp1252(char16_t ch);

// Decodes bytes labelled with a charset name as found in HTML
// (windows-1252, iso-8859-2, shift_jis, ...). None when the name is not
// known; UTF-8 and UTF-16 labels are not handled here.
std::optional<QString> decodeCharset(QByteArrayView bytes, QByteArrayView charsetName);

} // namespace CodePages
