// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

class QTextBlock;
class QTextCharFormat;
class QTextDocument;
struct Clip;

// Conversions between clipboard bytes and styled text (QTextDocument),
// shared by capture, restore and the clip editor. HTML goes through Qt's
// importer and exporter, RTF through RtfReader and RtfWriter. Documents are
// built on the calling thread and need a QGuiApplication for fonts.
namespace StyledText {

// True when one run of text carries formatting worth keeping: a link, an
// underline, a strike-through, a background or foreground colour, an
// embedded object such as an image, a paragraph in a list, a table or
// another frame, or a bold or italic font. Plain paragraphs and a regular
// font do not count.
bool attributesCarryFormatting(const QTextCharFormat &format, const QTextBlock &block);

// Walks the document's runs in order and stops at the first one that
// carries formatting. Empty paragraphs are judged by their own format.
bool documentCarriesFormatting(const QTextDocument &document);

// HTML bytes as UTF-8 for storing: a UTF-16 text with its byte-order mark
// becomes UTF-8; UTF-8 comes back byte for byte. Text in a declared
// legacy charset (<meta charset>) is converted and gets a UTF-8 byte-order
// mark, because its own declaration no longer holds; undeclared bytes that
// are not UTF-8 are read as windows-1252.
QByteArray decodeHtmlBytes(const QByteArray &html);

// HTML bytes as text: byte-order mark first, then a charset declared in the
// first kilobyte, then UTF-8 when valid, else windows-1252.
QString htmlText(const QByteArray &html);

// Styled text from HTML bytes; null when the result has no characters.
std::unique_ptr<QTextDocument> attributedStringFromHTML(const QByteArray &html);

// Styled text from RTF bytes; null when the bytes are not RTF or the result
// has no characters.
std::unique_ptr<QTextDocument> documentFromRtf(const QByteArray &rtf);

// RTF and HTML (UTF-8) for a document; none for an empty document.
std::optional<QByteArray> rtfData(const QTextDocument &document);
std::optional<QByteArray> htmlData(const QTextDocument &document);

// The document's characters as a plain string: paragraphs and line breaks
// end with "\n", the cells of one table row are joined by "\t", object
// placeholders (U+FFFC, images) are dropped and no-break spaces are kept.
QString plainText(const QTextDocument &document);

// The clip's content as styled text: its RTF when that parses to at least
// one character, else its HTML likewise, else null. When the RTF was made
// from the HTML, the HTML is tried first.
std::unique_ptr<QTextDocument> attributedText(const Clip &clip);

} // namespace StyledText
