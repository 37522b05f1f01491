// SPDX-License-Identifier: GPL-3.0-or-later
// Taking in another machine's journal of 10,000 clips from the shared
// folder: reading it, opening every sealed line, merging the events and
// placing the clips in this machine's history until it is saved on disk,
// all of it as a start with sharing turned on does it. Texts of about
// 300 bytes (a typical copy) and of 4 KB (the store benchmark's size).
// "CPU" is the time of every thread of the process.
#include "BenchSupport.h"
#include "model/ClipFunctions.h"
#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "model/Settings.h"
#include "sync/SharedJournalWriter.h"
#include "sync/SyncEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <optional>

#include <time.h>

namespace {

double processCpuMs()
{
    timespec now {};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000 + double(now.tv_nsec) / 1e6;
}

const QByteArray machineA = QByteArray(32, 'a');
const QByteArray machineB = QByteArray(32, 'b');

// A folder in which machine A shared `count` kept clips.
struct SharedFolderWithJournal
{
    QTemporaryDir dir { QDir::currentPath() + QStringLiteral("/bench-XXXXXX") };
    SharingKey::Stored key;

    SharedFolderWithJournal(int count, int textBytes)
    {
        QString error;
        const QString stored = dir.filePath(QStringLiteral("keyA"));
        if (!SharingKey::setUp(folder(), machineA, QStringLiteral("passphrase"), stored,
                SealedBox::minimumLimits(), &error))
            qFatal("%s", qPrintable(error));
        key = *SharingKey::readStored(stored);
        SharedJournalWriter writer(SharedFolder(folder(), machineA), key.key);
        QList<SyncEvent> events;
        if (!writer.open(&events, &error))
            qFatal("%s", qPrintable(error));
        QRandomGenerator random(7);
        const qint64 start = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
        for (int i = 0; i < count; ++i) {
            SyncEvent put;
            put.op = SyncEvent::Op::put;
            put.stamp = { start + i * 60'000, 0, machineA };
            Clip &clip = put.clip;
            clip.id = QUuid::createUuid();
            clip.createdAt = QDateTime::fromMSecsSinceEpoch(put.stamp.wall, Qt::UTC);
            clip.text = BenchSupport::randomText(random, textBytes) + QString::number(i);
            clip.preview = makePreview(*clip.text);
            clip.byteSize = clip.text->toUtf8().size();
            clip.contentHash = sha256Hex(clip.text->toUtf8());
            clip.isKept = true;
            put.key = clip.contentHash;
            SyncEvent keep;
            keep.op = SyncEvent::Op::keep;
            keep.stamp = { put.stamp.wall, 1, machineA };
            keep.key = put.key;
            keep.kept = true;
            events << put << keep;
        }
        if (!writer.append(events, &error))
            qFatal("%s", qPrintable(error));
        // B joins with the same passphrase, hence the same key.
        if (!SharingKey::setUp(folder(), machineB, QStringLiteral("passphrase"),
                dir.filePath(QStringLiteral("keyB")), SealedBox::minimumLimits(), &error))
            qFatal("%s", qPrintable(error));
    }

    QString folder() const { return dir.filePath(QStringLiteral("Sync")); }
};

void BM_MergeAnotherMachine(benchmark::State &state)
{
    const int count = int(state.range(0));
    const SharedFolderWithJournal shared(count, int(state.range(1)));
    const SharingKey::Stored keyB
        = *SharingKey::readStored(shared.dir.filePath(QStringLiteral("keyB")));
    int merged = 0;
    double savingMs = 0;
    // A machine B with an empty history, limits wide enough for all; made
    // and taken down with the clock stopped.
    struct MachineB
    {
        QTemporaryDir home { QDir::currentPath() + QStringLiteral("/bench-XXXXXX") };
        Defaults defaults { home.filePath(QStringLiteral("settings.ini")) };
        Settings settings { defaults };
        std::optional<ClipStore> store;
        std::optional<SyncEngine> engine;
    };
    for (auto _ : state) {
        state.PauseTiming();
        auto b = std::make_unique<MachineB>();
        b->settings.setMaxClipCount(100'000);
        ClipStore &store = b->store.emplace(b->settings, b->home.filePath(QStringLiteral("share")));
        // B's own folder is fresh each time, as on the first start.
        QFile::remove(SharedFolder(shared.folder(), machineB).journalPath(machineB));
        SyncEngine &engine = b->engine.emplace(store,
            SyncEngine::Options {
                shared.folder(), machineB, keyB, SyncEngine::Scope::kept, QStringLiteral("B") });
        state.ResumeTiming();
        engine.start();
        engine.finish();
        // Until the history that took them in is on disk; the time spent
        // after the merge itself is told apart.
        const double merging = processCpuMs();
        store.flush();
        savingMs += processCpuMs() - merging;
        state.PauseTiming();
        merged = int(store.clips().size());
        b.reset();
        state.ResumeTiming();
    }
    if (merged != count)
        state.SkipWithError("not every clip was merged");
    state.counters["clips"] = merged;
    state.counters["saving_ms"] = savingMs / double(state.iterations());
}

} // namespace

BENCHMARK(BM_MergeAnotherMachine)
    ->Args({ 10'000, 300 })
    ->Args({ 10'000, 4000 })
    ->Unit(benchmark::kMillisecond)
    // The reading thread's time counts too; on a busy machine the wall time
    // says more of the others than of us.
    ->MeasureProcessCPUTime()
    ->Iterations(5);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
