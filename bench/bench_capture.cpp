// Capture on a real display server: from the copying program (`xclip`, or
// `wl-copy` on Wayland) returning to the clip being in the store, and what a
// 10 MB copy costs the UI thread. Run it under a test harness, which starts a
// private Xvfb, or a headless sway whose data-control clipboard is then used:
//   tests/support/x11-harness.sh build-bench/bench/bench_capture
//   tests/support/wayland-harness.sh build-bench/bench/bench_capture
#include "ClipFunctions.h"
#include "ClipStore.h"
#include "Defaults.h"
#include "PasteboardMonitor.h"
#include "Settings.h"
#include "WaylandPasteboard.h"
#include "X11Pasteboard.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <memory>

namespace {

// CPU time the calling thread has used, in nanoseconds.
qint64 threadCpuNs()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Measures how long the UI thread goes without running a 1 ms timer.
struct GapProbe
{
    QElapsedTimer clock;
    QTimer ticker;
    qint64 last = 0;
    qint64 worst = 0;

    GapProbe()
    {
        ticker.setTimerType(Qt::PreciseTimer);
        ticker.setInterval(1);
        QObject::connect(&ticker, &QTimer::timeout, [this] { tick(); });
        clock.start();
    }
    void tick()
    {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last);
        last = now;
    }
    void restart()
    {
        last = clock.nsecsElapsed();
        worst = 0;
        ticker.start();
    }
};

bool onWayland()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

std::unique_ptr<Pasteboard> makePasteboard()
{
    if (onWayland())
        return std::make_unique<WaylandPasteboard>();
    return std::make_unique<X11Pasteboard>();
}

struct Rig
{
    QTemporaryDir dir { QDir::currentPath() + QStringLiteral("/bench-XXXXXX") };
    Defaults defaults { dir.filePath(QStringLiteral("settings.ini")) };
    Settings settings { defaults };
    ClipStore store { settings, dir.path() };
    std::unique_ptr<Pasteboard> pasteboardOwner = makePasteboard();
    Pasteboard &pasteboard = *pasteboardOwner;
    PasteboardMonitor monitor { pasteboard, store, settings };
    GapProbe probe;
    // The longest gap while the copy was being read: measured when the
    // contents arrive, before the monitor records them.
    qint64 readGap = -1;
    qint64 arrivedAt = 0;
    qint64 cpuAtArrival = 0;
    Rig()
    {
        settings.setMaxClipCount(100000);
        QObject::connect(&pasteboard, &Pasteboard::changed, [this] {
            readGap = std::max(probe.worst, probe.clock.nsecsElapsed() - probe.last);
            arrivedAt = probe.clock.nsecsElapsed();
            cpuAtArrival = threadCpuNs();
        });
        monitor.start();
    }
};

Rig &rig()
{
    static Rig instance;
    return instance;
}

void startCopying(QProcess &copier, const QString &inputFile = QString())
{
    copier.setStandardOutputFile(QProcess::nullDevice());
    copier.setStandardErrorFile(QProcess::nullDevice());
    if (!inputFile.isEmpty())
        copier.setStandardInputFile(inputFile);
    if (onWayland())
        copier.start(QStringLiteral("wl-copy"));
    else
        copier.start(QStringLiteral("xclip"),
            { QStringLiteral("-i"), QStringLiteral("-selection"), QStringLiteral("clipboard") });
}

// Puts text on the clipboard with xclip or wl-copy and returns once it has returned.
void copyText(const QByteArray &text)
{
    QProcess copier;
    startCopying(copier);
    copier.waitForStarted();
    copier.write(text);
    copier.closeWriteChannel();
    copier.waitForFinished();
}

bool frontIs(const QString &text)
{
    const auto &clips = rig().store.clips();
    return !clips.isEmpty() && clips.first().text == text;
}

void BM_CaptureLatency(benchmark::State &state)
{
    static int serial = 0;
    // Contents found at start are not a copy: the monitor must be watching first.
    rig();
    for (auto _ : state) {
        const QString text = QStringLiteral("capture latency sample %1").arg(++serial);
        copyText(text.toUtf8());
        QElapsedTimer timer;
        timer.start();
        while (!frontIs(text) && timer.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        if (!frontIs(text))
            state.SkipWithError("the copy was not recorded");
    }
}

// What a 10 MB copy costs the UI thread while the reader's thread reads it:
// the CPU time the UI thread used meanwhile (timer ticks included) and the
// longest stretch without a tick (which also counts waiting for a core);
// then the time taken to record it (hash, preview, store) once it arrived.
void runBigCopies(benchmark::State &state, bool probing)
{
    static int serial = 0;
    Rig &r = rig();
    QTemporaryDir dir;
    for (auto _ : state) {
        const QByteArray big = QByteArray(10 * 1000 * 1000, char(0x60 + ++serial));
        const QString input = dir.filePath(QString::number(serial));
        QFile file(input);
        file.open(QIODevice::WriteOnly);
        file.write(big);
        file.close();
        const QString hash = sha256Hex(big);
        QProcess copier;
        startCopying(copier, input);
        r.readGap = -1;
        const qint64 cpuAtStart = threadCpuNs();
        // With the probe's 1 ms timer the gaps show; without it the CPU time
        // is the read's alone.
        if (probing)
            r.probe.restart();
        QElapsedTimer clock;
        clock.start();
        auto recordedIt = [&] {
            return !r.store.clips().isEmpty() && r.store.clips().first().contentHash == hash;
        };
        // A real event loop, so that waiting costs the UI thread nothing.
        QEventLoop loop;
        QObject::connect(&r.store, &ClipStore::storeDidChange, &loop, [&] {
            if (recordedIt())
                loop.quit();
        });
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        if (!recordedIt())
            loop.exec();
        const qint64 recorded = r.probe.clock.nsecsElapsed();
        r.probe.ticker.stop();
        copier.waitForFinished();
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        if (probing)
            state.counters["read_ui_gap_ms"] = double(r.readGap) / 1e6;
        else
            state.counters["read_ui_cpu_ms"] = double(r.cpuAtArrival - cpuAtStart) / 1e6;
        state.counters["record_ms"] = double(recorded - r.arrivedAt) / 1e6;
        if (r.readGap < 0)
            state.SkipWithError("the 10 MB copy was not recorded");
    }
}

void BM_UiThreadGapsDuring10MBCopy(benchmark::State &state)
{
    runBigCopies(state, true);
}

void BM_UiThreadCpuDuring10MBCopy(benchmark::State &state)
{
    runBigCopies(state, false);
}

double p90(const std::vector<double> &values)
{
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    return sorted[std::min(sorted.size() - 1, size_t(double(sorted.size()) * 0.9))];
}

} // namespace

BENCHMARK(BM_CaptureLatency)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(50)
    ->ComputeStatistics("p90", p90)
    ->ReportAggregatesOnly()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UiThreadCpuDuring10MBCopy)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UiThreadGapsDuring10MBCopy)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
