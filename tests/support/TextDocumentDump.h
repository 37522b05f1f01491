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
        text += alignment == Qt::AlignHCenter ? QStringLiteral("[center]")
            : alignment == Qt::AlignRight     ? QStringLiteral("[right]")
            : alignment == Qt::AlignJustify   ? QStringLiteral("[justify]")
                                              : QString();
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            const QStringList families = format.fontFamilies().toStringList();
            const int underline = format.fontUnderline() ? 1 : int(format.underlineStyle());
            const std::pair<bool, QString> attributes[] = {
                { format.fontWeight() >= QFont::DemiBold, QStringLiteral("b") },
                { format.fontItalic(), QStringLiteral("i") },
                { underline != 0,
                    underline == 1 ? QStringLiteral("u") : u'u' + QString::number(underline) },
                { format.fontStrikeOut(), QStringLiteral("s") },
                { format.hasProperty(QTextFormat::ForegroundBrush),
                    QStringLiteral("fg") + format.foreground().color().name() },
                { format.hasProperty(QTextFormat::BackgroundBrush),
                    QStringLiteral("bg") + format.background().color().name() },
                { format.hasProperty(QTextFormat::FontPointSize),
                    QStringLiteral("pt%1").arg(format.fontPointSize()) },
                { !families.isEmpty(), QStringLiteral("font:") + families.value(0) },
                { format.verticalAlignment() == QTextCharFormat::AlignSuperScript,
                    QStringLiteral("sup") },
                { format.verticalAlignment() == QTextCharFormat::AlignSubScript,
                    QStringLiteral("sub") },
                { !format.anchorHref().isEmpty(), QStringLiteral("href:") + format.anchorHref() },
            };
            QStringList shown;
            for (const auto &[present, name] : attributes)
                if (present)
                    shown << name;
            QString fragment = it.fragment().text();
            fragment.replace(QChar::LineSeparator, QStringLiteral("<br>"));
            text += shown.isEmpty() ? fragment : u'<' + shown.join(u',') + u'>' + fragment;
        }
        blocks << text;
    }
    return blocks.join(u'|');
}
