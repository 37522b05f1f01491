// SPDX-License-Identifier: GPL-3.0-or-later
#include "RtfReader.h"

#include "CodePages.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <array>
#include <limits>

namespace {

// clang-format off
enum class Keyword {
    Unknown,
    // document and code pages
    Ansi, Mac, Pc, Pca, AnsiCodePage, DefaultFont, UnicodeSkip, Unicode, Binary,
    // destinations
    FontTable, ColorTable, Field, FieldInstruction, FieldResult, ListText, ParagraphNumberText,
    ParagraphNumbering, ListTable, ListOverrideTable, List, ListLevel, ListOverride,
    UnicodePair, UnicodeDestination, SkippedDestination,
    // font and colour tables, list tables
    Font, FontCharset, FontCodePage, Red, Green, Blue, LevelNumbering, ListId,
    // character formatting
    Bold, Italic, Strike, Hidden, Underline, UnderlineDotted, UnderlineDashed, UnderlineWave,
    UnderlineNone, Foreground, Background, FontSize, Plain, Superscript, Subscript,
    NoSuperSub, Caps, SmallCaps,
    // paragraphs and lists
    ParagraphDefault, Paragraph, Line, Tab, Cell, Row, AlignLeft, AlignCenter, AlignRight,
    AlignJustify, ListOverrideIndex, ListLevelIndex, NumberingBullet, NumberingBody,
    NumberingLevel, NumberingDecimal, NumberingLowerAlpha, NumberingUpperAlpha,
    NumberingLowerRoman, NumberingUpperRoman,
    // special characters
    Character,
};
// clang-format on

struct KeywordEntry
{
    std::string_view name;
    Keyword keyword;
    char16_t character = 0;
};

// Sorted by name for binary search.
constexpr std::array kKeywords = std::to_array<KeywordEntry>({
    { "annotation", Keyword::SkippedDestination },
    { "ansi", Keyword::Ansi },
    { "ansicpg", Keyword::AnsiCodePage },
    { "atnauthor", Keyword::SkippedDestination },
    { "atnid", Keyword::SkippedDestination },
    { "author", Keyword::SkippedDestination },
    { "b", Keyword::Bold },
    { "bin", Keyword::Binary },
    { "blue", Keyword::Blue },
    { "bullet", Keyword::Character, 0x2022 },
    { "caps", Keyword::Caps },
    { "cb", Keyword::Background },
    { "cell", Keyword::Cell },
    { "cf", Keyword::Foreground },
    { "chcbpat", Keyword::Background },
    { "colorschememapping", Keyword::SkippedDestination },
    { "colortbl", Keyword::ColorTable },
    { "comment", Keyword::SkippedDestination },
    { "cpg", Keyword::FontCodePage },
    { "datastore", Keyword::SkippedDestination },
    { "deff", Keyword::DefaultFont },
    { "do", Keyword::SkippedDestination },
    { "doccomm", Keyword::SkippedDestination },
    { "docvar", Keyword::SkippedDestination },
    { "emdash", Keyword::Character, 0x2014 },
    { "emspace", Keyword::Character, 0x2003 },
    { "endash", Keyword::Character, 0x2013 },
    { "enspace", Keyword::Character, 0x2002 },
    { "f", Keyword::Font },
    { "fcharset", Keyword::FontCharset },
    { "field", Keyword::Field },
    { "filetbl", Keyword::SkippedDestination },
    { "fldinst", Keyword::FieldInstruction },
    { "fldrslt", Keyword::FieldResult },
    { "fonttbl", Keyword::FontTable },
    { "footer", Keyword::SkippedDestination },
    { "footerf", Keyword::SkippedDestination },
    { "footerl", Keyword::SkippedDestination },
    { "footerr", Keyword::SkippedDestination },
    { "footnote", Keyword::SkippedDestination },
    { "fs", Keyword::FontSize },
    { "ftncn", Keyword::SkippedDestination },
    { "ftnsep", Keyword::SkippedDestination },
    { "ftnsepc", Keyword::SkippedDestination },
    { "generator", Keyword::SkippedDestination },
    { "green", Keyword::Green },
    { "header", Keyword::SkippedDestination },
    { "headerf", Keyword::SkippedDestination },
    { "headerl", Keyword::SkippedDestination },
    { "headerr", Keyword::SkippedDestination },
    { "highlight", Keyword::Background },
    { "i", Keyword::Italic },
    { "ilvl", Keyword::ListLevelIndex },
    { "info", Keyword::SkippedDestination },
    { "keywords", Keyword::SkippedDestination },
    { "latentstyles", Keyword::SkippedDestination },
    { "ldblquote", Keyword::Character, 0x201C },
    { "levelnfc", Keyword::LevelNumbering },
    { "levelnfcn", Keyword::LevelNumbering },
    { "levelnumbers", Keyword::SkippedDestination },
    { "leveltext", Keyword::SkippedDestination },
    { "line", Keyword::Line },
    { "list", Keyword::List },
    { "listid", Keyword::ListId },
    { "listlevel", Keyword::ListLevel },
    { "listname", Keyword::SkippedDestination },
    { "listoverride", Keyword::ListOverride },
    { "listoverridetable", Keyword::ListOverrideTable },
    { "listpicture", Keyword::SkippedDestination },
    { "listtable", Keyword::ListTable },
    { "listtext", Keyword::ListText },
    { "lquote", Keyword::Character, 0x2018 },
    { "ls", Keyword::ListOverrideIndex },
    { "ltrmark", Keyword::Character, 0x200E },
    { "mac", Keyword::Mac },
    { "mmathPr", Keyword::SkippedDestination },
    { "nestcell", Keyword::Cell },
    { "nestrow", Keyword::Row },
    { "nonesttables", Keyword::SkippedDestination },
    { "nonshppict", Keyword::SkippedDestination },
    { "nosupersub", Keyword::NoSuperSub },
    { "objdata", Keyword::SkippedDestination },
    { "operator", Keyword::SkippedDestination },
    { "page", Keyword::Paragraph },
    { "par", Keyword::Paragraph },
    { "pard", Keyword::ParagraphDefault },
    { "pc", Keyword::Pc },
    { "pca", Keyword::Pca },
    { "pgdsctbl", Keyword::SkippedDestination },
    { "pict", Keyword::SkippedDestination },
    { "plain", Keyword::Plain },
    { "pn", Keyword::ParagraphNumbering },
    { "pndec", Keyword::NumberingDecimal },
    { "pnlcltr", Keyword::NumberingLowerAlpha },
    { "pnlcrm", Keyword::NumberingLowerRoman },
    { "pnlvl", Keyword::NumberingLevel },
    { "pnlvlblt", Keyword::NumberingBullet },
    { "pnlvlbody", Keyword::NumberingBody },
    { "pntext", Keyword::ParagraphNumberText },
    { "pntxta", Keyword::SkippedDestination },
    { "pntxtb", Keyword::SkippedDestination },
    { "pnucltr", Keyword::NumberingUpperAlpha },
    { "pnucrm", Keyword::NumberingUpperRoman },
    { "printim", Keyword::SkippedDestination },
    { "private", Keyword::SkippedDestination },
    { "qc", Keyword::AlignCenter },
    { "qj", Keyword::AlignJustify },
    { "ql", Keyword::AlignLeft },
    { "qmspace", Keyword::Character, 0x2005 },
    { "qr", Keyword::AlignRight },
    { "rdblquote", Keyword::Character, 0x201D },
    { "red", Keyword::Red },
    { "revtbl", Keyword::SkippedDestination },
    { "row", Keyword::Row },
    { "rquote", Keyword::Character, 0x2019 },
    { "rsidtbl", Keyword::SkippedDestination },
    { "rtlmark", Keyword::Character, 0x200F },
    { "scaps", Keyword::SmallCaps },
    { "sect", Keyword::Paragraph },
    { "shp", Keyword::SkippedDestination },
    { "shppict", Keyword::SkippedDestination },
    { "strike", Keyword::Strike },
    { "striked", Keyword::Strike },
    { "stylesheet", Keyword::SkippedDestination },
    { "sub", Keyword::Subscript },
    { "subject", Keyword::SkippedDestination },
    { "super", Keyword::Superscript },
    { "tab", Keyword::Tab },
    { "tc", Keyword::SkippedDestination },
    { "template", Keyword::SkippedDestination },
    { "themedata", Keyword::SkippedDestination },
    { "title", Keyword::SkippedDestination },
    { "txe", Keyword::SkippedDestination },
    { "u", Keyword::Unicode },
    { "uc", Keyword::UnicodeSkip },
    { "ud", Keyword::UnicodeDestination },
    { "ul", Keyword::Underline },
    { "uld", Keyword::UnderlineDotted },
    { "uldash", Keyword::UnderlineDashed },
    { "uldashd", Keyword::UnderlineDashed },
    { "uldashdd", Keyword::UnderlineDashed },
    { "uldb", Keyword::Underline },
    { "ulhwave", Keyword::UnderlineWave },
    { "ulldash", Keyword::UnderlineDashed },
    { "ulnone", Keyword::UnderlineNone },
    { "ulth", Keyword::Underline },
    { "ulthd", Keyword::UnderlineDotted },
    { "ulthdash", Keyword::UnderlineDashed },
    { "ululdbwave", Keyword::UnderlineWave },
    { "ulw", Keyword::Underline },
    { "ulwave", Keyword::UnderlineWave },
    { "upr", Keyword::UnicodePair },
    { "userprops", Keyword::SkippedDestination },
    { "v", Keyword::Hidden },
    { "xe", Keyword::SkippedDestination },
    { "xmlnstbl", Keyword::SkippedDestination },
    { "zwbo", Keyword::Character, 0x200B },
    { "zwj", Keyword::Character, 0x200D },
    { "zwnj", Keyword::Character, 0x200C },
});

static_assert(std::is_sorted(kKeywords.begin(), kKeywords.end(),
    [](const KeywordEntry &a, const KeywordEntry &b) { return a.name < b.name; }));

const KeywordEntry *findKeyword(std::string_view word)
{
    const auto it = std::lower_bound(kKeywords.begin(), kKeywords.end(), word,
        [](const KeywordEntry &entry, std::string_view name) { return entry.name < name; });
    if (it == kKeywords.end() || it->name != word)
        return nullptr;
    return &*it;
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
        case '\\': {
            ++m_pos;
            if (m_pos >= m_input.size())
                break;
            const char next = m_input[m_pos];
            if (isLetter(next)) {
                const qsizetype wordStart = m_pos;
                while (m_pos < m_input.size() && isLetter(m_input[m_pos]))
                    ++m_pos;
                // RTF words are at most 32 letters; longer ones are unknown anyway.
                const auto length = std::min<qsizetype>(m_pos - wordStart, 40);
                const std::string_view word(m_input.data() + wordStart, size_t(length));
                bool hasParam = false;
                bool negative = false;
                qint64 value = 0;
                if (m_pos + 1 < m_input.size() && m_input[m_pos] == '-'
                    && isDigit(m_input[m_pos + 1])) {
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
                const int param = int(negative ? -value : value);
                controlWord(word, hasParam, param);
            } else if (next == '\'') {
                ++m_pos;
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
                    break;
                if (byte >= 0)
                    textByte(char(byte));
            } else {
                ++m_pos;
                controlSymbol(next);
            }
            break;
        }
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
    const KeywordEntry *entry = findKeyword(word);
    const Keyword keyword = entry ? entry->keyword : Keyword::Unknown;

    if (keyword == Keyword::Binary) {
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
        static constexpr Keyword kKnown[]
            = { Keyword::FieldInstruction, Keyword::ListTable, Keyword::ListOverrideTable,
                  Keyword::ParagraphNumbering, Keyword::ListText, Keyword::ParagraphNumberText,
                  Keyword::UnicodeDestination, Keyword::FontTable, Keyword::ColorTable };
        if (std::find(std::begin(kKnown), std::end(kKnown), keyword) == std::end(kKnown)) {
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

    CharacterState &character = group.character;
    ParagraphState &paragraph = group.paragraph;
    const bool on = !hasParam || param != 0;
    const bool inText = group.destination == Destination::Text;

    switch (keyword) {
    case Keyword::Unknown:
    case Keyword::Binary:
        break;
    case Keyword::Ansi:
        m_documentCodePage = 1252;
        break;
    case Keyword::Mac:
        m_documentCodePage = 10000;
        break;
    case Keyword::Pc:
        m_documentCodePage = 437;
        break;
    case Keyword::Pca:
        m_documentCodePage = 850;
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
            group.unicodeSkip = std::clamp(param, 0, 16);
        break;
    case Keyword::Unicode: {
        if (!hasParam)
            break;
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
        m_skip = group.unicodeSkip;
        break;
    }
    case Keyword::FontTable:
        group.destination = Destination::FontTable;
        break;
    case Keyword::ColorTable:
        group.destination = Destination::ColorTable;
        m_colors.clear();
        m_colorHasValue = false;
        break;
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
        if (!m_fields.empty() && inText) {
            const QString href = hrefFromInstruction(m_fields.back().instruction);
            if (!href.isEmpty())
                group.href = href;
        }
        break;
    case Keyword::ListText:
    case Keyword::ParagraphNumberText:
        if (inText) {
            group.destination = Destination::ListMarker;
            m_listMarker.clear();
        } else {
            group.destination = Destination::Skip;
        }
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
    case Keyword::List:
        m_pendingLevels.clear();
        break;
    case Keyword::ListLevel:
        if (group.destination == Destination::ListTable && m_pendingLevels.size() < 9)
            m_pendingLevels.push_back(0);
        break;
    case Keyword::LevelNumbering:
        if (group.destination == Destination::ListTable && !m_pendingLevels.empty() && hasParam)
            m_pendingLevels.back() = param;
        break;
    case Keyword::ListId:
        if (!hasParam)
            break;
        if (group.destination == Destination::ListTable)
            m_listLevelNumbering.insert(param, m_pendingLevels);
        else if (group.destination == Destination::ListOverrideTable)
            m_overrideListId = param;
        break;
    case Keyword::ListOverride:
        m_overrideListId = 0;
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
    case Keyword::Font:
        if (!hasParam)
            break;
        if (group.destination == Destination::FontTable) {
            if (m_fontIndex >= 0)
                commitFont();
            m_fontIndex = param;
            m_fontName.clear();
            m_fontCodePage = 0;
        } else {
            character.font = param;
        }
        break;
    case Keyword::FontCharset:
        if (group.destination == Destination::FontTable && hasParam)
            m_fontCodePage = codePageForCharset(param);
        break;
    case Keyword::FontCodePage:
        if (group.destination == Destination::FontTable && hasParam && CodePages::isKnown(param))
            m_fontCodePage = param;
        break;
    case Keyword::Red:
    case Keyword::Green:
    case Keyword::Blue:
        if (group.destination == Destination::ColorTable) {
            const int value = std::clamp(hasParam ? param : 0, 0, 255);
            (keyword == Keyword::Red            ? m_red
                    : keyword == Keyword::Green ? m_green
                                                : m_blue)
                = value;
            m_colorHasValue = true;
        }
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
        character.underline = on ? QTextCharFormat::SingleUnderline : QTextCharFormat::NoUnderline;
        break;
    case Keyword::UnderlineDotted:
        character.underline = on ? QTextCharFormat::DotLine : QTextCharFormat::NoUnderline;
        break;
    case Keyword::UnderlineDashed:
        character.underline = on ? QTextCharFormat::DashUnderline : QTextCharFormat::NoUnderline;
        break;
    case Keyword::UnderlineWave:
        character.underline = on ? QTextCharFormat::WaveUnderline : QTextCharFormat::NoUnderline;
        break;
    case Keyword::UnderlineNone:
        character.underline = QTextCharFormat::NoUnderline;
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
    case Keyword::Superscript:
        character.vertical = on ? QTextCharFormat::AlignSuperScript : QTextCharFormat::AlignNormal;
        break;
    case Keyword::Subscript:
        character.vertical = on ? QTextCharFormat::AlignSubScript : QTextCharFormat::AlignNormal;
        break;
    case Keyword::NoSuperSub:
        character.vertical = QTextCharFormat::AlignNormal;
        break;
    case Keyword::Caps:
        character.capitalization = on ? QFont::AllUppercase : QFont::MixedCase;
        break;
    case Keyword::SmallCaps:
        character.capitalization = on ? QFont::SmallCaps : QFont::MixedCase;
        break;
    case Keyword::ParagraphDefault:
        paragraph = ParagraphState();
        break;
    case Keyword::Paragraph:
        if (inText)
            endParagraph();
        break;
    case Keyword::Row:
        if (inText)
            endParagraph();
        break;
    case Keyword::Line:
        appendChar(QChar::LineSeparator);
        break;
    case Keyword::Tab:
        appendChar(u'\t');
        break;
    case Keyword::Cell:
        if (inText)
            ++m_pendingCells;
        break;
    case Keyword::AlignLeft:
        paragraph.alignment = Qt::AlignLeft;
        break;
    case Keyword::AlignCenter:
        paragraph.alignment = Qt::AlignHCenter;
        break;
    case Keyword::AlignRight:
        paragraph.alignment = Qt::AlignRight;
        break;
    case Keyword::AlignJustify:
        paragraph.alignment = Qt::AlignJustify;
        break;
    case Keyword::ListOverrideIndex:
        if (!hasParam)
            break;
        if (group.destination == Destination::ListOverrideTable)
            m_listOverrides.insert(param, m_overrideListId);
        else
            paragraph.listOverride = std::max(param, 0);
        break;
    case Keyword::ListLevelIndex:
        paragraph.listLevel = std::clamp(hasParam ? param : 0, 0, 8);
        break;
    case Keyword::NumberingBullet:
        paragraph.numbering = QTextListFormat::ListDisc;
        paragraph.numberingLevel = 0;
        break;
    case Keyword::NumberingBody:
        if (paragraph.numbering == QTextListFormat::ListStyleUndefined)
            paragraph.numbering = QTextListFormat::ListDecimal;
        break;
    case Keyword::NumberingLevel:
        paragraph.numberingLevel = std::clamp(hasParam ? param - 1 : 0, 0, 8);
        if (paragraph.numbering == QTextListFormat::ListStyleUndefined)
            paragraph.numbering = QTextListFormat::ListDecimal;
        break;
    case Keyword::NumberingDecimal:
        paragraph.numbering = QTextListFormat::ListDecimal;
        break;
    case Keyword::NumberingLowerAlpha:
        paragraph.numbering = QTextListFormat::ListLowerAlpha;
        break;
    case Keyword::NumberingUpperAlpha:
        paragraph.numbering = QTextListFormat::ListUpperAlpha;
        break;
    case Keyword::NumberingLowerRoman:
        paragraph.numbering = QTextListFormat::ListLowerRoman;
        break;
    case Keyword::NumberingUpperRoman:
        paragraph.numbering = QTextListFormat::ListUpperRoman;
        break;
    case Keyword::Character:
        appendChar(entry->character);
        break;
    }
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
            if (!name.isEmpty()) {
                if (!m_bytes.isEmpty() && m_bytesCodePage != currentCodePage())
                    flushBytes();
                m_bytesCodePage = currentCodePage();
                m_bytes.append(name);
            }
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
        if (!m_bytes.isEmpty() && m_bytesCodePage != currentCodePage())
            flushBytes();
        m_bytesCodePage = currentCodePage();
        m_bytes.append(bytes);
        return;
    }
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
