// SPDX-License-Identifier: GPL-3.0-or-later
// Paste after choosing, black-box: from Return on a clip in the panel until
// the paste keys have reached another program. The target is a terminal
// running cat in raw mode into a file, under a name that is no terminal's,
// so that it gets Ctrl+V and writes it to the file as one byte: the file
// growing is the keys arriving. Run it in a session, as the program runs:
// tests/support/x11-harness.sh (xterm) or tests/support/wayland-harness.sh
// (headless sway, foot). The goal is a median of 50 ms or less.
#include "app/PanelController.h"
#include "app/PasteKeys.h"
#include "model/ClipFunctions.h"
#include "model/ClipStore.h"
#include "model/Settings.h"
#include "program/Program.h"
#include "ui/HistoryViewController.h"
#include "ui/Translations.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

namespace {

bool onWayland()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Runs the event loop until `done`, for at most `ms`; whether it came.
template<typename Condition> bool waitFor(Condition done, int ms = 5000)
{
    QElapsedTimer deadline;
    deadline.start();
    while (!done() && deadline.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return done();
}

void BM_ChoiceToKeysInTarget(benchmark::State &state)
{
    QTemporaryDir dir;
    Program program(
        Program::Options { dir.filePath(QStringLiteral("Quillstack.conf")), dir.path() });
    AppDelegate &app = program.app();
    PasteKeys &keys = program.pasteKeys();
    if (!keys.unavailableReason().isEmpty()) {
        state.SkipWithError(qPrintable(keys.unavailableReason()));
        return;
    }
    ClipContent content;
    content.text = QStringLiteral("bench");
    content.preview = *content.text;
    content.byteSize = content.text->size();
    content.contentHash = sha256Hex(content.text->toUtf8());
    app.store().add(content);
    app.settings().setPasteAfterChoosing(true);
    app.applicationDidFinishLaunching();

    const QString file = dir.filePath(QStringLiteral("typed"));
    const QString shell = QStringLiteral("stty raw -echo; exec cat > '%1'").arg(file);
    QProcess target;
    if (onWayland())
        target.start(QStringLiteral("foot"),
            { QStringLiteral("--app-id=qs-bench"), QStringLiteral("sh"), QStringLiteral("-c"),
                shell });
    else
        target.start(QStringLiteral("xterm"),
            { QStringLiteral("-class"), QStringLiteral("QsBench"), QStringLiteral("-e"),
                QStringLiteral("sh"), QStringLiteral("-c"), shell });
    const auto targetHasKeyboard = [&] {
        const std::optional<PasteKeys::Focus> focus = keys.keyboardFocus();
        return focus && !focus->ours;
    };
    if (!waitFor([&] { return QFileInfo::exists(file); }, 20000)
        || !waitFor(targetHasKeyboard, 10000)) {
        state.SkipWithError("the target did not start or get the keyboard");
        return;
    }
    int missed = 0;
    for (auto _ : state) {
        app.toggleFromShortcut(ListMode::all);
        // On X11 the panel takes the keyboard; on Wayland it runs offscreen.
        if (!onWayland())
            waitFor([&] {
                const std::optional<PasteKeys::Focus> focus = keys.keyboardFocus();
                return focus && focus->ours;
            });
        const qint64 before = QFileInfo(file).size();
        QElapsedTimer timer;
        timer.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(app.panel().history()->searchField(), &press);
        if (!waitFor([&] { return QFileInfo(file).size() > before; }, 2000))
            ++missed;
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
    state.counters["missed"] = missed;
    target.kill();
    target.waitForFinished();
}

double percentile90(const std::vector<double> &values)
{
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    return sorted.empty() ? 0 : sorted[std::min(sorted.size() - 1, sorted.size() * 9 / 10)];
}

BENCHMARK(BM_ChoiceToKeysInTarget)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(41)
    ->ComputeStatistics("p90", percentile90)
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
