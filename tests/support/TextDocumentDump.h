// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

// A one-line dump of a document's paragraphs, runs and the formats our
// converters carry, so that tests compare structure and formatting at once:
//   "[disc1]<b,fg#ff0000>red bold|plain"
inline QString dumpDocument(const QTextDocument &document)
{
    static const char *const kListStyles[]
        = { "", "disc", "circle", "square", "decimal", "alpha", "ALPHA", "roman", "ROMAN" };
    QStringList blocks;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QString text;
        if (const QTextList *list = block.textList()) {
            const int style = -list->format().style();
            text += QStringLiteral("[%1%2]")
                        .arg(QLatin1String(style >= 0 && style < 9 ? kListStyles[style] : "?"))
                        .arg(list->format().indent());
        }
        const Qt::Alignment alignment = block.blockFormat().alignment() & Qt::AlignHorizontal_Mask;
        if (alignment == Qt::AlignHCenter)
            text += QStringLiteral("[center]");
        else if (alignment == Qt::AlignRight)
            text += QStringLiteral("[right]");
        else if (alignment == Qt::AlignJustify)
            text += QStringLiteral("[justify]");
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            QStringList attributes;
            if (format.fontWeight() >= QFont::DemiBold)
                attributes << QStringLiteral("b");
            if (format.fontItalic())
                attributes << QStringLiteral("i");
            if (format.fontUnderline())
                attributes << QStringLiteral("u");
            else if (format.underlineStyle() != QTextCharFormat::NoUnderline)
                attributes << QStringLiteral("u%1").arg(int(format.underlineStyle()));
            if (format.fontStrikeOut())
                attributes << QStringLiteral("s");
            if (format.hasProperty(QTextFormat::ForegroundBrush))
                attributes << QStringLiteral("fg") + format.foreground().color().name();
            if (format.hasProperty(QTextFormat::BackgroundBrush))
                attributes << QStringLiteral("bg") + format.background().color().name();
            if (format.hasProperty(QTextFormat::FontPointSize))
                attributes << QStringLiteral("pt%1").arg(format.fontPointSize());
            if (!format.fontFamilies().toStringList().isEmpty())
                attributes << QStringLiteral("font:")
                        + format.fontFamilies().toStringList().first();
            if (format.verticalAlignment() == QTextCharFormat::AlignSuperScript)
                attributes << QStringLiteral("sup");
            if (format.verticalAlignment() == QTextCharFormat::AlignSubScript)
                attributes << QStringLiteral("sub");
            if (!format.anchorHref().isEmpty())
                attributes << QStringLiteral("href:") + format.anchorHref();
            QString fragment = it.fragment().text();
            fragment.replace(QChar::LineSeparator, QStringLiteral("<br>"));
            if (attributes.isEmpty())
                text += fragment;
            else
                text += u'<' + attributes.join(u',') + u'>' + fragment;
        }
        blocks << text;
    }
    return blocks.join(u'|');
}
