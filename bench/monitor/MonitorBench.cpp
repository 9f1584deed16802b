// The monitor's own costs on a large matrix: a scan cycle with the real presentation (the
// reset with headings, font and options before every rebuild, and a flash per new session),
// the Find marks, a font change that sizes every row and column, and printing the matrix to
// a PDF file and opening its print preview; and the filter box: a changed filter text applied
// and repainted, and scan cycles while a filter is on.
// Run: QT_QPA_PLATFORM=offscreen build/bench/monitor/monitor_bench
#include <benchmark/benchmark.h>

#include <functional>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>

#include "ScanBenchSupport.h"
#include "app/SettingsKeys.h"
#include "controls/GridCtrl.h"
#include "controls/ViewPrintPreview.h"
#include "monitor/MatrixFilter.h"
#include "monitor/MatrixPresentation.h"
#include "platform/SettingsStore.h"
#include "scan/HistoryLog.h"
#include "scan/LoginRecord.h"
#include "scan/ScanEngine.h"
#include "scan/UserListReport.h"

namespace {

// A monitor without its window: the grid shown at the window's size, the real presentation.
struct Monitor {
    explicit Monitor(int sessions)
        : store(QDir(dir.path()).filePath(QStringLiteral("profile.ini"))),
          launcher(prompter,
                   QDir(dir.path()).filePath(QString::fromLatin1(UserListReport::kFileName))),
          history(clock, dir.path()),
          presentation(grid, settings),
          engine(grid.Model(), &grid, launcher, history, clock, prompter, dir.path()) {
        history.Start(true);
        grid.resize(1090, 600);
        grid.show();
        engine.SetPresenter(&presentation);
        ScanSettings s;
        s.broker = QStringLiteral("B");
        s.adminUserId = QStringLiteral("U");
        s.adminPassword = QStringLiteral("P");
        engine.SetSettings(s);
        launcher.SetReport(MakeReport(sessions, 0, 0, 10));
        engine.StartScanning();
    }
    QTemporaryDir dir;
    SettingsStore store;
    AppSettings settings{store};
    SilentPrompter prompter;
    FixedClock clock;
    ReportLauncher launcher;
    HistoryLog history;
    CGridCtrl grid;
    MatrixPresentation presentation;
    ScanEngine engine;
};

// Scan cycles over reports changed by `changed%` from one to the next, each with the flashes
// and the repaint the user sees.
// `afterCycle` runs after each cycle, before the repaint.
void RunCycles(benchmark::State& state, Monitor& m, const std::function<void()>& afterCycle = {}) {
    const int sessions = static_cast<int>(state.range(0));
    const int changedPercent = static_cast<int>(state.range(1));
    const int generations = changedPercent ? 4 : 1;
    for (int g = 0; g < generations; ++g)
        m.launcher.Prepare(g, MakeReport(sessions, g, changedPercent, 10));
    int generation = 0;
    for (auto _ : state) {
        generation = (generation + 1) % generations;
        m.launcher.Use(generation);
        benchmark::DoNotOptimize(m.engine.RunScanCycle());
        if (afterCycle) afterCycle();
        QCoreApplication::processEvents();
    }
}

void BM_CycleWithPresentation(benchmark::State& state) {
    Monitor m(static_cast<int>(state.range(0)));
    RunCycles(state, m);
    state.counters["sessions_shown"] = m.engine.MatrixMap().GetCount();
}
BENCHMARK(BM_CycleWithPresentation)
    ->ArgNames({"sessions", "changed%"})
    ->Args({1000, 5})
    ->Args({10000, 0})
    ->Args({10000, 5})
    ->Unit(benchmark::kMillisecond);

void BM_ResetMatrixGrid(benchmark::State& state) {
    Monitor m(0);
    for (auto _ : state) m.presentation.ResetMatrixGrid();
}
BENCHMARK(BM_ResetMatrixGrid)->Unit(benchmark::kMicrosecond);

void BM_FindMarks(benchmark::State& state) {
    Monitor m(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(
            m.presentation.MarkFindMatches(QStringLiteral("USER42"), 20171102));
}
BENCHMARK(BM_FindMarks)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_AdoptFont(benchmark::State& state) {
    Monitor m(static_cast<int>(state.range(0)));
    QFont fonts[2] = {QFont(QStringLiteral("DejaVu Sans")), QFont(QStringLiteral("DejaVu Serif"))};
    fonts[0].setPixelSize(12);
    fonts[1].setPixelSize(14);
    int i = 0;
    for (auto _ : state) m.presentation.AdoptFont(fonts[i++ % 2]);
}
BENCHMARK(BM_AdoptFont)->Arg(10000)->Unit(benchmark::kMillisecond);

// The whole job: every page of the matrix into a PDF file.
void BM_PrintToPdf(benchmark::State& state) {
    Monitor m(static_cast<int>(state.range(0)));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    // QV_BENCH_PDF=FILE keeps the printed matrix to look at.
    const QString kept = qEnvironmentVariable("QV_BENCH_PDF");
    printer.setOutputFileName(
        kept.isEmpty() ? QDir(m.dir.path()).filePath(QStringLiteral("matrix.pdf")) : kept);
    m.grid.PrinterDef().Capture(printer);
    for (auto _ : state) {
        if (!m.grid.Print()) state.SkipWithError("printing failed");
    }
    state.counters["pdf_kB"] =
        static_cast<double>(QFileInfo(printer.outputFileName()).size()) / 1024;
}
BENCHMARK(BM_PrintToPdf)->Arg(10000)->Unit(benchmark::kMillisecond);

// From the preview command until its first page can be shown.
void BM_PreviewFirstPage(benchmark::State& state) {
    Monitor m(static_cast<int>(state.range(0)));
    int pages = 0;
    for (auto _ : state) {
        m.grid.PrintPreview();
        state.PauseTiming();
        pages = m.grid.Preview()->PageCount();
        m.grid.Preview()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
    state.counters["pages"] = pages;
}
BENCHMARK(BM_PreviewFirstPage)->Arg(10000)->Unit(benchmark::kMillisecond);

// The filtered view over a monitor's matrix, wired as the window wires it.
struct FilteredMonitor : Monitor {
    explicit FilteredMonitor(int sessions)
        : Monitor(sessions),
          filter(grid, &host, [this](const QString& pid, const QString& machine) {
              return pid.contains(QLatin1String(kErrorPid)) ||
                     engine.IsPlaceholder(LoginRecord::MakeKey(machine, pid));
          }) {
        host.resize(grid.size());
        host.show();
        presentation.SetOverlayMirror(
            [this](int row, int col, GridColour bk, GridColour fg, int ms) {
                filter.MirrorOverlay(row, col, bk, fg, ms);
            });
    }
    QWidget host;
    MatrixFilter filter;
};

// A changed filter text at 10,000 sessions until the view is repainted, alternating two texts:
// narrow ones (1,111 and 11 entries shown), or a narrow one and one every entry matches.
void BM_FilterChange(benchmark::State& state) {
    FilteredMonitor m(10000);
    const QString texts[2][2] = {{QStringLiteral("user4"), QStringLiteral("USER42 pc1")},
                                 {QStringLiteral("user4"), QStringLiteral("2017/11")}};
    const auto& pair = texts[state.range(0)];
    int i = 0;
    for (auto _ : state) {
        m.filter.SetText(pair[i++ % 2]);
        QCoreApplication::processEvents();
    }
    state.counters["shown_last"] = m.filter.ShownSessions();
}
BENCHMARK(BM_FilterChange)->ArgName("wide")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Scan cycles as in BM_CycleWithPresentation, with "user4" typed in the filter box.
// The filter's own share is timed apart: the copy the window makes when the scan is counted.
void BM_CycleFiltered(benchmark::State& state) {
    FilteredMonitor m(static_cast<int>(state.range(0)));
    m.filter.SetText(QStringLiteral("user4"));
    QElapsedTimer refresh;
    qint64 refreshNs = 0;
    RunCycles(state, m, [&] {
        refresh.start();
        m.filter.Refresh();
        refreshNs += refresh.nsecsElapsed();
    });
    state.counters["sessions_shown"] = m.filter.ShownSessions();
    state.counters["filter_ms"] = double(refreshNs) / 1e6 / double(state.iterations());
}
BENCHMARK(BM_CycleFiltered)
    ->ArgNames({"sessions", "changed%"})
    ->Args({10000, 0})
    ->Args({10000, 5})
    ->Unit(benchmark::kMillisecond);

}  // namespace
