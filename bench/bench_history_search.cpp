// SPDX-License-Identifier: GPL-3.0-or-later
// One keystroke in the history panel's search field over 10,000 clips: the
// store's search, the list model's reset and selection, the list's layout and
// the repaint of the panel, offscreen. Each repetition is one keystroke, so
// the median reported is the median keystroke; the goal is one frame, 16 ms.
#include "BenchSupport.h"
#include "model/ClipArchive.h"
#include "model/ClipFunctions.h"
#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "model/Settings.h"
#include "ui/HistoryViewController.h"
#include "ui/Translations.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int clipCount = 10000;
constexpr int imageEvery = 100;

struct Panel
{
    Panel()
    {
        QRandomGenerator random(42);
        const QString root = dir.filePath(QStringLiteral("Quillstack"));
        QDir().mkpath(root + QStringLiteral("/media"));
        const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-30);
        QList<QByteArray> encoded;
        for (int i = 0; i < clipCount; ++i) {
            Clip clip;
            clip.id = QUuid::createUuid();
            clip.createdAt = start.addSecs(qint64(clipCount - i) * 60);
            if (i % imageEvery == 0) {
                const QString name = ClipArchive::formatUuid(clip.id) + QStringLiteral(".png");
                QImage image(640, 400, QImage::Format_RGB32);
                image.fill(QColor::fromHsv(i % 360, 200, 200));
                image.save(root + QStringLiteral("/media/") + name, "PNG");
                clip.kind = ClipKind::image;
                clip.imageFilename = name;
                clip.preview = QStringLiteral("Image");
            } else {
                clip.text = BenchSupport::randomText(random, 100 + random.bounded(900))
                    + QString::number(i);
                clip.preview = makePreview(*clip.text);
            }
            clip.contentHash = sha256Hex(clip.preview.toUtf8() + QByteArray::number(i));
            clip.byteSize = clip.text ? clip.text->toUtf8().size() : 0;
            encoded.append(ClipArchive::encodeClip(clip));
        }
        QFile archive(root + QStringLiteral("/clips.json"));
        archive.open(QIODevice::WriteOnly);
        for (const QByteArray &part : ClipArchive::archiveParts(encoded))
            archive.write(part);
        archive.close();

        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
        settings = std::make_unique<Settings>(*defaults);
        settings->setMaxClipCount(clipCount);
        settings->setMaxAgeHours(0);
        settings->setMaxTotalBytes(0);
        store = std::make_unique<ClipStore>(*settings, dir.path());
        view = std::make_unique<HistoryViewController>(*store, *settings);
        view->resize(340, 700);
        view->show();
        QCoreApplication::processEvents();
    }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<ClipStore> store;
    std::unique_ptr<HistoryViewController> view;
};

Panel &panel()
{
    static Panel instance;
    return instance;
}

// What a user types, one keystroke per step: growing and shrinking queries,
// ones that match thousands of clips, a few, or none.
const QStringList &keystrokes()
{
    static const QStringList typed = [] {
        QStringList steps;
        for (const QString &word : { QStringLiteral("lazy dog"), QStringLiteral("clipboard 42"),
                 QStringLiteral("zebra") }) {
            for (int i = 1; i <= word.size(); ++i)
                steps.append(word.left(i));
            for (int i = word.size() - 1; i >= 0; --i)
                steps.append(word.left(i));
        }
        return steps;
    }();
    return typed;
}

// Types the next keystroke of `typed` per iteration and waits for its frame.
// Each repetition runs one iteration, so `step` carries on across them.
void runKeystrokes(benchmark::State &state, const QStringList &typed, int &step)
{
    Panel &p = panel();
    QWidget *viewport = p.view->findChild<QAbstractScrollArea *>()->viewport();
    BenchSupport::PaintCounter counter;
    viewport->installEventFilter(&counter);
    qint64 rows = 0;
    int forced = 0;
    for (auto _ : state) {
        const int paintsBefore = counter.paints;
        p.view->searchField()->setText(typed.at(step++ % typed.size()));
        // What the event loop does next in the running program: the list's
        // layout (a zero-time timer) and the repaint of the panel.
        QCoreApplication::processEvents();
        if (counter.paints == paintsBefore) {
            p.view->repaint();
            ++forced;
        }
        rows = p.view->visibleClips().size();
    }
    viewport->removeEventFilter(&counter);
    state.counters["rows"] = double(rows);
    state.counters["forcedPaints"] = forced;
}

void BM_SearchKeystroke(benchmark::State &state)
{
    static int step = 0;
    runKeystrokes(state, keystrokes(), step);
}

// Blanks: the store's search is a shared copy of the whole history, so this is
// the list's own cost of a keystroke that shows all 10,000 clips.
void BM_ListOnlyKeystroke(benchmark::State &state)
{
    static int step = 0;
    runKeystrokes(state, { QString(), QStringLiteral(" ") }, step);
}

// The store's part of the same keystrokes, for comparison: what is left is
// the list's own cost.
void BM_StoreSearchOnly(benchmark::State &state)
{
    Panel &p = panel();
    static int step = 0;
    for (auto _ : state) {
        QList<Clip> found = p.store->search(keystrokes().at(step++ % keystrokes().size()));
        benchmark::DoNotOptimize(found);
    }
}

BENCHMARK(BM_SearchKeystroke)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(101)
    ->ReportAggregatesOnly();
BENCHMARK(BM_ListOnlyKeystroke)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(101)
    ->ReportAggregatesOnly();
BENCHMARK(BM_StoreSearchOnly)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(101)
    ->ReportAggregatesOnly();

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installTranslations(app);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    panel();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
