// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class QTextBlock;
class QTextCharFormat;
class QTextDocument;
class QTextFrame;
class QTextList;
class QTextTable;

// Writes a QTextDocument as RTF that word processors on Linux and other
// systems read: \ansicpg1252 with \'hh for what cp1252 holds and \uN? for
// the rest, a font and a colour table, bold, italic, underline, strike,
// colours, sizes, alignment, hyperlinks as fields, lists (list table plus
// \listtext markers) and tables. Images are left out.
class RtfWriter
{
public:
    explicit RtfWriter(const QTextDocument &document);

    QByteArray write();

private:
    void collectTables(); // fonts, colours and lists used by the document
    void writeHeader();
    void writeFrame(const QTextFrame *frame);
    void writeTable(const QTextTable *table);
    void writeBlock(const QTextBlock &block, bool inTable);
    void writeRuns(const QTextBlock &block);
    void writeRun(const QString &text, const QTextCharFormat &format);
    QByteArray formatControls(const QTextCharFormat &format) const;
    void writeText(const QString &text);
    int fontIndex(const QTextCharFormat &format) const;
    int colorIndex(const QColor &color) const;
    int fontHalfPoints(const QTextCharFormat &format) const;

    const QTextDocument &m_document;
    QByteArray m_out;
    QStringList m_fonts; // index 0 is the default font
    QList<QColor> m_colors; // colour table entries from index 1
    QList<const QTextList *> m_lists; // \ls numbers from 1
};
