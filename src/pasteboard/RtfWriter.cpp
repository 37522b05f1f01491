// SPDX-License-Identifier: GPL-3.0-or-later
#include "pasteboard/RtfWriter.h"

#include "pasteboard/CodePages.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

#include <algorithm>
#include <cmath>

namespace {

// Width given to table columns: A4 or Letter text width, in twips.
constexpr int kTableWidthTwips = 9000;
constexpr int kListIndentTwips = 720;
constexpr double kDefaultPointSize = 12.0; // RTF's size when \fs is absent

QString firstFamily(const QTextCharFormat &format)
{
    const QStringList families = format.fontFamilies().toStringList();
    if (!families.isEmpty())
        return families.first();
    return format.property(QTextFormat::FontFamily).toString();
}

std::optional<QColor> brushColor(const QTextCharFormat &format, QTextFormat::Property property)
{
    if (!format.hasProperty(property))
        return std::nullopt;
    const QBrush brush = format.brushProperty(property);
    if (brush.style() == Qt::NoBrush)
        return std::nullopt;
    return brush.color();
}

// \levelnfc values for our list styles.
int levelNumbering(QTextListFormat::Style style)
{
    switch (style) {
    case QTextListFormat::ListDecimal:
        return 0;
    case QTextListFormat::ListUpperRoman:
        return 1;
    case QTextListFormat::ListLowerRoman:
        return 2;
    case QTextListFormat::ListUpperAlpha:
        return 3;
    case QTextListFormat::ListLowerAlpha:
        return 4;
    default:
        return 23;
    }
}

char16_t bulletFor(QTextListFormat::Style style)
{
    switch (style) {
    case QTextListFormat::ListCircle:
        return 0x25E6;
    case QTextListFormat::ListSquare:
        return 0x25AA;
    default:
        return 0x2022;
    }
}

bool isNumbered(QTextListFormat::Style style)
{
    return levelNumbering(style) != 23;
}

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

} // namespace

RtfWriter::RtfWriter(const QTextDocument &document)
    : m_document(document)
{
}

QByteArray RtfWriter::write()
{
    m_out.clear();
    collectTables();
    writeHeader();
    writeFrame(m_document.rootFrame());
    m_out += "}\n";
    return m_out;
}

void RtfWriter::collectTables()
{
    m_fonts = QStringList { m_document.defaultFont().family() };
    m_colors.clear();
    m_lists.clear();
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
        if (const QTextList *list = block.textList(); list && !m_lists.contains(list))
            m_lists.append(list);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            const QString family = firstFamily(format);
            if (!family.isEmpty() && !m_fonts.contains(family))
                m_fonts.append(family);
            for (const auto property :
                { QTextFormat::ForegroundBrush, QTextFormat::BackgroundBrush }) {
                if (const auto color = brushColor(format, property)) {
                    const QColor opaque = color->toRgb();
                    if (!m_colors.contains(opaque))
                        m_colors.append(opaque);
                }
            }
        }
    }
}

void RtfWriter::writeHeader()
{
    m_out += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
    for (qsizetype i = 0; i < m_fonts.size(); ++i) {
        m_out += "{\\f" + number(i) + "\\fnil\\fcharset0 ";
        writeText(QString(m_fonts.at(i)).remove(u';'));
        m_out += ";}";
    }
    m_out += "}\n{\\colortbl;";
    for (const QColor &color : std::as_const(m_colors)) {
        m_out += "\\red" + number(color.red()) + "\\green" + number(color.green()) + "\\blue"
            + number(color.blue()) + ';';
    }
    m_out += "}\n";
    if (m_lists.isEmpty())
        return;
    // One RTF list per QTextList, all nine levels in its style; paragraphs
    // pick the level from the list's indent.
    m_out += "{\\*\\listtable";
    for (qsizetype i = 0; i < m_lists.size(); ++i) {
        const QTextListFormat::Style style = m_lists.at(i)->format().style();
        const int nfc = levelNumbering(style);
        m_out += "\n{\\list\\listtemplateid" + number(i + 1) + "\\listhybrid";
        for (int level = 0; level < 9; ++level) {
            m_out += "{\\listlevel\\levelnfc" + number(nfc) + "\\levelnfcn" + number(nfc)
                + "\\leveljc0\\leveljcn0\\levelfollow0\\levelstartat1";
            if (isNumbered(style)) {
                m_out += "{\\leveltext\\'02\\'0" + number(level) + ".;}{\\levelnumbers\\'01;}";
            } else {
                m_out += "{\\leveltext\\'01\\u" + number(bulletFor(style)) + "?;}{\\levelnumbers;}";
            }
            m_out += "\\fi-360\\li" + number(kListIndentTwips * (level + 1)) + '}';
        }
        m_out += "\\listid" + number(i + 1) + '}';
    }
    m_out += "}\n{\\*\\listoverridetable";
    for (qsizetype i = 0; i < m_lists.size(); ++i) {
        m_out += "{\\listoverride\\listid" + number(i + 1) + "\\listoverridecount0\\ls"
            + number(i + 1) + '}';
    }
    m_out += "}\n";
}

void RtfWriter::writeFrame(const QTextFrame *frame)
{
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
        if (const QTextFrame *child = it.currentFrame()) {
            if (const auto *table = qobject_cast<const QTextTable *>(child))
                writeTable(table);
            else
                writeFrame(child);
            continue;
        }
        const QTextBlock block = it.currentBlock();
        writeBlock(block, false);
        if (block != m_document.lastBlock())
            m_out += "\\par\n";
    }
}

void RtfWriter::writeTable(const QTextTable *table)
{
    const int columns = std::max(table->columns(), 1);
    const int columnWidth = kTableWidthTwips / columns;
    for (int row = 0; row < table->rows(); ++row) {
        // Cell definitions first, then the contents of the cells that start
        // on this row; cells spanned from above are empty merged cells.
        m_out += "\\trowd\\trgaph108";
        QList<QTextTableCell> cells;
        for (int column = 0; column < table->columns();) {
            const QTextTableCell cell = table->cellAt(row, column);
            const int span = std::max(cell.columnSpan(), 1);
            if (cell.row() < row)
                m_out += "\\clvmrg";
            else if (cell.rowSpan() > 1)
                m_out += "\\clvmgf";
            m_out += "\\cellx" + number(columnWidth * (column + span));
            cells.append(cell);
            column = cell.column() + span;
        }
        m_out += '\n';
        for (const QTextTableCell &cell : std::as_const(cells)) {
            if (cell.row() == row) {
                QTextBlock block = m_document.findBlock(cell.firstPosition());
                const QTextBlock last = m_document.findBlock(cell.lastPosition());
                while (block.isValid()) {
                    writeBlock(block, true);
                    if (block == last)
                        break;
                    m_out += "\\par\n";
                    block = block.next();
                }
            } else {
                m_out += "\\pard\\intbl";
            }
            m_out += "\\cell\n";
        }
        m_out += "\\row\n";
    }
    m_out += "\\pard\n";
}

void RtfWriter::writeBlock(const QTextBlock &block, bool inTable)
{
    m_out += "\\pard";
    if (inTable)
        m_out += "\\intbl";
    switch (block.blockFormat().alignment() & Qt::AlignHorizontal_Mask) {
    case Qt::AlignHCenter:
        m_out += "\\qc";
        break;
    case Qt::AlignRight:
        m_out += "\\qr";
        break;
    case Qt::AlignJustify:
        m_out += "\\qj";
        break;
    default:
        break;
    }
    if (const QTextList *list = block.textList()) {
        const int level = std::clamp(list->format().indent(), 1, 9) - 1;
        const QTextListFormat::Style style = list->format().style();
        m_out += "\\ls" + number(m_lists.indexOf(list) + 1) + "\\ilvl" + number(level)
            + "\\fi-360\\li" + number(kListIndentTwips * (level + 1)) + " {\\listtext ";
        if (isNumbered(style)) {
            writeText(list->itemText(block));
        } else {
            writeText(QString(QChar(bulletFor(style))));
        }
        m_out += "\\tab}";
    } else {
        m_out += ' ';
    }
    writeRuns(block);
}

void RtfWriter::writeRuns(const QTextBlock &block)
{
    // Consecutive runs with one link target share one field.
    QString openHref;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const QTextCharFormat format = fragment.charFormat();
        const QString href = format.isAnchor() ? format.anchorHref() : QString();
        if (href != openHref) {
            if (!openHref.isEmpty())
                m_out += "}}";
            if (!href.isEmpty()) {
                QString target = href;
                target.replace(u'"', QLatin1String("%22")).replace(u'\\', QLatin1String("%5C"));
                m_out += "{\\field{\\*\\fldinst{HYPERLINK \"";
                writeText(target);
                m_out += "\"}}{\\fldrslt ";
            }
            openHref = href;
        }
        writeRun(fragment.text(), format);
    }
    if (!openHref.isEmpty())
        m_out += "}}";
}

void RtfWriter::writeRun(const QString &text, const QTextCharFormat &format)
{
    const QByteArray controls = formatControls(format);
    if (controls.isEmpty()) {
        writeText(text);
        return;
    }
    m_out += '{' + controls + ' ';
    writeText(text);
    m_out += '}';
}

QByteArray RtfWriter::formatControls(const QTextCharFormat &format) const
{
    QByteArray controls;
    if (const int font = fontIndex(format); font > 0)
        controls += "\\f" + number(font);
    if (const int halfPoints = fontHalfPoints(format); halfPoints > 0)
        controls += "\\fs" + number(halfPoints);
    if (format.fontWeight() >= QFont::DemiBold)
        controls += "\\b";
    if (format.fontItalic())
        controls += "\\i";
    switch (format.underlineStyle()) {
    case QTextCharFormat::NoUnderline:
        if (format.fontUnderline())
            controls += "\\ul";
        break;
    case QTextCharFormat::DotLine:
        controls += "\\uld";
        break;
    case QTextCharFormat::DashUnderline:
        controls += "\\uldash";
        break;
    case QTextCharFormat::WaveUnderline:
    case QTextCharFormat::SpellCheckUnderline:
        controls += "\\ulwave";
        break;
    default:
        controls += "\\ul";
        break;
    }
    if (format.fontStrikeOut())
        controls += "\\strike";
    if (const auto color = brushColor(format, QTextFormat::ForegroundBrush))
        controls += "\\cf" + number(colorIndex(*color));
    if (const auto color = brushColor(format, QTextFormat::BackgroundBrush)) {
        // Word reads \chcbpat, most others \cb.
        const QByteArray index = number(colorIndex(*color));
        controls += "\\chcbpat" + index + "\\cb" + index;
    }
    switch (format.verticalAlignment()) {
    case QTextCharFormat::AlignSuperScript:
        controls += "\\super";
        break;
    case QTextCharFormat::AlignSubScript:
        controls += "\\sub";
        break;
    default:
        break;
    }
    if (format.fontCapitalization() == QFont::AllUppercase)
        controls += "\\caps";
    else if (format.fontCapitalization() == QFont::SmallCaps)
        controls += "\\scaps";
    return controls;
}

int RtfWriter::fontIndex(const QTextCharFormat &format) const
{
    const QString family = firstFamily(format);
    return family.isEmpty() ? 0 : int(std::max<qsizetype>(m_fonts.indexOf(family), 0));
}

int RtfWriter::colorIndex(const QColor &color) const
{
    return int(m_colors.indexOf(color.toRgb()) + 1);
}

int RtfWriter::fontHalfPoints(const QTextCharFormat &format) const
{
    double points = 0;
    if (format.hasProperty(QTextFormat::FontPointSize)) {
        points = format.fontPointSize();
    } else if (format.hasProperty(QTextFormat::FontPixelSize)) {
        points = format.intProperty(QTextFormat::FontPixelSize) * 0.75; // CSS: 96 px per inch
    } else if (format.hasProperty(QTextFormat::FontSizeAdjustment)) {
        // Relative HTML sizes (h1, big, small) scale RTF's default size.
        const double base = m_document.defaultFont().pointSizeF();
        const double adjusted = format.font().pointSizeF();
        if (base > 0 && adjusted > 0)
            points = kDefaultPointSize * adjusted / base;
    }
    if (!(points > 0) || !std::isfinite(points))
        return 0;
    return int(std::clamp(std::lround(points * 2), 1L, 3276L));
}

void RtfWriter::writeText(const QString &text)
{
    for (const QChar ch : text) {
        const char16_t code = ch.unicode();
        switch (code) {
        case u'\\':
            m_out += "\\\\";
            continue;
        case u'{':
            m_out += "\\{";
            continue;
        case u'}':
            m_out += "\\}";
            continue;
        case u'\t':
            m_out += "\\tab ";
            continue;
        case QChar::LineSeparator:
        case QChar::ParagraphSeparator:
        case u'\n':
            m_out += "\\line ";
            continue;
        case QChar::Nbsp:
            m_out += "\\~";
            continue;
        case QChar::SoftHyphen:
            m_out += "\\-";
            continue;
        case 0x2011:
            m_out += "\\_";
            continue;
        case QChar::ObjectReplacementCharacter:
            continue; // images and other objects are not written
        default:
            break;
        }
        if (code < 0x20)
            continue;
        if (code < 0x80) {
            m_out += char(code);
        } else if (const auto byte = CodePages::encodeCp1252(code)) {
            static constexpr char kHex[] = "0123456789abcdef";
            const auto value = static_cast<unsigned char>(*byte);
            m_out += "\\'";
            m_out += kHex[value >> 4];
            m_out += kHex[value & 0xF];
        } else {
            // \u takes a signed 16-bit number; '?' is the fallback for old readers.
            m_out += "\\u" + number(code > 0x7FFF ? int(code) - 0x10000 : int(code)) + '?';
        }
    }
}
