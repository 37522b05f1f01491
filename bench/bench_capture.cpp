// SPDX-License-Identifier: GPL-3.0-or-later
// Capture on a real display server: from the copying program (`xclip`, or
// `wl-copy` on Wayland) returning to the clip being in the store, and what a
// big copy (10 MB of text or HTML, a 6000x4000 bitmap) costs the UI thread.
// Run it under a test harness, which starts a private Xvfb, or a headless
// sway whose data-control clipboard is then used, or a headless GNOME Shell
// with our companion, where xclip copies under Xwayland:
//   tests/support/x11-harness.sh build-bench/bench/bench_capture
//   tests/support/wayland-harness.sh build-bench/bench/bench_capture
// bench/capture-latency runs the latency under every desktop and compares.

#include "app/SessionBus.h"
#include "model/ClipFunctions.h"
#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "model/Settings.h"
#include "pasteboard/PasteboardMonitor.h"
#include "platform/wayland/GnomeShellBus.h"
#include "platform/wayland/GnomeShellPasteboard.h"
#include "platform/wayland/WaylandPasteboard.h"
#include "platform/x11/X11Pasteboard.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

namespace {

// CPU time the calling thread has used, in nanoseconds.
qint64 threadCpuNs()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Time the calling thread has spent runnable but waiting for a core, in
// nanoseconds (the kernel's schedstat): the part of a timer gap that the
// machine's load causes rather than work of ours.
qint64 threadRunDelayNs()
{
    QFile stat(QStringLiteral("/proc/thread-self/schedstat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() : 0;
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

// GNOME's headless seat has no keyboard: Wayland programs cannot copy
// there, so copies come from X11 programs and reach us through the companion.
bool onGnome()
{
    return GnomeShellBus::isGnomeWayland();
}

bool onWayland()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && !onGnome();
}

std::unique_ptr<Pasteboard> makePasteboard()
{
    // The companion answers only the holder of the program's name.
    if (onGnome()
        && SessionBus::claimServiceName(QDBusConnection::sessionBus())
            == SessionBus::Claim::claimed) {
        std::fprintf(stderr, "capture through the GNOME Shell companion\n");
        return std::make_unique<GnomeShellPasteboard>();
    }
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
    Rig()
    {
        settings.setMaxClipCount(100000);
        // Room for the 6000x4000 bitmap as offered.
        settings.setMaxClipBytes(200 * 1000 * 1000);
        settings.setMaxTotalBytes(0);
        monitor.start();
    }
};

Rig &rig()
{
    static Rig instance;
    return instance;
}

void startCopying(
    QProcess &copier, const QString &inputFile = QString(), const QString &type = QString())
{
    copier.setStandardOutputFile(QProcess::nullDevice());
    copier.setStandardErrorFile(QProcess::nullDevice());
    if (!inputFile.isEmpty())
        copier.setStandardInputFile(inputFile);
    QStringList arguments;
    if (onWayland()) {
        if (!type.isEmpty())
            arguments << QStringLiteral("--type") << type;
        copier.start(QStringLiteral("wl-copy"), arguments);
        return;
    }
    arguments << QStringLiteral("-i") << QStringLiteral("-selection")
              << QStringLiteral("clipboard");
    if (!type.isEmpty())
        arguments << QStringLiteral("-t") << type;
    copier.start(QStringLiteral("xclip"), arguments);
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

// Writes a copy's bytes to a file for xclip to offer.
QString writeInput(const QTemporaryDir &dir, const QByteArray &bytes)
{
    static int serial = 0;
    const QString path = dir.filePath(QString::number(++serial));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

enum class BigKind { text, html, bmp };

// A big copy of each kind, different every time so that none is a duplicate.
QByteArray bigCopy(BigKind kind, const QString &type, int serial)
{
    switch (kind) {
    case BigKind::text:
        return QByteArray(10 * 1000 * 1000, char(0x60 + serial % 26));
    case BigKind::html: {
        QByteArray html = "<html><body>";
        const QByteArray row = "<p>Quarterly <b>figures</b> for <i>region "
            + QByteArray::number(serial)
            + "</i>, <a href=\"https://example.org\">details</a></p>\n";
        while (html.size() < 10 * 1000 * 1000)
            html += row;
        return html + "</body></html>";
    }
    case BigKind::bmp: {
        // A screenshot-like picture: flat areas and some detail.
        QImage image(6000, 4000, QImage::Format_RGB888);
        image.fill(QColor(0xee, 0xee, 0xf0));
        QPainter painter(&image);
        for (int i = 0; i < 60; ++i)
            painter.fillRect(QRect((i * 97 + serial * 13) % 5800, (i * 61) % 3900, 180, 90),
                QColor::fromHsv(i * 6, 120, 200));
        painter.end();
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "BMP");
        Q_UNUSED(type);
        return buffer.data();
    }
    }
    return {};
}

// What a big copy costs the UI thread, from xclip starting until the clip is
// in the store: the UI thread's CPU time (measured without the probe, whose
// own ticks would count), or the longest stretch the UI thread went without
// running a 1 ms timer (which also counts waiting for one of the cores; how
// long it waited in all is given beside it).
void runBigCopies(benchmark::State &state, BigKind kind, const QString &type, bool probing)
{
    static int serial = 0;
    Rig &r = rig();
    QTemporaryDir dir;
    for (auto _ : state) {
        state.PauseTiming();
        const QString input = writeInput(dir, bigCopy(kind, type, ++serial));
        const qsizetype countBefore = r.store.clips().size();
        const QUuid frontBefore = countBefore ? r.store.clips().first().id : QUuid();
        state.ResumeTiming();
        QProcess copier;
        startCopying(copier, input, type);
        const qint64 cpuAtStart = threadCpuNs();
        const qint64 waitAtStart = threadRunDelayNs();
        if (probing)
            r.probe.restart();
        QElapsedTimer clock;
        clock.start();
        auto recordedIt = [&] {
            return !r.store.clips().isEmpty() && r.store.clips().first().id != frontBefore;
        };
        // A real event loop, so that waiting costs the UI thread nothing.
        QEventLoop loop;
        QObject::connect(&r.store, &ClipStore::storeDidChange, &loop, [&] {
            if (recordedIt())
                loop.quit();
        });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        if (!recordedIt())
            loop.exec();
        const qint64 cpu = threadCpuNs() - cpuAtStart;
        const qint64 waited = threadRunDelayNs() - waitAtStart;
        const qint64 recorded = r.probe.clock.nsecsElapsed();
        const qint64 worstGap = std::max(r.probe.worst, recorded - r.probe.last);
        r.probe.ticker.stop();
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        if (probing) {
            state.counters["ui_gap_ms"] = double(worstGap) / 1e6;
            state.counters["ui_waiting_for_cpu_ms"] = double(waited) / 1e6;
        } else
            state.counters["ui_cpu_ms"] = double(cpu) / 1e6;
        double load[1] = { 0 };
        if (getloadavg(load, 1) == 1)
            state.counters["loadavg"] = load[0];
        copier.kill();
        copier.waitForFinished();
        if (!recordedIt())
            state.SkipWithError("the copy was not recorded");
    }
}

void BM_UiThreadCpu_10MBText(benchmark::State &state)
{
    runBigCopies(state, BigKind::text, QString(), false);
}
void BM_UiThreadGaps_10MBText(benchmark::State &state)
{
    runBigCopies(state, BigKind::text, QString(), true);
}
void BM_UiThreadCpu_10MBHtml(benchmark::State &state)
{
    runBigCopies(state, BigKind::html, QStringLiteral("text/html"), false);
}
void BM_UiThreadGaps_10MBHtml(benchmark::State &state)
{
    runBigCopies(state, BigKind::html, QStringLiteral("text/html"), true);
}
void BM_UiThreadCpu_6000x4000Bmp(benchmark::State &state)
{
    runBigCopies(state, BigKind::bmp, QStringLiteral("image/bmp"), false);
}
void BM_UiThreadGaps_6000x4000Bmp(benchmark::State &state)
{
    runBigCopies(state, BigKind::bmp, QStringLiteral("image/bmp"), true);
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
BENCHMARK(BM_UiThreadCpu_10MBText)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UiThreadGaps_10MBText)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UiThreadCpu_10MBHtml)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UiThreadGaps_10MBHtml)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UiThreadCpu_6000x4000Bmp)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UiThreadGaps_6000x4000Bmp)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // Which clipboard the figures are for, beside them in the report.
    std::string clipboard = "X11";
    if (const auto *wayland = dynamic_cast<const WaylandPasteboard *>(&rig().pasteboard))
        clipboard = wayland->protocolName().toStdString();
    else if (dynamic_cast<const GnomeShellPasteboard *>(&rig().pasteboard))
        clipboard = "GNOME Shell companion";
    benchmark::AddCustomContext("clipboard", clipboard);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
