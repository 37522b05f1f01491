// SPDX-License-Identifier: GPL-3.0-or-later
// The global shortcut's toggle with 10,000 clips: from the call until the
// panel is on screen and its list has painted, mapping and expose included.
// It needs an X server, as the program does: run it through
// tests/support/x11-harness.sh. One toggle per repetition, so the median
// reported is the median toggle; the goal is one frame, 16 ms.
#include "BenchSupport.h"
#include "app/HistoryPanel.h"
#include "app/PanelController.h"
#include "model/ClipArchive.h"
#include "model/ClipFunctions.h"
#include "model/ClipStore.h"
#include "model/SettingsKeys.h"
#include "program/Program.h"
#include "ui/HistoryViewController.h"
#include "ui/Translations.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int clipCount = 10000;

// Writes an archive of clipCount text clips, as the program would find it at
// start-up.
void writeArchive(const QString &appSupportDir)
{
    QRandomGenerator random(7);
    const QString root = appSupportDir + QStringLiteral("/Quillstack");
    QDir().mkpath(root + QStringLiteral("/media"));
    const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-20);
    QList<QByteArray> encoded;
    for (int i = 0; i < clipCount; ++i) {
        Clip clip;
        clip.id = QUuid::createUuid();
        clip.createdAt = start.addSecs(qint64(clipCount - i) * 60);
        clip.text = BenchSupport::randomText(random, 80 + random.bounded(600)) + QString::number(i);
        clip.preview = makePreview(*clip.text);
        clip.byteSize = clip.text->toUtf8().size();
        clip.contentHash = sha256Hex(clip.text->toUtf8());
        clip.isKept = i % 50 == 0;
        encoded.append(ClipArchive::encodeClip(clip));
    }
    QFile archive(root + QStringLiteral("/clips.json"));
    archive.open(QIODevice::WriteOnly);
    for (const QByteArray &part : ClipArchive::archiveParts(encoded))
        archive.write(part);
}

// The whole program over a history of clipCount clips, launched.
struct Rig
{
    Rig()
    {
        writeArchive(dir.path());
        const QString settingsFile = dir.filePath(QStringLiteral("Quillstack.conf"));
        {
            // Limits that keep every clip, in place before the store loads.
            Defaults defaults(settingsFile);
            defaults.setObject(QLatin1String(SettingsKeys::maxClipCount), clipCount);
            defaults.setObject(QLatin1String(SettingsKeys::maxAgeHours), 0);
            defaults.setObject(QLatin1String(SettingsKeys::maxTotalBytes), 0);
        }
        program = std::make_unique<Program>(Program::Options { settingsFile, dir.path() });
        program->app().applicationDidFinishLaunching();
        QCoreApplication::processEvents();
    }

    QTemporaryDir dir;
    std::unique_ptr<Program> program;
};

// Runs the event loop until the list has painted, as the running program
// would; true when it did within a second.
bool waitForPaint(const BenchSupport::PaintCounter &counter, int paintsBefore)
{
    QElapsedTimer deadline;
    deadline.start();
    while (counter.paints == paintsBefore && deadline.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return counter.paints != paintsBefore;
}

void BM_ToggleToPainted(benchmark::State &state)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        state.SkipWithError("needs an X server (tests/support/x11-harness.sh)");
        return;
    }
    Rig rig;
    AppDelegate &app = rig.program->app();
    if (app.store().clips().size() != clipCount) {
        state.SkipWithError("the archive did not load");
        return;
    }
    QWidget *viewport = app.panel().history()->findChild<QAbstractScrollArea *>()->viewport();
    BenchSupport::PaintCounter counter;
    viewport->installEventFilter(&counter);
    int missed = 0;
    qint64 opens = 0;
    for (auto _ : state) {
        const int paintsBefore = counter.paints;
        QElapsedTimer timer;
        timer.start();
        app.toggleFromShortcut(ListMode::all);
        if (!waitForPaint(counter, paintsBefore))
            ++missed;
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);

        app.toggleFromShortcut(ListMode::all);
        // The opening is counted a moment later, outside the measured frame.
        ++opens;
        const QString key = QLatin1String(SettingsKeys::reviewHotkeyPanelOpens);
        while (app.panel().panel().isVisible() || rig.program->defaults().integer(key) < opens)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    viewport->removeEventFilter(&counter);
    state.counters["clips"] = double(app.panel().history()->visibleClips().size());
    state.counters["missedFrames"] = missed;
}

BENCHMARK(BM_ToggleToPainted)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(51)
    ->ReportAggregatesOnly();

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    installTranslations(app);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
