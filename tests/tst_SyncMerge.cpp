// SPDX-License-Identifier: GPL-3.0-or-later
// The merge rules of the shared history, each case with the lines every
// machine wrote, checked in every order those lines can arrive in.
#include "sync/HybridClock.h"
#include "sync/MergedHistory.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

namespace {

const QByteArray machineA = QByteArray(32, 'a');
const QByteArray machineB = QByteArray(32, 'b');
const QByteArray machineC = QByteArray(32, 'c');
constexpr qint64 hour = 3600 * 1000;
constexpr qint64 day = 24 * hour;
const qint64 t0 = QDateTime(QDate(2026, 3, 1), QTime(9, 0), Qt::UTC).toMSecsSinceEpoch();

SyncStamp at(qint64 wall, const QByteArray &machine, quint32 counter = 0)
{
    return { wall, counter, machine };
}

SyncEvent put(const char *keyName, const char *words, const SyncStamp &stamp)
{
    const QString key = QString::fromLatin1(keyName);
    const QString text = QString::fromUtf8(words);
    SyncEvent event;
    event.op = SyncEvent::Op::put;
    event.stamp = stamp;
    event.key = key;
    event.clip.id = QUuid::createUuidV5(QUuid(), stamp.machine + key.toLatin1());
    event.clip.createdAt = QDateTime::fromMSecsSinceEpoch(stamp.wall / 1000 * 1000, Qt::UTC);
    event.clip.text = text;
    event.clip.preview = text;
    event.clip.contentHash = key;
    return event;
}

SyncEvent keep(const char *key, bool kept, const SyncStamp &stamp)
{
    SyncEvent event;
    event.op = SyncEvent::Op::keep;
    event.stamp = stamp;
    event.key = QString::fromLatin1(key);
    event.kept = kept;
    return event;
}

SyncEvent forget(const QList<SyncEvent::Gone> &gone, const SyncStamp &stamp, bool clear = false)
{
    SyncEvent event;
    event.op = SyncEvent::Op::forget;
    event.stamp = stamp;
    event.gone = gone;
    event.clear = clear;
    return event;
}

// What a person sees of the merged history: each present clip's text, mark
// and date, and where it came from.
QStringList shown(const MergedHistory &history)
{
    QStringList lines;
    for (auto it = history.entries().cbegin(); it != history.entries().cend(); ++it) {
        if (!it->present())
            continue;
        lines.append(QStringLiteral("%1 %2%3 %4 from %5")
                         .arg(it.key(), it->clip.text.value_or(QString()),
                             it->kept ? QStringLiteral(" (kept)") : QString(),
                             it->clip.createdAt.toString(Qt::ISODate),
                             QString::fromLatin1(it->first.machine.left(1))));
    }
    lines.sort();
    return lines;
}

QStringList mergeInOrder(const QList<SyncEvent> &events)
{
    MergedHistory history;
    for (const SyncEvent &event : events)
        history.apply(event);
    return shown(history);
}

QString date(qint64 wall)
{
    return QDateTime::fromMSecsSinceEpoch(wall / 1000 * 1000, Qt::UTC).toString(Qt::ISODate);
}

// One line of shown(): a clip's key, text, mark, date and first machine.
QString clip(const char *key, const char *text, bool kept, qint64 wall, const QByteArray &from)
{
    return QStringLiteral("%1 %2%3 %4 from %5")
        .arg(QLatin1String(key), QString::fromUtf8(text),
            kept ? QStringLiteral(" (kept)") : QString(), date(wall),
            QString::fromLatin1(from.left(1)));
}

SyncEvent::Gone gone(const char *key, const SyncStamp &seen)
{
    return { QString::fromLatin1(key), seen };
}

} // namespace

class tst_SyncMerge : public QObject
{
    Q_OBJECT

private slots:
    void mergeRules_data();
    void mergeRules();
    void anyOrderGivesOneHistory();
};

void tst_SyncMerge::mergeRules_data()
{
    QTest::addColumn<QList<SyncEvent>>("events");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("same clip copied on two machines is one clip, at the later copy")
        << QList<SyncEvent> { put("k1", "hello", at(t0, machineA)),
               put("k1", "hello", at(t0 + hour, machineB)) }
        << QStringList { clip("k1", "hello", false, t0 + hour, machineA) };

    QTest::newRow("keep and delete at the same moment: kept wins") << QList<SyncEvent> {
        put("k1", "x", at(t0, machineA)), keep("k1", true, at(t0 + 5, machineB)),
        forget({ gone("k1", at(t0, machineA)) }, at(t0 + 5, machineA))
    } << QStringList { clip("k1", "x", true, t0, machineA) };

    QTest::newRow("delete made after seeing the keep removes it") << QList<SyncEvent> {
        put("k1", "x", at(t0, machineA)), keep("k1", true, at(t0 + 5, machineB)),
        forget({ gone("k1", at(t0 + 5, machineB)) }, at(t0 + 6, machineA))
    } << QStringList {};

    QTest::newRow("edit on one machine, delete on the other: the edit stays") << QList<SyncEvent> {
        put("k1", "draft", at(t0, machineA)), put("k1", "final", at(t0 + 10, machineB)),
        forget({ gone("k1", at(t0, machineA)) }, at(t0 + 20, machineA))
    } << QStringList { clip("k1", "final", false, t0 + 10, machineA) };

    QTest::newRow("unkeeping does not bring back a deleted clip") << QList<SyncEvent> {
        put("k1", "x", at(t0, machineA)), keep("k1", false, at(t0 + 9, machineB)),
        forget({ gone("k1", at(t0, machineA)) }, at(t0 + 5, machineA))
    } << QStringList {};

    QTest::newRow("clear forgets what existed, not what came meanwhile or was kept")
        << QList<SyncEvent> { put("k1", "one", at(t0, machineA)),
               put("k2", "two", at(t0 + 1, machineA)), keep("k2", true, at(t0 + 2, machineB)),
               put("k3", "three", at(t0 + 3, machineB)),
               forget({ gone("k1", at(t0, machineA)), gone("k2", at(t0 + 1, machineA)) },
                   at(t0 + 4, machineA), true) }
        << QStringList { clip("k2", "two", true, t0 + 1, machineA),
               clip("k3", "three", false, t0 + 3, machineB) };

    {
        // B's wall clock is three hours behind A's; what B does after seeing
        // A's lines still orders after them.
        HybridClock clockA(machineA, [] { return t0 + 10 * hour; });
        HybridClock clockB(machineB, [] { return t0 + 7 * hour; });
        const SyncEvent first = put("k1", "A's words", clockA.next());
        clockB.observe(first.stamp);
        const SyncEvent edit = put("k1", "B's words", clockB.next());
        const SyncEvent other = put("k2", "gone soon", clockA.next());
        clockB.observe(other.stamp);
        const SyncEvent forgotten = forget({ gone("k2", other.stamp) }, clockB.next());
        QTest::newRow("clock skew of hours") << QList<SyncEvent> { first, edit, other,
            forgotten } << QStringList { clip("k1", "B's words", false, t0 + 10 * hour, machineA) };
    }

    QTest::newRow("a machine back after a month")
        << QList<SyncEvent> { put("old", "old", at(t0, machineB)),
               // Deleted by A, which had seen it, while B was away.
               forget({ gone("old", at(t0, machineB)) }, at(t0 + day, machineA)),
               // B, away, kept one clip and copied another; both stand.
               put("mark", "mark", at(t0 - day, machineA)),
               keep("mark", true, at(t0 + 2 * day, machineB)),
               forget({ gone("mark", at(t0 - day, machineA)) }, at(t0 + day, machineA)),
               put("new", "new", at(t0 + 30 * day, machineB)) }
        << QStringList { clip("mark", "mark", true, t0 - day, machineA),
               clip("new", "new", false, t0 + 30 * day, machineB) };

    QTest::newRow("copied again after a delete comes back")
        << QList<SyncEvent> { put("k1", "x", at(t0, machineA)),
               forget({ gone("k1", at(t0, machineA)) }, at(t0 + 1, machineB)),
               put("k1", "x", at(t0 + 2, machineC)) }
        << QStringList { clip("k1", "x", false, t0 + 2, machineA) };
}

void tst_SyncMerge::mergeRules()
{
    QFETCH(QList<SyncEvent>, events);
    QFETCH(QStringList, expected);

    QCOMPARE(mergeInOrder(events), expected);
    // Every order the lines can arrive in, each line twice (a journal read
    // again from its start after a compaction), gives the same history.
    QList<int> order(events.size());
    std::iota(order.begin(), order.end(), 0);
    int orders = 0;
    do {
        QList<SyncEvent> delivered;
        for (const int i : order)
            delivered.append(events[i]);
        delivered += delivered;
        QCOMPARE(mergeInOrder(delivered), expected);
        ++orders;
    } while (std::next_permutation(order.begin(), order.end()));
    QVERIFY(orders > 1);
}

void tst_SyncMerge::anyOrderGivesOneHistory()
{
    // Three machines making changes to a handful of clips, each seeing the
    // others' lines now and then, as they would through a shared folder.
    QRandomGenerator random(26);
    const QList<QByteArray> machines { machineA, machineB, machineC };
    QList<HybridClock> clocks;
    QList<qint64> walls { t0, t0 - 3 * hour, t0 + 2 * hour };
    for (int m = 0; m < 3; ++m)
        clocks.append(HybridClock(machines[m], [&walls, m] { return walls[m]; }));
    QList<SyncEvent> events;
    QHash<QString, SyncStamp> lastLive;
    for (int step = 0; step < 300; ++step) {
        const int m = random.bounded(3);
        walls[m] += random.bounded(2) * 1000;
        if (!events.isEmpty() && random.bounded(4) == 0)
            clocks[m].observe(events[random.bounded(events.size())].stamp);
        const QByteArray key = "k" + QByteArray::number(random.bounded(8));
        const SyncStamp stamp = clocks[m].next();
        switch (random.bounded(4)) {
        case 0:
        case 1:
            events.append(put(key.constData(), "text", stamp));
            lastLive[QString::fromLatin1(key)] = stamp;
            break;
        case 2:
            events.append(keep(key.constData(), random.bounded(2) == 0, stamp));
            break;
        default:
            if (const auto seen = lastLive.constFind(QString::fromLatin1(key));
                seen != lastLive.cend())
                events.append(forget({ gone(key.constData(), *seen) }, stamp));
            break;
        }
    }
    const QStringList expected = mergeInOrder(events);
    QVERIFY(!expected.isEmpty());
    bool someForgotten = false;
    MergedHistory whole;
    for (const SyncEvent &event : std::as_const(events))
        whole.apply(event);
    for (const MergedHistory::Entry &entry : whole.entries())
        someForgotten = someForgotten || (entry.hasContent() && !entry.present());
    QVERIFY(someForgotten);
    for (int run = 0; run < 200; ++run) {
        QList<SyncEvent> shuffled = events;
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        QCOMPARE(mergeInOrder(shuffled), expected);
    }
}

QTEST_GUILESS_MAIN(tst_SyncMerge)
#include "tst_SyncMerge.moc"
