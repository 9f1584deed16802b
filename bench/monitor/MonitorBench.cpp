// The monitor's own costs on a large matrix: a scan cycle with the real presentation (the
// reset with headings, font and options before every rebuild, and a flash per new session),
// the Find marks, and a font change that sizes every row and column.
// Run: QT_QPA_PLATFORM=offscreen build/bench/monitor/monitor_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/SettingsKeys.h"
#include "controls/GridCtrl.h"
#include "exec/CommandLauncher.h"
#include "monitor/MatrixPresentation.h"
#include "platform/Clock.h"
#include "platform/Prompter.h"
#include "platform/SettingsStore.h"
#include "scan/HistoryLog.h"
#include "scan/ScanEngine.h"

namespace {

class SilentPrompter : public Prompter {
public:
    void Warning(const QString&) override {}
    void Information(const QString&) override {}
    void Plain(const QString&) override {}
};

class FixedClock : public Clock {
public:
    QDateTime Now() const override { return QDateTime(QDate(2017, 11, 2), QTime(12, 0)); }
    void Sleep(int) override {}
};

// Writes the current report in place of the users-listing tool.
class ReportLauncher : public CommandLauncher {
public:
    ReportLauncher(Prompter& p, QString path) : CommandLauncher(p), m_path(std::move(path)) {}
    void SetReport(QByteArray report) { m_report = std::move(report); }
    LaunchOutcome Run(const LaunchRequest&) override {
        QFile f(m_path);
        if (f.open(QIODevice::WriteOnly)) f.write(m_report);
        return {0, QStringLiteral("1"), 0};
    }

private:
    QString m_path;
    QByteArray m_report;
};

// `sessions` sessions; in each generation the first `changedPercent` % are new ones.
QByteArray Report(int sessions, int generation, int changedPercent) {
    QByteArray out =
        "QUSLIST\n\nNumber of active users defined in the database: 5000\n\n"
        "User Id          Client                       Logged on since\n"
        "------------------------------------------------------------------------\n";
    const int changed = sessions * changedPercent / 100;
    for (int i = 0; i < sessions; ++i) {
        const int pid = i < changed ? 100000 + generation * sessions + i : 10000 + i;
        const int minute = i % (24 * 60);
        out += "user" + QByteArray::number(i % 5000) + "  TCP:01PC" + QByteArray::number(i % 700) +
               "/" + QByteArray::number(pid) + "  2017/11/0" + (i % 10 ? "2 " : "1 ") +
               QByteArray::number(minute / 60).rightJustified(2, '0') + ":" +
               QByteArray::number(minute % 60).rightJustified(2, '0') + ":00\n";
    }
    out += "QUSLIST has been executed successfully.\n";
    return out;
}

// A monitor without its window: the grid shown at the window's size, the real presentation.
struct Monitor {
    explicit Monitor(int sessions)
        : store(QDir(dir.path()).filePath(QStringLiteral("profile.ini"))),
          launcher(prompter, QDir(dir.path()).filePath(QStringLiteral("QusList.log"))),
          history(clock, dir.path()),
          presentation(grid, settings),
          engine(grid, launcher, history, clock, prompter, dir.path()) {
        history.Start(true);
        grid.resize(1090, 600);
        grid.show();
        engine.SetPresenter(&presentation);
        ScanSettings s;
        s.broker = QStringLiteral("B");
        s.adminUserId = QStringLiteral("U");
        s.adminPassword = QStringLiteral("P");
        engine.SetSettings(s);
        launcher.SetReport(Report(sessions, 0, 0));
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

void BM_CycleWithPresentation(benchmark::State& state) {
    const int sessions = static_cast<int>(state.range(0));
    const int changedPercent = static_cast<int>(state.range(1));
    Monitor m(sessions);
    QList<QByteArray> reports;
    for (int g = 0; g < 4; ++g) reports.append(Report(sessions, g, changedPercent));
    int generation = 0;
    for (auto _ : state) {
        state.PauseTiming();
        generation = (generation + 1) % static_cast<int>(reports.size());
        m.launcher.SetReport(changedPercent ? reports[generation] : reports[0]);
        state.ResumeTiming();
        benchmark::DoNotOptimize(m.engine.RunScanCycle());
        // The flashes and the repaint the user sees.
        QCoreApplication::processEvents();
    }
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

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
