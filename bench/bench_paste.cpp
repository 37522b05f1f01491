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
#include <vector>

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
    int panelMissed = 0;
    std::vector<double> samples;
    for (auto _ : state) {
        app.toggleFromShortcut(ListMode::all);
        // The panel has the keyboard, so the keys wait for the target to get it back.
        if (!waitFor([&] {
                const std::optional<PasteKeys::Focus> focus = keys.keyboardFocus();
                return focus && focus->ours;
            }))
            ++panelMissed;
        const qint64 before = QFileInfo(file).size();
        QElapsedTimer timer;
        timer.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(app.panel().history()->searchField(), &press);
        if (!waitFor([&] { return QFileInfo(file).size() > before; }, 2000))
            ++missed;
        samples.push_back(double(timer.nsecsElapsed()) / 1e6);
        state.SetIterationTime(samples.back() / 1e3);
    }
    // One program and one target for all the choices: the median and the
    // 90th percentile of the choices, in milliseconds.
    std::sort(samples.begin(), samples.end());
    state.counters["median_ms"] = samples[samples.size() / 2];
    state.counters["p90_ms"] = samples[std::min(samples.size() - 1, samples.size() * 9 / 10)];
    state.counters["missed"] = missed;
    state.counters["panelMissed"] = panelMissed;
    target.kill();
    target.waitForFinished();
}

BENCHMARK(BM_ChoiceToKeysInTarget)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(41);

} // namespace

int main(int argc, char **argv)
{
    // As the program runs: on X11, or on XWayland in a Wayland session.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    installTranslations(app);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
