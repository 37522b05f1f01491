// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Pieces the benchmarks share: made-up clip text and a paint counter.

#include <QEvent>
#include <QLatin1String>
#include <QObject>
#include <QRandomGenerator>
#include <QString>

#include <iterator>

namespace BenchSupport {

// Words in random order, about `length` characters, now and then a line break.
inline QString randomText(QRandomGenerator &random, int length)
{
    static const char *const words[] = { "lorem", "ipsum", "dolor", "sit", "amet", "clipboard",
        "history", "panel", "search", "window", "the", "quick", "brown", "fox", "jumps", "over",
        "lazy", "dog", "Linux", "desktop", "copy", "paste" };
    QString text;
    text.reserve(length + 16);
    while (text.size() < length) {
        text += QLatin1String(words[random.bounded(int(std::size(words)))]);
        text += random.bounded(12) == 0 ? QLatin1Char('\n') : QLatin1Char(' ');
    }
    return text;
}

// Counts the paint events of the object it filters, to be sure a measured
// step really drew a frame.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

} // namespace BenchSupport
