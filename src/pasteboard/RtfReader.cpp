// SPDX-License-Identifier: GPL-3.0-or-later
#include "pasteboard/RtfReader.h"

#include "pasteboard/CodePages.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <array>
#include <limits>

namespace {

// What a control word acts on; each category has its own handler.
enum class Category : quint8 { Document, Destination, Table, Character, Paragraph, Special };

// clang-format off
enum class Keyword : quint8 {
    // Document
    CodePage, AnsiCodePage, DefaultFont, UnicodeSkip, Binary,
    // Destination
    FontTable, ColorTable, Field, FieldInstruction, FieldResult, ListMarker, ParagraphNumbering,
    ListTable, ListOverrideTable, UnicodePair, UnicodeDestination, SkippedDestination,
    // Table: font, colour and list tables
    FontCharset, FontCodePage, Red, Green, Blue, List, ListLevel, LevelNumbering, ListId,
    ListOverride,
    // Character
    Font, Bold, Italic, Strike, Hidden, Underline, Foreground, Background, FontSize, Plain,
    Vertical, Capitalization,
    // Paragraph
    ParagraphDefault, Paragraph, Cell, Align, ListOverrideIndex, ListLevelIndex, NumberingBullet,
    NumberingBody, NumberingLevel, Numbering,
    // Special
    Character, Unicode,
};
// clang-format on

} // namespace

struct RtfKeyword
{
    std::string_view name;
    Category category;
    Keyword keyword;
    // The code page, underline style, alignment, list style or character
    // that words sharing a keyword differ by.
    int value = 0;
};

namespace {

// Sorted by name for binary search.
constexpr std::array kKeywords = std::to_array<RtfKeyword>({
    { "annotation", Category::Destination, Keyword::SkippedDestination },
    { "ansi", Category::Document, Keyword::CodePage, 1252 },
    { "ansicpg", Category::Document, Keyword::AnsiCodePage },
    { "atnauthor", Category::Destination, Keyword::SkippedDestination },
    { "atnid", Category::Destination, Keyword::SkippedDestination },
    { "author", Category::Destination, Keyword::SkippedDestination },
    { "b", Category::Character, Keyword::Bold },
    { "bin", Category::Document, Keyword::Binary },
    { "blue", Category::Table, Keyword::Blue },
    { "bullet", Category::Special, Keyword::Character, 0x2022 },
    { "caps", Category::Character, Keyword::Capitalization, QFont::AllUppercase },
    { "cb", Category::Character, Keyword::Background },
    { "cell", Category::Paragraph, Keyword::Cell },
    { "cf", Category::Character, Keyword::Foreground },
    { "chcbpat", Category::Character, Keyword::Background },
    { "colorschememapping", Category::Destination, Keyword::SkippedDestination },
    { "colortbl", Category::Destination, Keyword::ColorTable },
    { "comment", Category::Destination, Keyword::SkippedDestination },
    { "cpg", Category::Table, Keyword::FontCodePage },
    { "datastore", Category::Destination, Keyword::SkippedDestination },
    { "deff", Category::Document, Keyword::DefaultFont },
    { "do", Category::Destination, Keyword::SkippedDestination },
    { "doccomm", Category::Destination, Keyword::SkippedDestination },
    { "docvar", Category::Destination, Keyword::SkippedDestination },
    { "emdash", Category::Special, Keyword::Character, 0x2014 },
    { "emspace", Category::Special, Keyword::Character, 0x2003 },
    { "endash", Category::Special, Keyword::Character, 0x2013 },
    { "enspace", Category::Special, Keyword::Character, 0x2002 },
    { "f", Category::Character, Keyword::Font },
    { "fcharset", Category::Table, Keyword::FontCharset },
    { "field", Category::Destination, Keyword::Field },
    { "filetbl", Category::Destination, Keyword::SkippedDestination },
    { "fldinst", Category::Destination, Keyword::FieldInstruction },
    { "fldrslt", Category::Destination, Keyword::FieldResult },
    { "fonttbl", Category::Destination, Keyword::FontTable },
    { "footer", Category::Destination, Keyword::SkippedDestination },
    { "footerf", Category::Destination, Keyword::SkippedDestination },
    { "footerl", Category::Destination, Keyword::SkippedDestination },
    { "footerr", Category::Destination, Keyword::SkippedDestination },
    { "footnote", Category::Destination, Keyword::SkippedDestination },
    { "fs", Category::Character, Keyword::FontSize },
    { "ftncn", Category::Destination, Keyword::SkippedDestination },
    { "ftnsep", Category::Destination, Keyword::SkippedDestination },
    { "ftnsepc", Category::Destination, Keyword::SkippedDestination },
    { "generator", Category::Destination, Keyword::SkippedDestination },
    { "green", Category::Table, Keyword::Green },
    { "header", Category::Destination, Keyword::SkippedDestination },
    { "headerf", Category::Destination, Keyword::SkippedDestination },
    { "headerl", Category::Destination, Keyword::SkippedDestination },
    { "headerr", Category::Destination, Keyword::SkippedDestination },
    { "highlight", Category::Character, Keyword::Background },
    { "i", Category::Character, Keyword::Italic },
    { "ilvl", Category::Paragraph, Keyword::ListLevelIndex },
    { "info", Category::Destination, Keyword::SkippedDestination },
    { "keywords", Category::Destination, Keyword::SkippedDestination },
    { "latentstyles", Category::Destination, Keyword::SkippedDestination },
    { "ldblquote", Category::Special, Keyword::Character, 0x201C },
    { "levelnfc", Category::Table, Keyword::LevelNumbering },
    { "levelnfcn", Category::Table, Keyword::LevelNumbering },
    { "levelnumbers", Category::Destination, Keyword::SkippedDestination },
    { "leveltext", Category::Destination, Keyword::SkippedDestination },
    { "line", Category::Special, Keyword::Character, QChar::LineSeparator },
    { "list", Category::Table, Keyword::List },
    { "listid", Category::Table, Keyword::ListId },
    { "listlevel", Category::Table, Keyword::ListLevel },
    { "listname", Category::Destination, Keyword::SkippedDestination },
    { "listoverride", Category::Table, Keyword::ListOverride },
    { "listoverridetable", Category::Destination, Keyword::ListOverrideTable },
    { "listpicture", Category::Destination, Keyword::SkippedDestination },
    { "listtable", Category::Destination, Keyword::ListTable },
    { "listtext", Category::Destination, Keyword::ListMarker },
    { "lquote", Category::Special, Keyword::Character, 0x2018 },
    { "ls", Category::Paragraph, Keyword::ListOverrideIndex },
    { "ltrmark", Category::Special, Keyword::Character, 0x200E },
    { "mac", Category::Document, Keyword::CodePage, 10000 },
    { "mmathPr", Category::Destination, Keyword::SkippedDestination },
    { "nestcell", Category::Paragraph, Keyword::Cell },
    { "nestrow", Category::Paragraph, Keyword::Paragraph },
    { "nonesttables", Category::Destination, Keyword::SkippedDestination },
    { "nonshppict", Category::Destination, Keyword::SkippedDestination },
    { "nosupersub", Category::Character, Keyword::Vertical, QTextCharFormat::AlignNormal },
    { "objdata", Category::Destination, Keyword::SkippedDestination },
    { "operator", Category::Destination, Keyword::SkippedDestination },
    { "page", Category::Paragraph, Keyword::Paragraph },
    { "par", Category::Paragraph, Keyword::Paragraph },
    { "pard", Category::Paragraph, Keyword::ParagraphDefault },
    { "pc", Category::Document, Keyword::CodePage, 437 },
    { "pca", Category::Document, Keyword::CodePage, 850 },
    { "pgdsctbl", Category::Destination, Keyword::SkippedDestination },
    { "pict", Category::Destination, Keyword::SkippedDestination },
    { "plain", Category::Character, Keyword::Plain },
    { "pn", Category::Destination, Keyword::ParagraphNumbering },
    { "pndec", Category::Paragraph, Keyword::Numbering, QTextListFormat::ListDecimal },
    { "pnlcltr", Category::Paragraph, Keyword::Numbering, QTextListFormat::ListLowerAlpha },
    { "pnlcrm", Category::Paragraph, Keyword::Numbering, QTextListFormat::ListLowerRoman },
    { "pnlvl", Category::Paragraph, Keyword::NumberingLevel },
    { "pnlvlblt", Category::Paragraph, Keyword::NumberingBullet },
    { "pnlvlbody", Category::Paragraph, Keyword::NumberingBody },
    { "pntext", Category::Destination, Keyword::ListMarker },
    { "pntxta", Category::Destination, Keyword::SkippedDestination },
    { "pntxtb", Category::Destination, Keyword::SkippedDestination },
    { "pnucltr", Category::Paragraph, Keyword::Numbering, QTextListFormat::ListUpperAlpha },
    { "pnucrm", Category::Paragraph, Keyword::Numbering, QTextListFormat::ListUpperRoman },
    { "printim", Category::Destination, Keyword::SkippedDestination },
    { "private", Category::Destination, Keyword::SkippedDestination },
    { "qc", Category::Paragraph, Keyword::Align, Qt::AlignHCenter },
    { "qj", Category::Paragraph, Keyword::Align, Qt::AlignJustify },
    { "ql", Category::Paragraph, Keyword::Align, Qt::AlignLeft },
    { "qmspace", Category::Special, Keyword::Character, 0x2005 },
    { "qr", Category::Paragraph, Keyword::Align, Qt::AlignRight },
    { "rdblquote", Category::Special, Keyword::Character, 0x201D },
    { "red", Category::Table, Keyword::Red },
    { "revtbl", Category::Destination, Keyword::SkippedDestination },
    { "row", Category::Paragraph, Keyword::Paragraph },
    { "rquote", Category::Special, Keyword::Character, 0x2019 },
    { "rsidtbl", Category::Destination, Keyword::SkippedDestination },
    { "rtlmark", Category::Special, Keyword::Character, 0x200F },
    { "scaps", Category::Character, Keyword::Capitalization, QFont::SmallCaps },
    { "sect", Category::Paragraph, Keyword::Paragraph },
    { "shp", Category::Destination, Keyword::SkippedDestination },
    { "shppict", Category::Destination, Keyword::SkippedDestination },
    { "strike", Category::Character, Keyword::Strike },
    { "striked", Category::Character, Keyword::Strike },
    { "stylesheet", Category::Destination, Keyword::SkippedDestination },
    { "sub", Category::Character, Keyword::Vertical, QTextCharFormat::AlignSubScript },
    { "subject", Category::Destination, Keyword::SkippedDestination },
    { "super", Category::Character, Keyword::Vertical, QTextCharFormat::AlignSuperScript },
    { "tab", Category::Special, Keyword::Character, u'\t' },
    { "tc", Category::Destination, Keyword::SkippedDestination },
    { "template", Category::Destination, Keyword::SkippedDestination },
    { "themedata", Category::Destination, Keyword::SkippedDestination },
    { "title", Category::Destination, Keyword::SkippedDestination },
    { "txe", Category::Destination, Keyword::SkippedDestination },
    { "u", Category::Special, Keyword::Unicode },
    { "uc", Category::Document, Keyword::UnicodeSkip },
    { "ud", Category::Destination, Keyword::UnicodeDestination },
    { "ul", Category::Character, Keyword::Underline, QTextCharFormat::SingleUnderline },
    { "uld", Category::Character, Keyword::Underline, QTextCharFormat::DotLine },
    { "uldash", Category::Character, Keyword::Underline, QTextCharFormat::DashUnderline },
    { "uldashd", Category::Character, Keyword::Underline, QTextCharFormat::DashUnderline },
    { "uldashdd", Category::Character, Keyword::Underline, QTextCharFormat::DashUnderline },
    { "uldb", Category::Character, Keyword::Underline, QTextCharFormat::SingleUnderline },
    { "ulhwave", Category::Character, Keyword::Underline, QTextCharFormat::WaveUnderline },
    { "ulldash", Category::Character, Keyword::Underline, QTextCharFormat::DashUnderline },
    { "ulnone", Category::Character, Keyword::Underline, QTextCharFormat::NoUnderline },
    { "ulth", Category::Character, Keyword::Underline, QTextCharFormat::SingleUnderline },
    { "ulthd", Category::Character, Keyword::Underline, QTextCharFormat::DotLine },
    { "ulthdash", Category::Character, Keyword::Underline, QTextCharFormat::DashUnderline },
    { "ululdbwave", Category::Character, Keyword::Underline, QTextCharFormat::WaveUnderline },
    { "ulw", Category::Character, Keyword::Underline, QTextCharFormat::SingleUnderline },
    { "ulwave", Category::Character, Keyword::Underline, QTextCharFormat::WaveUnderline },
    { "upr", Category::Destination, Keyword::UnicodePair },
    { "userprops", Category::Destination, Keyword::SkippedDestination },
    { "v", Category::Character, Keyword::Hidden },
    { "xe", Category::Destination, Keyword::SkippedDestination },
    { "xmlnstbl", Category::Destination, Keyword::SkippedDestination },
    { "zwbo", Category::Special, Keyword::Character, 0x200B },
    { "zwj", Category::Special, Keyword::Character, 0x200D },
    { "zwnj", Category::Special, Keyword::Character, 0x200C },
});

static_assert(std::is_sorted(kKeywords.begin(), kKeywords.end(),
    [](const RtfKeyword &a, const RtfKeyword &b) { return a.name < b.name; }));

const RtfKeyword *findKeyword(std::string_view word)
{
    const auto it = std::lower_bound(kKeywords.begin(), kKeywords.end(), word,
        [](const RtfKeyword &entry, std::string_view name) { return entry.name < name; });
    if (it == kKeywords.end() || it->name != word)
        return nullptr;
    return &*it;
}

// The destinations read when \* marks them as optional.
bool isUnderstoodDestination(const RtfKeyword *keyword)
{
    static constexpr Keyword kUnderstood[] = { Keyword::FieldInstruction, Keyword::ListTable,
        Keyword::ListOverrideTable, Keyword::ParagraphNumbering, Keyword::ListMarker,
        Keyword::UnicodeDestination, Keyword::FontTable, Keyword::ColorTable };
    return keyword
        && std::find(std::begin(kUnderstood), std::end(kUnderstood), keyword->keyword)
        != std::end(kUnderstood);
}

// Code page for an \fcharset value; 0 means "the document's code page".
int codePageForCharset(int charset)
{
    switch (charset) {
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 130:
        return 1361;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    default:
        return 0;
    }
}

QTextListFormat::Style styleForLevelNumbering(int nfc, int level)
{
    switch (nfc) {
    case 1:
        return QTextListFormat::ListUpperRoman;
    case 2:
        return QTextListFormat::ListLowerRoman;
    case 3:
        return QTextListFormat::ListUpperAlpha;
    case 4:
        return QTextListFormat::ListLowerAlpha;
    case 23:
    case 255: {
        // Bullets: the marker shape follows the nesting, as in HTML.
        static constexpr QTextListFormat::Style kShapes[] = { QTextListFormat::ListDisc,
            QTextListFormat::ListCircle, QTextListFormat::ListSquare };
        return kShapes[level % 3];
    }
    default:
        return QTextListFormat::ListDecimal;
    }
}

// The marker text of \listtext or \pntext, for writers that give no list
// table: "1." numbers, "a)" letters, "iv." roman numbers, anything else a
// bullet.
QTextListFormat::Style styleForMarker(const QString &marker)
{
    // Bullet glyphs as editors write them: Unicode, Symbol and Wingdings
    // bytes read as cp1252, and the Courier "o" of nested Word bullets.
    for (const QChar ch : marker) {
        switch (ch.unicode()) {
        case 0x25E6: // ◦
        case 0x25CB: // ○
        case u'o':
            return QTextListFormat::ListCircle;
        case 0x25AA: // ▪
        case 0x25A0: // ■
        case 0x00A7: // Wingdings square
            return QTextListFormat::ListSquare;
        case 0x2022: // •
        case 0x00B7: // Symbol bullet
        case 0xF0B7:
            return QTextListFormat::ListDisc;
        default:
            break;
        }
    }
    QString core;
    for (const QChar ch : marker) {
        if (ch.isLetterOrNumber())
            core += ch;
    }
    if (core.isEmpty())
        return QTextListFormat::ListDisc;
    if (std::any_of(core.begin(), core.end(), [](QChar ch) { return ch.isDigit(); }))
        return QTextListFormat::ListDecimal;
    if (core.size() > 1) {
        const bool roman = std::all_of(core.begin(), core.end(),
            [](QChar ch) { return QStringLiteral("ivxlcdmIVXLCDM").contains(ch); });
        if (roman)
            return core.at(0).isUpper() ? QTextListFormat::ListUpperRoman
                                        : QTextListFormat::ListLowerRoman;
        return QTextListFormat::ListDisc; // a word, such as a Wingdings glyph name
    }
    return core.at(0).isUpper() ? QTextListFormat::ListUpperAlpha : QTextListFormat::ListLowerAlpha;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool startsLikeRtf(QByteArrayView input, qsizetype *start)
{
    qsizetype pos = 0;
    if (input.startsWith("\xEF\xBB\xBF"))
        pos = 3;
    while (pos < input.size()
        && (input[pos] == ' ' || input[pos] == '\t' || input[pos] == '\r' || input[pos] == '\n'))
        ++pos;
    const QByteArrayView rest = input.sliced(pos);
    if (!rest.startsWith("{\\rtf") && !rest.startsWith("{\\urtf"))
        return false;
    *start = pos;
    return true;
}

constexpr int kMaxParam = 1 << 30;

} // namespace

RtfReader::RtfReader(QTextDocument *document)
    : m_document(document)
{
}

bool RtfReader::read(QByteArrayView rtf)
{
    // Each read starts from a clean state, whatever an earlier one left.
    QTextDocument *document = m_document;
    *this = RtfReader(document);
    m_document->clear();
    m_cursor = QTextCursor(m_document);
    qsizetype start = 0;
    if (!startsLikeRtf(rtf, &start))
        return false;
    m_input = rtf;
    m_pos = start;

    // Reading is one edit: no undo history for every run, one layout pass.
    const bool undoRedo = m_document->isUndoRedoEnabled();
    m_document->setUndoRedoEnabled(false);
    m_cursor.beginEditBlock();
    parse();
    m_cursor.endEditBlock();
    m_document->setUndoRedoEnabled(undoRedo);
    return true;
}

void RtfReader::parse()
{
    while (m_pos < m_input.size()) {
        const char c = m_input[m_pos];
        switch (c) {
        case '{':
            ++m_pos;
            openGroup();
            break;
        case '}':
            ++m_pos;
            if (!closeGroup())
                return; // the outermost group is complete; trailing bytes are not RTF
            break;
        case '\\':
            ++m_pos;
            readControl();
            break;
        case '\r':
        case '\n':
        case '\0':
            ++m_pos;
            break;
        default: {
            // A run of plain text up to the next special byte.
            qsizetype end = m_pos + 1;
            while (end < m_input.size()) {
                const char e = m_input[end];
                if (e == '{' || e == '}' || e == '\\' || e == '\r' || e == '\n' || e == '\0')
                    break;
                ++end;
            }
            textBytes(m_input.sliced(m_pos, end - m_pos));
            m_pos = end;
            break;
        }
        }
    }
    // Truncated input: keep what was read.
    if (!m_groups.empty())
        finishDocument();
}

// After a backslash: a control word with its parameter, a hex byte, or a
// control symbol.
void RtfReader::readControl()
{
    if (m_pos >= m_input.size())
        return;
    const char next = m_input[m_pos];
    if (isLetter(next)) {
        readControlWord();
    } else if (next == '\'') {
        ++m_pos;
        readHexByte();
    } else {
        ++m_pos;
        controlSymbol(next);
    }
}

void RtfReader::readControlWord()
{
    const qsizetype wordStart = m_pos;
    while (m_pos < m_input.size() && isLetter(m_input[m_pos]))
        ++m_pos;
    // RTF words are at most 32 letters; longer ones are unknown anyway.
    const auto length = std::min<qsizetype>(m_pos - wordStart, 40);
    const std::string_view word(m_input.data() + wordStart, size_t(length));
    bool hasParam = false;
    bool negative = false;
    qint64 value = 0;
    if (m_pos + 1 < m_input.size() && m_input[m_pos] == '-' && isDigit(m_input[m_pos + 1])) {
        negative = true;
        ++m_pos;
    }
    while (m_pos < m_input.size() && isDigit(m_input[m_pos])) {
        hasParam = true;
        value = std::min<qint64>(value * 10 + (m_input[m_pos] - '0'), kMaxParam);
        ++m_pos;
    }
    if (m_pos < m_input.size() && m_input[m_pos] == ' ')
        ++m_pos; // the delimiter belongs to the word
    controlWord(word, hasParam, int(negative ? -value : value));
}

void RtfReader::readHexByte()
{
    int byte = -1;
    if (m_pos + 1 < m_input.size()) {
        const int high = hexValue(m_input[m_pos]);
        const int low = hexValue(m_input[m_pos + 1]);
        if (high >= 0 && low >= 0) {
            byte = high * 16 + low;
            m_pos += 2;
        }
    }
    if (m_groups.empty() || consumeSkipped())
        return;
    if (byte >= 0)
        textByte(char(byte));
}

void RtfReader::openGroup()
{
    flushBytes();
    m_skip = 0;
    if (m_groups.empty()) {
        m_groups.emplace_back();
        return;
    }
    if (state().ignorable)
        state().destination = Destination::Skip;
    if (m_groups.size() >= size_t(maxGroupDepth)) {
        ++m_overflowDepth;
        return;
    }
    GroupState child = state();
    child.ignorable = false;
    m_groups.push_back(std::move(child));
}

bool RtfReader::closeGroup()
{
    flushBytes();
    m_skip = 0;
    if (m_overflowDepth > 0) {
        --m_overflowDepth;
        return true;
    }
    if (m_groups.empty())
        return false;
    if (m_groups.size() == 1) {
        finishDocument();
        m_groups.pop_back();
        return false;
    }
    const GroupState closed = std::move(m_groups.back());
    m_groups.pop_back();
    m_formatDirty = true;

    if (closed.destination == Destination::FontTable && m_fontIndex >= 0)
        commitFont(); // an entry without its closing ';'
    if (closed.destination == Destination::ParagraphNumbering
        && state().destination == Destination::Text) {
        state().paragraph.numbering = closed.paragraph.numbering;
        state().paragraph.numberingLevel = closed.paragraph.numberingLevel;
    }
    while (!m_fields.empty() && m_fields.back().depth > m_groups.size())
        m_fields.pop_back();
    return true;
}

bool RtfReader::consumeSkipped()
{
    if (m_skip <= 0)
        return false;
    --m_skip;
    return true;
}

void RtfReader::skipBinary(int count)
{
    const qsizetype available = m_input.size() - m_pos;
    m_pos += std::clamp<qsizetype>(count, 0, available);
}

void RtfReader::controlSymbol(char symbol)
{
    if (m_groups.empty())
        return;
    if (symbol == '*') {
        state().ignorable = true;
        return;
    }
    if (consumeSkipped())
        return;
    switch (symbol) {
    case '\\':
    case '{':
    case '}':
        textByte(symbol);
        break;
    case '~':
        appendChar(0x00A0);
        break;
    case '_':
        appendChar(0x2011);
        break;
    case '-':
        appendChar(QChar::SoftHyphen);
        break;
    case '\r':
    case '\n':
        flushBytes();
        if (state().destination == Destination::Text)
            endParagraph();
        break;
    case '\t':
        appendChar(u'\t');
        break;
    default:
        // \: and \| carry no text worth keeping.
        break;
    }
}

void RtfReader::controlWord(std::string_view word, bool hasParam, int param)
{
    if (m_groups.empty())
        return;
    const RtfKeyword *keyword = findKeyword(word);
    if (keyword && keyword->keyword == Keyword::Binary) {
        flushBytes();
        if (m_skip > 0)
            --m_skip;
        skipBinary(hasParam ? param : 0);
        return;
    }
    GroupState &group = state();
    if (group.ignorable) {
        // \* marks a destination that may be skipped when not understood.
        group.ignorable = false;
        if (!isUnderstoodDestination(keyword)) {
            flushBytes();
            group.destination = Destination::Skip;
            return;
        }
    }
    if (group.destination == Destination::Skip)
        return;
    if (consumeSkipped())
        return;
    flushBytes();
    m_formatDirty = true;
    if (!keyword)
        return;

    switch (keyword->category) {
    case Category::Document:
        documentWord(*keyword, hasParam, param);
        break;
    case Category::Destination:
        destinationWord(*keyword);
        break;
    case Category::Table:
        tableWord(*keyword, hasParam, param);
        break;
    case Category::Character:
        characterWord(*keyword, hasParam, param);
        break;
    case Category::Paragraph:
        paragraphWord(*keyword, hasParam, param);
        break;
    case Category::Special:
        specialWord(*keyword, hasParam, param);
        break;
    }
}

void RtfReader::documentWord(const RtfKeyword &keyword, bool hasParam, int param)
{
    switch (keyword.keyword) {
    case Keyword::CodePage:
        m_documentCodePage = keyword.value;
        break;
    case Keyword::AnsiCodePage:
        if (hasParam && CodePages::isKnown(param))
            m_documentCodePage = param;
        break;
    case Keyword::DefaultFont:
        if (hasParam)
            m_defaultFont = param;
        break;
    case Keyword::UnicodeSkip:
        if (hasParam)
            state().unicodeSkip = std::clamp(param, 0, 16);
        break;
    default:
        break;
    }
}

void RtfReader::destinationWord(const RtfKeyword &keyword)
{
    GroupState &group = state();
    const bool inText = group.destination == Destination::Text;
    switch (keyword.keyword) {
    case Keyword::FontTable:
        group.destination = Destination::FontTable;
        break;
    case Keyword::ColorTable:
        group.destination = Destination::ColorTable;
        m_colors.clear();
        m_colorHasValue = false;
        break;
    case Keyword::Field:
    case Keyword::FieldInstruction:
    case Keyword::FieldResult:
        fieldWord(keyword);
        break;
    case Keyword::ListMarker:
        group.destination = inText ? Destination::ListMarker : Destination::Skip;
        if (inText)
            m_listMarker.clear();
        break;
    case Keyword::ParagraphNumbering:
        group.destination = inText ? Destination::ParagraphNumbering : Destination::Skip;
        break;
    case Keyword::ListTable:
        group.destination = Destination::ListTable;
        break;
    case Keyword::ListOverrideTable:
        group.destination = Destination::ListOverrideTable;
        break;
    case Keyword::UnicodePair:
        // {\upr{ANSI text}{\*\ud{Unicode text}}}: only the Unicode half is read.
        group.pairedDestination = group.destination;
        group.destination = Destination::UnicodePair;
        break;
    case Keyword::UnicodeDestination:
        group.destination = group.destination == Destination::UnicodePair ? group.pairedDestination
                                                                          : Destination::Skip;
        break;
    case Keyword::SkippedDestination:
        group.destination = Destination::Skip;
        break;
    default:
        break;
    }
}

void RtfReader::fieldWord(const RtfKeyword &keyword)
{
    GroupState &group = state();
    switch (keyword.keyword) {
    case Keyword::Field:
        if (!m_fields.empty() && m_fields.back().depth == m_groups.size())
            m_fields.back().instruction.clear();
        else
            m_fields.push_back({ m_groups.size(), QString() });
        break;
    case Keyword::FieldInstruction:
        group.destination = m_fields.empty() ? Destination::Skip : Destination::FieldInstruction;
        break;
    case Keyword::FieldResult:
        if (!m_fields.empty() && group.destination == Destination::Text) {
            const QString href = hrefFromInstruction(m_fields.back().instruction);
            if (!href.isEmpty())
                group.href = href;
        }
        break;
    default:
        break;
    }
}

void RtfReader::tableWord(const RtfKeyword &keyword, bool hasParam, int param)
{
    const Destination destination = state().destination;
    switch (keyword.keyword) {
    case Keyword::FontCharset:
        if (destination == Destination::FontTable && hasParam)
            m_fontCodePage = codePageForCharset(param);
        break;
    case Keyword::FontCodePage:
        if (destination == Destination::FontTable && hasParam && CodePages::isKnown(param))
            m_fontCodePage = param;
        break;
    case Keyword::Red:
    case Keyword::Green:
    case Keyword::Blue:
        if (destination == Destination::ColorTable) {
            const int value = std::clamp(hasParam ? param : 0, 0, 255);
            (keyword.keyword == Keyword::Red            ? m_red
                    : keyword.keyword == Keyword::Green ? m_green
                                                        : m_blue)
                = value;
            m_colorHasValue = true;
        }
        break;
    case Keyword::List:
        m_pendingLevels.clear();
        break;
    case Keyword::ListLevel:
        if (destination == Destination::ListTable && m_pendingLevels.size() < 9)
            m_pendingLevels.push_back(0);
        break;
    case Keyword::LevelNumbering:
        if (destination == Destination::ListTable && !m_pendingLevels.empty() && hasParam)
            m_pendingLevels.back() = param;
        break;
    case Keyword::ListId:
        if (hasParam && destination == Destination::ListTable)
            m_listLevelNumbering.insert(param, m_pendingLevels);
        else if (hasParam && destination == Destination::ListOverrideTable)
            m_overrideListId = param;
        break;
    case Keyword::ListOverride:
        m_overrideListId = 0;
        break;
    default:
        break;
    }
}

void RtfReader::characterWord(const RtfKeyword &keyword, bool hasParam, int param)
{
    CharacterState &character = state().character;
    const bool on = !hasParam || param != 0;
    switch (keyword.keyword) {
    case Keyword::Font:
        if (hasParam && state().destination == Destination::FontTable)
            startFont(param);
        else if (hasParam)
            character.font = param;
        break;
    case Keyword::Bold:
        character.bold = on;
        break;
    case Keyword::Italic:
        character.italic = on;
        break;
    case Keyword::Strike:
        character.strike = on;
        break;
    case Keyword::Hidden:
        character.hidden = on;
        break;
    case Keyword::Underline:
        character.underline
            = on ? QTextCharFormat::UnderlineStyle(keyword.value) : QTextCharFormat::NoUnderline;
        break;
    case Keyword::Vertical:
        character.vertical
            = on ? QTextCharFormat::VerticalAlignment(keyword.value) : QTextCharFormat::AlignNormal;
        break;
    case Keyword::Capitalization:
        character.capitalization = on ? QFont::Capitalization(keyword.value) : QFont::MixedCase;
        break;
    case Keyword::Foreground:
        character.foreground = std::max(hasParam ? param : 0, 0);
        break;
    case Keyword::Background:
        character.background = std::max(hasParam ? param : 0, 0);
        break;
    case Keyword::FontSize:
        // Half-points; nonsense sizes keep the previous one.
        if (hasParam && param > 0)
            character.halfPoints = std::min(param, 3276);
        break;
    case Keyword::Plain:
        character = CharacterState();
        break;
    default:
        break;
    }
}

void RtfReader::paragraphWord(const RtfKeyword &keyword, bool hasParam, int param)
{
    const Destination destination = state().destination;
    ParagraphState &paragraph = state().paragraph;
    switch (keyword.keyword) {
    case Keyword::ParagraphDefault:
        paragraph = ParagraphState();
        break;
    case Keyword::Paragraph:
        if (destination == Destination::Text)
            endParagraph();
        break;
    case Keyword::Cell:
        if (destination == Destination::Text)
            ++m_pendingCells;
        break;
    case Keyword::Align:
        paragraph.alignment = Qt::AlignmentFlag(keyword.value);
        break;
    case Keyword::ListOverrideIndex:
        if (hasParam && destination == Destination::ListOverrideTable)
            m_listOverrides.insert(param, m_overrideListId);
        else if (hasParam)
            paragraph.listOverride = std::max(param, 0);
        break;
    case Keyword::ListLevelIndex:
        paragraph.listLevel = std::clamp(hasParam ? param : 0, 0, 8);
        break;
    case Keyword::NumberingBullet:
        paragraph.numbering = QTextListFormat::ListDisc;
        paragraph.numberingLevel = 0;
        break;
    case Keyword::NumberingLevel:
        paragraph.numberingLevel = std::clamp(hasParam ? param - 1 : 0, 0, 8);
        [[fallthrough]];
    case Keyword::NumberingBody:
        if (paragraph.numbering == QTextListFormat::ListStyleUndefined)
            paragraph.numbering = QTextListFormat::ListDecimal;
        break;
    case Keyword::Numbering:
        paragraph.numbering = QTextListFormat::Style(keyword.value);
        break;
    default:
        break;
    }
}

void RtfReader::specialWord(const RtfKeyword &keyword, bool hasParam, int param)
{
    if (keyword.keyword == Keyword::Character) {
        appendChar(char16_t(keyword.value));
        return;
    }
    if (!hasParam)
        return;
    // \u takes a signed 16-bit value; some writers give whole code points.
    int code = param < 0 ? param + 0x10000 : param;
    if (code < 0 || code > 0x10FFFF)
        code = 0xFFFD;
    if (code > 0xFFFF) {
        appendChar(QChar::highSurrogate(char32_t(code)));
        appendChar(QChar::lowSurrogate(char32_t(code)));
    } else {
        appendChar(char16_t(code));
    }
    m_skip = state().unicodeSkip;
}

void RtfReader::textByte(char byte)
{
    textBytes(QByteArrayView(&byte, 1));
}

void RtfReader::textBytes(QByteArrayView bytes)
{
    if (m_groups.empty())
        return;
    GroupState &group = state();
    if (group.ignorable) {
        group.ignorable = false;
        group.destination = Destination::Skip;
    }
    if (m_skip > 0) {
        const qsizetype skipped = std::min<qsizetype>(m_skip, bytes.size());
        m_skip -= int(skipped);
        bytes = bytes.sliced(skipped);
    }
    if (bytes.isEmpty())
        return;
    switch (group.destination) {
    case Destination::Skip:
    case Destination::ListTable:
    case Destination::ListOverrideTable:
    case Destination::ParagraphNumbering:
    case Destination::UnicodePair:
        return;
    case Destination::ColorTable:
        for (const char c : bytes) {
            if (c == ';')
                commitColor();
        }
        return;
    case Destination::FontTable:
        // Entries end with ';'; the names in between are text.
        while (!bytes.isEmpty()) {
            const qsizetype semicolon = bytes.indexOf(';');
            const QByteArrayView name = semicolon < 0 ? bytes : bytes.first(semicolon);
            if (!name.isEmpty())
                holdBytes(name);
            if (semicolon < 0)
                break;
            flushBytes();
            commitFont();
            bytes = bytes.sliced(semicolon + 1);
        }
        return;
    case Destination::Text:
    case Destination::FieldInstruction:
    case Destination::ListMarker:
        if (group.destination == Destination::Text && group.character.hidden)
            return;
        holdBytes(bytes);
        return;
    }
}

// Bytes are decoded a run at a time, once their code page changes or
// something other than text comes.
void RtfReader::holdBytes(QByteArrayView bytes)
{
    if (!m_bytes.isEmpty() && m_bytesCodePage != currentCodePage())
        flushBytes();
    m_bytesCodePage = currentCodePage();
    m_bytes.append(bytes);
}

int RtfReader::currentCodePage() const
{
    if (state().destination == Destination::FontTable)
        return m_fontCodePage ? m_fontCodePage : m_documentCodePage;
    const int font = state().character.font >= 0 ? state().character.font : m_defaultFont;
    const auto it = m_fonts.constFind(font);
    if (it != m_fonts.cend() && it->codePage)
        return it->codePage;
    return m_documentCodePage;
}

void RtfReader::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    const QString text = CodePages::decode(m_bytes, m_bytesCodePage);
    m_bytes.clear();
    appendText(text);
}

void RtfReader::appendChar(char16_t ch)
{
    flushBytes();
    appendText(QString(QChar(ch)));
}

void RtfReader::appendText(const QString &text)
{
    if (m_groups.empty())
        return;
    const GroupState &group = state();
    switch (group.destination) {
    case Destination::Text: {
        if (group.character.hidden)
            return;
        // Cell separators take the format of the cell they close.
        if (m_pendingCells > 0) {
            m_text += QString(m_pendingCells, u'\t');
            m_pendingCells = 0;
        }
        if (m_formatDirty) {
            const QTextCharFormat format = currentFormat();
            if (format != m_textFormat) {
                flushText();
                m_textFormat = format;
            }
            m_formatDirty = false;
        }
        m_text += text;
        return;
    }
    case Destination::FieldInstruction:
        if (!m_fields.empty() && m_fields.back().instruction.size() < 4096)
            m_fields.back().instruction += text;
        return;
    case Destination::FontTable:
        if (m_fontIndex >= 0 && m_fontName.size() < 256)
            m_fontName += text;
        return;
    case Destination::ListMarker:
        if (m_listMarker.size() < 64)
            m_listMarker += text;
        return;
    default:
        return;
    }
}

QTextCharFormat RtfReader::currentFormat() const
{
    const CharacterState &character = state().character;
    QTextCharFormat format;
    if (character.bold)
        format.setFontWeight(QFont::Bold);
    if (character.italic)
        format.setFontItalic(true);
    if (character.underline == QTextCharFormat::SingleUnderline)
        format.setFontUnderline(true);
    else if (character.underline != QTextCharFormat::NoUnderline)
        format.setUnderlineStyle(character.underline);
    if (character.strike)
        format.setFontStrikeOut(true);
    const auto color = [this](int index) -> std::optional<QColor> {
        if (index <= 0 || size_t(index) >= m_colors.size())
            return std::nullopt;
        return m_colors[size_t(index)];
    };
    if (const auto foreground = color(character.foreground))
        format.setForeground(*foreground);
    if (const auto background = color(character.background))
        format.setBackground(*background);
    if (character.halfPoints > 0)
        format.setFontPointSize(character.halfPoints / 2.0);
    // Text in the default font keeps the document's font, so that a round
    // trip through our writer does not pin a family on every run.
    if (character.font >= 0 && character.font != m_defaultFont) {
        const auto it = m_fonts.constFind(character.font);
        if (it != m_fonts.cend() && !it->family.isEmpty())
            format.setFontFamilies(QStringList { it->family });
    }
    if (character.vertical != QTextCharFormat::AlignNormal)
        format.setVerticalAlignment(character.vertical);
    if (character.capitalization != QFont::MixedCase)
        format.setFontCapitalization(character.capitalization);
    if (!state().href.isEmpty()) {
        format.setAnchor(true);
        format.setAnchorHref(state().href);
    }
    return format;
}

void RtfReader::flushText()
{
    if (m_text.isEmpty())
        return;
    // Characters that QTextDocument treats as structure, and stray
    // controls, must not come through as text.
    QString clean;
    clean.reserve(m_text.size());
    for (qsizetype i = 0; i < m_text.size(); ++i) {
        const char16_t ch = m_text.at(i).unicode();
        if (QChar::isHighSurrogate(ch) && i + 1 < m_text.size()
            && QChar::isLowSurrogate(m_text.at(i + 1).unicode())) {
            clean += m_text.at(i);
            clean += m_text.at(++i);
        } else if (QChar::isSurrogate(ch)) {
            clean += QChar(QChar::ReplacementCharacter);
        } else if (ch == u'\n' || ch == u'\r' || ch == QChar::ParagraphSeparator) {
            clean += QChar(QChar::LineSeparator);
        } else if ((ch < 0x20 && ch != u'\t') || ch == 0xFDD0 || ch == 0xFDD1
            || ch == QChar::ObjectReplacementCharacter || ch == 0xFEFF) {
            continue;
        } else {
            clean += QChar(ch);
        }
    }
    m_text.clear();
    if (!clean.isEmpty())
        m_cursor.insertText(clean, m_textFormat);
}

void RtfReader::endParagraph()
{
    flushBytes();
    flushText();
    applyParagraph();
    m_cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    m_listMarker.clear();
    m_pendingCells = 0;
    m_formatDirty = true;
}

QTextListFormat::Style RtfReader::listStyle(const ParagraphState &paragraph) const
{
    const auto listId = m_listOverrides.constFind(paragraph.listOverride);
    if (listId != m_listOverrides.cend()) {
        const auto levels = m_listLevelNumbering.constFind(*listId);
        if (levels != m_listLevelNumbering.cend() && size_t(paragraph.listLevel) < levels->size()) {
            const int nfc = (*levels)[size_t(paragraph.listLevel)];
            // The table only says "bullet"; the marker gives the shape.
            const bool bullet = nfc == 23 || nfc == 255;
            if (bullet && !m_listMarker.isEmpty()) {
                const QTextListFormat::Style marked = styleForMarker(m_listMarker);
                if (marked == QTextListFormat::ListDisc || marked == QTextListFormat::ListCircle
                    || marked == QTextListFormat::ListSquare)
                    return marked;
            }
            return styleForLevelNumbering(nfc, paragraph.listLevel);
        }
    }
    if (!m_listMarker.isEmpty())
        return styleForMarker(m_listMarker);
    return styleForLevelNumbering(23, paragraph.listLevel);
}

void RtfReader::applyParagraph()
{
    const ParagraphState &paragraph = state().paragraph;
    QTextBlockFormat blockFormat;
    if (paragraph.alignment.toInt() != 0)
        blockFormat.setAlignment(paragraph.alignment);
    m_cursor.setBlockFormat(blockFormat);

    // \ls lists keep their numbering across interruptions, as in the
    // editors that write them; \pn and bare marker lists restart.
    std::pair<int, int> key;
    QTextListFormat::Style style;
    if (paragraph.listOverride > 0) {
        key = { paragraph.listOverride, paragraph.listLevel };
        style = listStyle(paragraph);
    } else if (paragraph.numbering != QTextListFormat::ListStyleUndefined) {
        key = { -100 + int(paragraph.numbering), paragraph.numberingLevel };
        style = paragraph.numbering;
    } else if (!m_listMarker.isEmpty()) {
        style = styleForMarker(m_listMarker);
        key = { -200 + int(style), 0 };
    } else {
        // Negative keys are the lists that restart.
        m_lists.erase(m_lists.begin(), m_lists.lower_bound({ 0, 0 }));
        return;
    }
    QTextList *&list = m_lists[key];
    if (list) {
        list->add(m_cursor.block());
    } else {
        QTextListFormat listFormat;
        listFormat.setStyle(style);
        listFormat.setIndent(key.second + 1);
        list = m_cursor.createList(listFormat);
    }
}

void RtfReader::finishDocument()
{
    flushBytes();
    flushText();
    // A final \par leaves an empty paragraph that takes no list or alignment.
    if (m_cursor.block().length() > 1)
        applyParagraph();
}

void RtfReader::startFont(int index)
{
    if (m_fontIndex >= 0)
        commitFont();
    m_fontIndex = index;
    m_fontName.clear();
    m_fontCodePage = 0;
}

void RtfReader::commitFont()
{
    if (m_fontIndex >= 0)
        m_fonts.insert(m_fontIndex, FontEntry { m_fontName.trimmed(), m_fontCodePage });
    m_fontIndex = -1;
    m_fontName.clear();
    m_fontCodePage = 0;
}

void RtfReader::commitColor()
{
    if (m_colorHasValue)
        m_colors.emplace_back(QColor(m_red, m_green, m_blue));
    else
        m_colors.emplace_back(std::nullopt);
    m_red = m_green = m_blue = 0;
    m_colorHasValue = false;
}

QString RtfReader::hrefFromInstruction(const QString &instruction) const
{
    // HYPERLINK "url" [\l "anchor"] [\o "tip"] [\t "target"] ...
    const QString trimmed = instruction.trimmed();
    static const QString kHyperlink = QStringLiteral("HYPERLINK");
    if (!trimmed.startsWith(kHyperlink, Qt::CaseInsensitive))
        return QString();
    QChar pendingSwitch; // null when the next token is an argument
    QString url;
    QString anchor;
    qsizetype i = kHyperlink.size();
    while (i < trimmed.size()) {
        const QChar ch = trimmed.at(i);
        if (ch.isSpace()) {
            ++i;
            continue;
        }
        if (ch == u'\\' && i + 1 < trimmed.size()) {
            pendingSwitch = trimmed.at(i + 1).toLower();
            i += 2;
            continue;
        }
        QString token;
        if (ch == u'"') {
            const qsizetype close = trimmed.indexOf(u'"', i + 1);
            const qsizetype end = close < 0 ? trimmed.size() : close;
            token = trimmed.mid(i + 1, end - i - 1);
            i = end + 1;
        } else {
            qsizetype end = i;
            while (end < trimmed.size() && !trimmed.at(end).isSpace())
                ++end;
            token = trimmed.mid(i, end - i);
            i = end;
        }
        if (pendingSwitch == u'l')
            anchor = token;
        else if (pendingSwitch.isNull() && url.isEmpty())
            url = token;
        pendingSwitch = QChar();
    }
    if (!anchor.isEmpty())
        url += u'#' + anchor;
    return url;
}
