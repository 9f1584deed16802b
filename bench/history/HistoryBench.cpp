// The history window over a year of history: 365 day archives and the live file, about two
// million lines written as the monitor writes them (HistoryGenerator).
//   BM_ReadYear          reading and pairing alone, without a window
//   BM_OpenYear          File > History... until the sessions are shown: the time, the longest
//                        the window's thread (which runs the scan cycles) was kept from its
//                        events meanwhile, and the memory the year takes
//   BM_Refilter          a new filter text over the whole year's sessions, shown
//   BM_Scroll            a page down through the whole year's sessions, painted
//   BM_SortSessions      sorting the whole year by a column
//   BM_NewLine           a line appended to the live file until it is shown, and the bytes read
//   BM_Reopen            the window closed and opened again until it is up to date
// Run: QT_QPA_PLATFORM=offscreen build/bench/history/history_bench
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "HistoryGenerator.h"
#include "history/HistoryBrowser.h"
#include "history/HistoryLoader.h"
#include "history/HistoryReader.h"
#include "history/HistoryTableModel.h"
#include "history/HistoryText.h"
#include "platform/Clock.h"
#include "platform/FileChooser.h"
#include "platform/Prompter.h"

namespace {

constexpr int kDays = 365;
constexpr int kSessionsPerDay = 2700;
constexpr int kWaitMs = 120000;

struct YearClock : Clock {
    QDateTime Now() const override { return QDateTime(QDate(2025, 12, 31), QTime(23, 59, 59)); }
    void Sleep(int) override {}
};
struct NoFiles : FileChooser {
    QString ChooseOpenFile(QWidget*, const QString&, const QString&, const QString&, const QString&,
                           bool) override {
        return {};
    }
};
struct NoBoxes : Prompter {
    void Warning(const QString&) override {}
    void Information(const QString&) override {}
    void Plain(const QString&) override {}
};

double RssMb() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096 / (1 << 20) : 0;
}

// The highest resident size since ResetPeak() (VmHWM), in MB.
double PeakMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ')[0].toDouble() / 1024;
    return 0;
}
void ResetPeak() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly)) refs.write("5");
}

// The year, written once for all benchmarks.
QString YearDir() {
    static QTemporaryDir dir;
    static const bool written = [] {
        const HistoryGenerator::Totals t =
            HistoryGenerator::Write(dir.path(), kDays, kSessionsPerDay);
        std::printf("history: %lld lines, %.0f MB in %d files\n", (long long)t.lines,
                    t.bytes / 1048576.0, t.files);
        malloc_trim(0);
        return true;
    }();
    (void)written;
    return dir.path();
}

// Runs the event loop until `done`, and tells the longest time the loop was kept from a
// 1-millisecond timer meanwhile.
qint64 RunLoopUntil(const std::function<bool()>& done, qint64* longestStallMs) {
    QElapsedTimer since;
    since.start();
    qint64 last = 0;
    qint64 longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = since.nsecsElapsed() / 1000;
        longest = std::max(longest, now - last);
        last = now;
    });
    tick.start(1);
    while (!done()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const qint64 now = since.nsecsElapsed() / 1000;
    longest = std::max(longest, now - last);
    if (longestStallMs) *longestStallMs = longest;  // microseconds
    return since.elapsed();
}

struct Window {
    YearClock clock;
    NoFiles files;
    NoBoxes boxes;
    HistoryBrowser browser{YearDir(), clock, files, boxes};
    QTableView* sessions = browser.findChild<QTableView*>(QStringLiteral("historySessions"));

    bool Ready() { return browser.Idle() && browser.SessionsModel().Snapshot(); }
    void Open(qint64* stallUs = nullptr, qint64* ms = nullptr) {
        browser.Open();
        const qint64 t = RunLoopUntil([this] { return Ready(); }, stallUs);
        if (ms) *ms = t;
    }
};

// One window for the benchmarks that use a loaded year.
Window& Loaded() {
    static std::unique_ptr<Window> w;
    if (!w) {
        w = std::make_unique<Window>();
        w->Open();
        w->browser.ShowWholeHistory();
    }
    return *w;
}

void BM_ReadYear(benchmark::State& state) {
    const QString dir = YearDir();
    double memory = 0;
    for (auto _ : state) {
        malloc_trim(0);
        const double before = RssMb();
        HistoryReader reader(dir);
        const HistorySnapshot snap = reader.Update();
        state.counters["lines"] = snap.eventCount;
        state.counters["sessions"] = snap.SessionCount();
        state.counters["MB_read"] = snap.bytesRead / 1048576.0;
        memory = std::max(memory, RssMb() - before);
        state.counters["MB_memory"] = memory;
    }
}
BENCHMARK(BM_ReadYear)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_OpenYear(benchmark::State& state) {
    YearDir();
    double memory = 0;
    double stall = 0;
    double peak = 0;
    for (auto _ : state) {
        malloc_trim(0);
        ResetPeak();
        const double before = RssMb();
        qint64 stallUs = 0;
        qint64 ms = 0;
        auto w = std::make_unique<Window>();
        w->Open(&stallUs, &ms);
        state.SetIterationTime(ms / 1000.0);
        stall = std::max(stall, stallUs / 1000.0);
        memory = std::max(memory, RssMb() - before);
        peak = std::max(peak, PeakMb() - before);
        state.counters["longest_stall_ms"] = stall;
        state.counters["MB_peak"] = peak;
        state.counters["MB_memory"] = memory;
        state.counters["sessions"] = w->browser.SessionsModel().TotalRows();
    }
}
BENCHMARK(BM_OpenYear)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// From an empty filter to a user id, a time, two words; and back to all of the year.
void BM_Refilter(benchmark::State& state) {
    Window& w = Loaded();
    auto* filter = w.browser.findChild<QLineEdit*>(QStringLiteral("historyFilter"));
    const QStringList texts{QStringLiteral("user0042"), QStringLiteral("10:1"),
                            QStringLiteral("pc0 still"), QString()};
    const QString text = texts[state.range(0)];
    for (auto _ : state) {
        state.PauseTiming();
        filter->setText(text.isEmpty() ? QStringLiteral("x") : QString());
        state.ResumeTiming();
        filter->setText(text);
        w.sessions->viewport()->repaint();
    }
    state.counters["rows_shown"] = w.browser.SessionsModel().rowCount();
    state.counters["sessions"] = w.browser.SessionsModel().TotalRows();
    filter->clear();
}
BENCHMARK(BM_Refilter)->Unit(benchmark::kMillisecond)->DenseRange(0, 3)->Iterations(10);

void BM_Scroll(benchmark::State& state) {
    Window& w = Loaded();
    QScrollBar* bar = w.sessions->verticalScrollBar();
    int at = 0;
    for (auto _ : state) {
        at = (at + bar->pageStep()) % std::max(1, bar->maximum());
        bar->setValue(at);
        w.sessions->viewport()->repaint();
    }
    state.counters["rows_shown"] = w.browser.SessionsModel().rowCount();
}
BENCHMARK(BM_Scroll)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_SortSessions(benchmark::State& state) {
    Window& w = Loaded();
    int column = 0;
    for (auto _ : state) {
        w.sessions->sortByColumn(column, Qt::AscendingOrder);
        w.sessions->viewport()->repaint();
        column = (column + 1) % HistoryText::SessionColumns;
    }
    w.sessions->sortByColumn(HistoryText::LoggedOn, Qt::AscendingOrder);
}
BENCHMARK(BM_SortSessions)->Unit(benchmark::kMillisecond)->Iterations(14);

void BM_NewLine(benchmark::State& state) {
    Window& w = Loaded();
    const QByteArray line =
        HistoryLog::SessionLine(QString::fromLatin1(HistoryLog::kDelTag), QStringLiteral("1"),
                                QStringLiteral("X"), QStringLiteral("PC"),
                                QStringLiteral("2025/12/31 23:59:59"))
            .toUtf8();
    for (auto _ : state) {
        const qint64 before = w.browser.Loader().Latest()->bytesRead;
        QFile live(YearDir() + QStringLiteral("/QuorvatelHistory.log"));
        live.open(QIODevice::Append);
        live.write(line);
        live.close();
        QElapsedTimer t;
        t.start();
        w.browser.Loader().Refresh();
        RunLoopUntil(
            [&] { return w.browser.Loader().Latest()->bytesRead > before && w.browser.Idle(); },
            nullptr);
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
        state.counters["bytes_read"] = w.browser.Loader().Latest()->bytesRead - before;
    }
}
BENCHMARK(BM_NewLine)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

void BM_Reopen(benchmark::State& state) {
    Window& w = Loaded();
    double stall = 0;
    for (auto _ : state) {
        const qint64 before = w.browser.Loader().Latest()->bytesRead;
        w.browser.close();
        qint64 ms = 0;
        qint64 stallUs = 0;
        w.Open(&stallUs, &ms);
        state.SetIterationTime(ms / 1000.0);
        stall = std::max(stall, stallUs / 1000.0);
        state.counters["longest_stall_ms"] = stall;
        state.counters["bytes_read"] = w.browser.Loader().Latest()->bytesRead - before;
    }
}
BENCHMARK(BM_Reopen)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

}  // namespace
