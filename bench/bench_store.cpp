// SPDX-License-Identifier: GPL-3.0-or-later
// The store at 200, 2,000 and 10,000 clips of about 4 KB of text, every 50th
// with 100 KB of HTML, against the bare costs it builds on: writing the same
// bytes durably, parsing them with QJsonDocument, and a plain contains() loop.
// A change costs one journal line; a compaction (the whole archive) is
// measured on its own.
#include "BenchSupport.h"
#include "model/AtomicFile.h"
#include "model/ClipArchive.h"
#include "model/ClipFunctions.h"
#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "model/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

Clip makeClip(
    QRandomGenerator &random, int index, const QDateTime &when, int textBytes, int htmlBytes)
{
    Clip clip;
    clip.id = QUuid::createUuid();
    clip.createdAt = when;
    clip.kind = ClipKind::text;
    clip.text = BenchSupport::randomText(random, textBytes) + QString::number(index);
    clip.preview = makePreview(*clip.text);
    const QByteArray utf8 = clip.text->toUtf8();
    if (htmlBytes > 0)
        clip.html = "<html><body><p>" + BenchSupport::randomText(random, htmlBytes).toUtf8()
            + "</p></body></html>";
    clip.byteSize = utf8.size() + (clip.html ? clip.html->size() : 0);
    clip.contentHash = sha256Hex(utf8);
    return clip;
}

// A history on the real disk (not tmpfs), so that fsync costs what it costs.
struct History
{
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Defaults> defaults;
    std::unique_ptr<Settings> settings;
    QByteArray archive;
    QString archivePath;

    explicit History(int count, int textBytes = 4000, int htmlEvery = 50, int htmlBytes = 100000)
    {
        dir = std::make_unique<QTemporaryDir>(
            QDir::currentPath() + QStringLiteral("/bench-XXXXXX"));
        defaults = std::make_unique<Defaults>(dir->filePath(QStringLiteral("settings.ini")));
        settings = std::make_unique<Settings>(*defaults);
        settings->setMaxClipCount(1'000'000);
        settings->setMaxTotalBytes(0);
        settings->setMaxAgeHours(0);
        QRandomGenerator random(count);
        QList<QByteArray> encoded;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (int i = 0; i < count; ++i) {
            const int html = htmlEvery > 0 && i % htmlEvery == 0 ? htmlBytes : 0;
            encoded.append(
                ClipArchive::encodeClip(makeClip(random, i, now.addSecs(-i), textBytes, html)));
        }
        archive = ClipArchive::archiveParts(encoded).join();
        archivePath = dir->filePath(QStringLiteral("Quillstack/clips.json"));
        QDir().mkpath(dir->filePath(QStringLiteral("Quillstack")));
        AtomicFile::write(archivePath, archive);
    }

    std::unique_ptr<ClipStore> open() const
    {
        return std::make_unique<ClipStore>(*settings, dir->path());
    }
};

void setBytes(benchmark::State &state, qsizetype bytes)
{
    state.counters["archive_MB"] = double(bytes) / 1e6;
}

void BM_AddWithSave(benchmark::State &state)
{
    History history(int(state.range(0)));
    auto store = history.open();
    store->save(); // encode every clip once, as the first save after start does
    store->flush();
    QRandomGenerator random(7);
    int i = 0;
    for (auto _ : state) {
        const QString text = BenchSupport::randomText(random, 4000) + QString::number(++i);
        ClipContent content;
        content.text = text;
        content.preview = makePreview(text);
        content.byteSize = text.toUtf8().size();
        content.contentHash = sha256Hex(text.toUtf8());
        store->add(content);
        store->flush();
    }
    setBytes(state, QFileInfo(history.archivePath).size());
}

// What one change costs the caller (the add itself) and the thread that owns
// the disk (the wait until it is durable), separately, on three history
// sizes: 200 and 10,000 clips of 4 KB, and 400 clips of 500 KB (~200 MB).
void BM_SaveCost(benchmark::State &state)
{
    const int count = int(state.range(0));
    const bool large = state.range(1) != 0;
    History history(count, large ? 500'000 : 4000, large ? 0 : 50);
    auto store = history.open();
    store->save();
    store->flush();
    QRandomGenerator random(11);
    double uiMs = 0, writerMs = 0;
    int i = 0;
    for (auto _ : state) {
        const QString text = BenchSupport::randomText(random, 4000) + QString::number(++i);
        ClipContent content;
        content.text = text;
        content.preview = makePreview(text);
        content.byteSize = text.toUtf8().size();
        content.contentHash = sha256Hex(text.toUtf8());
        const auto start = std::chrono::steady_clock::now();
        store->add(content);
        const auto queued = std::chrono::steady_clock::now();
        store->flush();
        const auto durable = std::chrono::steady_clock::now();
        uiMs += std::chrono::duration<double, std::milli>(queued - start).count();
        writerMs += std::chrono::duration<double, std::milli>(durable - queued).count();
    }
    state.counters["ui_ms"] = benchmark::Counter(uiMs, benchmark::Counter::kAvgIterations);
    state.counters["writer_ms"] = benchmark::Counter(writerMs, benchmark::Counter::kAvgIterations);
    setBytes(state, history.archive.size());
}

// A compaction: the whole archive written and a new journal begun, on the
// writer thread; the caller's part is handing over the list.
void BM_Compaction(benchmark::State &state)
{
    const bool large = state.range(1) != 0;
    History history(int(state.range(0)), large ? 500'000 : 4000, large ? 0 : 50);
    auto store = history.open();
    for (auto _ : state) {
        store->save();
        store->flush();
    }
    setBytes(state, history.archive.size());
}

void BM_WriteFsyncRename(benchmark::State &state)
{
    History history(int(state.range(0)));
    for (auto _ : state)
        AtomicFile::write(history.archivePath, history.archive);
    setBytes(state, history.archive.size());
}

void BM_Load(benchmark::State &state)
{
    History history(int(state.range(0)));
    qsizetype count = 0;
    for (auto _ : state) {
        auto store = history.open();
        count = store->clips().size();
    }
    if (count != state.range(0))
        state.SkipWithError("the archive did not load whole");
    setBytes(state, history.archive.size());
}

void BM_Decode(benchmark::State &state)
{
    History history(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(ClipArchive::decode(history.archive));
    setBytes(state, history.archive.size());
}

void BM_QJsonFromJson(benchmark::State &state)
{
    History history(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(QJsonDocument::fromJson(history.archive));
    setBytes(state, history.archive.size());
}

const QString queries[] = { QStringLiteral("fox"), QStringLiteral("qzx") };

void BM_Search(benchmark::State &state)
{
    History history(int(state.range(0)));
    auto store = history.open();
    const QString query = queries[state.range(1)];
    for (auto _ : state)
        benchmark::DoNotOptimize(store->search(query));
    state.SetLabel(query.toStdString());
}

void BM_ContainsLoop(benchmark::State &state)
{
    History history(int(state.range(0)));
    auto store = history.open();
    const QList<Clip> clips = store->clips();
    const QString query = queries[state.range(1)];
    for (auto _ : state) {
        int found = 0;
        for (const Clip &clip : clips)
            found += clip.preview.contains(query, Qt::CaseInsensitive)
                || (clip.text && clip.text->contains(query, Qt::CaseInsensitive));
        benchmark::DoNotOptimize(found);
    }
    state.SetLabel(query.toStdString());
}

// The worst case the default limits allow: about 300 MB of archive (200 MiB
// of content, HTML counted in Base64).
void BM_Large300MB(benchmark::State &state)
{
    History history(200, 350'000, 1, 700'000);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto store = history.open();
        state.counters["load_ms"]
            = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                  .count();
        if (store->clips().size() != 200) {
            state.SkipWithError("the large archive did not load");
            return;
        }
        const auto loaded = std::chrono::steady_clock::now();
        store->setKept(store->clips().first().id, true);
        store->flush();
        const auto saved = std::chrono::steady_clock::now();
        state.counters["save_ms"]
            = std::chrono::duration<double, std::milli>(saved - loaded).count();
        const auto reread = ClipArchive::decode(
            ClipStore::exportFromFiles(history.dir->path()).value_or(QByteArray()));
        if (!reread.ok || reread.clips != store->clips())
            state.SkipWithError("the saved history differs");
    }
    setBytes(state, history.archive.size());
}

} // namespace

#define SIZES Arg(200)->Arg(2000)->Arg(10000)
BENCHMARK(BM_AddWithSave)
    ->SIZES->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_SaveCost)
    ->Args({ 200, 0 })
    ->Args({ 10000, 0 })
    ->Args({ 400, 1 })
    ->Iterations(30)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->ReportAggregatesOnly();
BENCHMARK(BM_Compaction)
    ->Args({ 200, 0 })
    ->Args({ 10000, 0 })
    ->Args({ 400, 1 })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3)
    ->Repetitions(3)
    ->ReportAggregatesOnly();
BENCHMARK(BM_WriteFsyncRename)
    ->SIZES->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_Load)->SIZES->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_Decode)->SIZES->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_QJsonFromJson)
    ->SIZES->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_Search)
    ->ArgsProduct({ { 10000 }, { 0, 1 } })
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_ContainsLoop)
    ->ArgsProduct({ { 10000 }, { 0, 1 } })
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_Large300MB)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

BENCHMARK_MAIN();
