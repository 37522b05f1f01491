// SPDX-License-Identifier: GPL-3.0-or-later
// Adds clips to a store in a tight loop until it is killed or has made the
// number of adds given. Clip N reads "clip N ..." (numbering from the first
// number given). Prints "ready" and the number of clips once the history has
// loaded, "added N" after each add and "saved N" once it and every add before it are durable;
// now and then it asks for the whole archive to be written without waiting,
// so that kills also land while the archive is replaced.
#include "StoreFixture.h"

#include <QCoreApplication>
#include <QRandomGenerator>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: qs-store-writer <folder> [adds] [first]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    Defaults defaults(folder + u"/settings.ini"_s);
    Settings settings(defaults);
    ClipStore store(settings, folder);
    std::printf("ready %lld\n", static_cast<long long>(store.clips().size()));
    std::fflush(stdout);
    const quint64 adds = argc > 2 ? QByteArray(argv[2]).toULongLong() : 0;
    const quint64 first = argc > 3 ? QByteArray(argv[3]).toULongLong() : 1;
    auto *random = QRandomGenerator::global();
    for (quint64 i = 0; adds == 0 || i < adds; ++i) {
        const quint64 number = first + i;
        const QString text = u"clip %1 %2 "_s.arg(number).arg(random->generate64())
            + QString(int(random->bounded(4000)), QLatin1Char('x'));
        std::optional<QByteArray> html;
        if (i % 5 == 0)
            html = QByteArray("<p>") + text.toUtf8() + QByteArray("</p>");
        store.add(StoreFixture::text(text, std::nullopt, html));
        std::printf("added %llu\n", static_cast<unsigned long long>(number));
        std::fflush(stdout);
        if (i % 7 == 3)
            store.save();
        if (i % 3 == 0)
            continue; // mix waiting and non-waiting saves
        store.flush();
        std::printf("saved %llu\n", static_cast<unsigned long long>(number));
        std::fflush(stdout);
    }
    store.flush();
    return 0;
}
