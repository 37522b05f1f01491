// SPDX-License-Identifier: GPL-3.0-or-later
#include "pasteboard/StyledText.h"

#include "model/Clip.h"
#include "pasteboard/CodePages.h"
#include "pasteboard/RtfReader.h"
#include "pasteboard/RtfWriter.h"

#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

namespace {

bool brushSet(const QTextCharFormat &format, QTextFormat::Property property)
{
    return format.hasProperty(property) && format.brushProperty(property).style() != Qt::NoBrush;
}

// A charset declared by a <meta> tag in the first kilobyte, lower-cased.
QByteArray declaredCharset(const QByteArray &html)
{
    const QByteArray head = html.left(1024).toLower();
    qsizetype meta = head.indexOf("<meta");
    while (meta >= 0) {
        qsizetype end = head.indexOf('>', meta);
        if (end < 0)
            end = head.size();
        const qsizetype charset = head.indexOf("charset", meta);
        if (charset >= 0 && charset < end) {
            qsizetype pos = charset + 7;
            while (pos < end && (head[pos] == ' ' || head[pos] == '\t'))
                ++pos;
            if (pos < end && head[pos] == '=') {
                ++pos;
                while (pos < end && (head[pos] == ' ' || head[pos] == '"' || head[pos] == '\''))
                    ++pos;
                const qsizetype start = pos;
                while (pos < end) {
                    const char c = head[pos];
                    const bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
                        || c == '_' || c == '.' || c == ':';
                    if (!plain)
                        break;
                    ++pos;
                }
                if (pos > start)
                    return head.mid(start, pos - start);
            }
        }
        meta = head.indexOf("<meta", end);
    }
    return QByteArray();
}

// Labels that mean "the bytes are UTF-8 as far as we can tell": a UTF-16
// label found by an ASCII scan cannot be true, so browsers read UTF-8 too.
bool isUnicodeLabel(const QByteArray &charset)
{
    return charset == "utf-8" || charset == "utf8" || charset == "unicode-1-1-utf-8"
        || charset.startsWith("utf-16") || charset == "unicode";
}

std::optional<QString> decodeUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

struct TableCellPosition
{
    const QTextTable *table = nullptr;
    int row = -1;
    int column = -1;
};

TableCellPosition cellPosition(const QTextBlock &block)
{
    const QTextTable *table = QTextCursor(block).currentTable();
    if (!table)
        return {};
    const QTextTableCell cell = table->cellAt(block.position());
    return { table, cell.row(), cell.column() };
}

} // namespace

namespace StyledText {

bool attributesCarryFormatting(const QTextCharFormat &format, const QTextBlock &block)
{
    if (!format.anchorHref().isEmpty())
        return true;
    if (format.fontUnderline() || format.underlineStyle() != QTextCharFormat::NoUnderline)
        return true;
    if (format.fontStrikeOut())
        return true;
    if (brushSet(format, QTextFormat::BackgroundBrush)
        || brushSet(format, QTextFormat::ForegroundBrush))
        return true;
    if (format.objectType() != QTextFormat::NoObject || format.isImageFormat())
        return true;
    if (block.isValid()) {
        if (block.textList())
            return true;
        // Tables and other frames below the root stand for text blocks.
        if (QTextCursor(block).currentFrame() != block.document()->rootFrame())
            return true;
    }
    return format.fontWeight() >= QFont::DemiBold || format.fontItalic();
}

bool documentCarriesFormatting(const QTextDocument &document)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        auto it = block.begin();
        if (it.atEnd() && attributesCarryFormatting(block.charFormat(), block))
            return true;
        for (; !it.atEnd(); ++it) {
            if (attributesCarryFormatting(it.fragment().charFormat(), block))
                return true;
        }
    }
    return false;
}

QString htmlText(const QByteArray &html)
{
    if (html.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE)(QByteArrayView(html).sliced(2));
    if (html.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE)(QByteArrayView(html).sliced(2));
    if (html.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(QByteArrayView(html).sliced(3));
    const QByteArray charset = declaredCharset(html);
    if (!charset.isEmpty() && !isUnicodeLabel(charset)) {
        if (auto text = CodePages::decodeCharset(html, charset))
            return *text;
    }
    if (auto text = decodeUtf8(html))
        return *text;
    return CodePages::decode(html, 1252);
}

QByteArray decodeHtmlBytes(const QByteArray &html)
{
    if (html.startsWith("\xFF\xFE") || html.startsWith("\xFE\xFF"))
        return htmlText(html).toUtf8();
    if (html.startsWith("\xEF\xBB\xBF"))
        return html;
    const QByteArray charset = declaredCharset(html);
    if (!charset.isEmpty() && !isUnicodeLabel(charset)) {
        if (const auto text = CodePages::decodeCharset(html, charset)) {
            const QByteArray utf8 = text->toUtf8();
            if (utf8 == html)
                return html;
            // The mark outranks the stale <meta> for every later reader.
            return QByteArrayLiteral("\xEF\xBB\xBF") + utf8;
        }
    }
    if (decodeUtf8(html))
        return html;
    return CodePages::decode(html, 1252).toUtf8();
}

std::unique_ptr<QTextDocument> attributedStringFromHTML(const QByteArray &html)
{
    const QString text = htmlText(html);
    if (text.isEmpty())
        return nullptr;
    auto document = std::make_unique<QTextDocument>();
    document->setHtml(text);
    if (document->isEmpty())
        return nullptr;
    return document;
}

std::unique_ptr<QTextDocument> documentFromRtf(const QByteArray &rtf)
{
    auto document = std::make_unique<QTextDocument>();
    RtfReader reader(document.get());
    if (!reader.read(rtf) || document->isEmpty())
        return nullptr;
    return document;
}

std::optional<QByteArray> rtfData(const QTextDocument &document)
{
    if (document.isEmpty())
        return std::nullopt;
    return RtfWriter(document).write();
}

std::optional<QByteArray> htmlData(const QTextDocument &document)
{
    if (document.isEmpty())
        return std::nullopt;
    return document.toHtml().toUtf8();
}

QString plainText(const QTextDocument &document)
{
    QString text;
    TableCellPosition previous;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const TableCellPosition current = cellPosition(block);
        if (block != document.begin()) {
            const bool nextCellOfRow = current.table && current.table == previous.table
                && current.row == previous.row && current.column != previous.column;
            text += nextCellOfRow ? u'\t' : u'\n';
        }
        previous = current;
        for (const QChar ch : block.text()) {
            if (ch == QChar::LineSeparator)
                text += u'\n';
            else if (ch != QChar::ObjectReplacementCharacter)
                text += ch;
        }
    }
    return text;
}

std::unique_ptr<QTextDocument> attributedText(const Clip &clip)
{
    const auto fromRtf = [&clip]() -> std::unique_ptr<QTextDocument> {
        return clip.rtf ? documentFromRtf(*clip.rtf) : nullptr;
    };
    const auto fromHtml = [&clip]() -> std::unique_ptr<QTextDocument> {
        return clip.html ? attributedStringFromHTML(*clip.html) : nullptr;
    };
    // RTF made here from the HTML carries less than the HTML itself.
    if (clip.rtfFromHtml) {
        if (auto document = fromHtml())
            return document;
        return fromRtf();
    }
    if (auto document = fromRtf())
        return document;
    return fromHtml();
}

} // namespace StyledText
