// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QColor>
#include <QHash>
#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextListFormat>

#include <map>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

class QTextDocument;
class QTextList;
struct RtfKeyword;

// Reads the RTF that editors put on the clipboard (LibreOffice, Word,
// WordPad, TextEdit, browser converters) into a QTextDocument: code pages
// and \uN, fonts, colours, bold, italic, underline, strike, sizes,
// paragraphs, hyperlink fields and lists. Unknown destinations, pictures,
// headers and document information are skipped. Table cells come out as
// tab-separated text, one row per paragraph.
//
// The input is untrusted: numbers are clamped, group nesting is bounded by
// maxGroupDepth (deeper groups share the state of the deepest one), and
// truncated or unbalanced input yields what was read up to the fault.
class RtfReader
{
public:
    static constexpr int maxGroupDepth = 1000;

    explicit RtfReader(QTextDocument *document);

    // Replaces the document's contents with the text of rtf. Returns false,
    // leaving the document empty, when rtf does not start like RTF.
    bool read(QByteArrayView rtf);

private:
    enum class Destination {
        Text,
        Skip,
        FontTable,
        ColorTable,
        FieldInstruction,
        ListMarker,
        ListTable,
        ListOverrideTable,
        ParagraphNumbering,
        UnicodePair,
    };

    struct CharacterState
    {
        bool bold = false;
        bool italic = false;
        bool strike = false;
        bool hidden = false;
        QTextCharFormat::UnderlineStyle underline = QTextCharFormat::NoUnderline;
        QTextCharFormat::VerticalAlignment vertical = QTextCharFormat::AlignNormal;
        QFont::Capitalization capitalization = QFont::MixedCase;
        int foreground = 0; // colour table index; 0 is the automatic colour
        int background = 0;
        int font = -1; // font table index; -1 is the default font
        int halfPoints = 0; // 0 leaves the size unset
    };

    struct ParagraphState
    {
        Qt::Alignment alignment;
        int listOverride = 0; // \ls; 0 when the paragraph is not in a list
        int listLevel = 0; // \ilvl
        QTextListFormat::Style numbering = QTextListFormat::ListStyleUndefined; // \pn
        int numberingLevel = 0;
    };

    struct GroupState
    {
        Destination destination = Destination::Text;
        Destination pairedDestination = Destination::Text; // restored by \ud inside \upr
        CharacterState character;
        ParagraphState paragraph;
        QString href; // a field result's link survives \plain
        int unicodeSkip = 1; // \uc
        bool ignorable = false; // \* seen, waiting for the destination word
    };

    struct FontEntry
    {
        QString family;
        int codePage = 0; // 0: the document's code page
    };

    struct Field
    {
        size_t depth = 0;
        QString instruction;
    };

    void parse();
    void readControl();
    void readControlWord();
    void readHexByte();
    void openGroup();
    bool closeGroup();
    void controlWord(std::string_view word, bool hasParam, int param);
    // The handlers of the keyword table's categories.
    void documentWord(const RtfKeyword &keyword, bool hasParam, int param);
    void destinationWord(const RtfKeyword &keyword);
    void fieldWord(const RtfKeyword &keyword);
    void tableWord(const RtfKeyword &keyword, bool hasParam, int param);
    void characterWord(const RtfKeyword &keyword, bool hasParam, int param);
    void paragraphWord(const RtfKeyword &keyword, bool hasParam, int param);
    void specialWord(const RtfKeyword &keyword, bool hasParam, int param);
    void controlSymbol(char symbol);
    void textByte(char byte);
    void textBytes(QByteArrayView bytes);
    bool consumeSkipped();
    void skipBinary(int count);

    void holdBytes(QByteArrayView bytes);
    void flushBytes();
    void appendText(const QString &text);
    void appendChar(char16_t ch);
    void flushText();
    void endParagraph();
    void applyParagraph();
    void finishDocument();
    QTextCharFormat currentFormat() const;
    int currentCodePage() const;
    void startFont(int index);
    void commitFont();
    void commitColor();
    QString hrefFromInstruction(const QString &instruction) const;
    QTextListFormat::Style listStyle(const ParagraphState &paragraph) const;

    GroupState &state() { return m_groups.back(); }
    const GroupState &state() const { return m_groups.back(); }

    QTextDocument *m_document;
    QTextCursor m_cursor;
    QByteArrayView m_input;
    qsizetype m_pos = 0;

    std::vector<GroupState> m_groups;
    int m_overflowDepth = 0;
    int m_skip = 0; // fallback characters still to skip after \uN

    int m_documentCodePage = 1252;
    int m_defaultFont = 0;
    QHash<int, FontEntry> m_fonts;
    int m_fontIndex = -1; // entry being read in the font table
    QString m_fontName;
    int m_fontCodePage = 0;

    std::vector<std::optional<QColor>> m_colors;
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colorHasValue = false;

    std::vector<Field> m_fields;

    // List table: \levelnfc per list id and level, and \ls -> list id.
    QHash<int, std::vector<int>> m_listLevelNumbering;
    std::vector<int> m_pendingLevels;
    int m_overrideListId = 0;
    QHash<int, int> m_listOverrides;
    std::map<std::pair<int, int>, QTextList *> m_lists;
    QString m_listMarker;

    QByteArray m_bytes; // undecoded text bytes, all in m_bytesCodePage
    int m_bytesCodePage = 1252;
    QString m_text; // decoded text waiting to be inserted with m_textFormat
    QTextCharFormat m_textFormat;
    bool m_formatDirty = true;
    int m_pendingCells = 0;
};
