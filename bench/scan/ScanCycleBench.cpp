// One scan cycle's own work (report reading, removal, rebuild, grid writes, the repaint) with
// the tool run replaced by a prepared report, for 1,000, 10,000 and 100,000 sessions,
// unchanged and with 5% of the sessions replaced, and at 10,000 sessions with the Prometheus
// metrics on as well (fed by the cycle, served on loopback, scraped once a second); the
// reading of a report alone, parsed in full, repeating the last reading as a cycle reads an
// unchanged one, or changed by 5% from it; and the history lines a 5% change at 10,000
// sessions writes.
// Run: QT_QPA_PLATFORM=offscreen build/bench/scan/scan_bench
// (the memory of a 100,000 case on its own: --benchmark_filter='sessions:100000/changed%:5').
// A shared machine's speed may swing by half from one minute to the next. For ratios between
// cases, run them interleaved and compare the medians:
//   --benchmark_repetitions=6 --benchmark_enable_random_interleaving=true
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "ScanBenchSupport.h"
#include "app/Timestamp.h"
#include "controls/GridCtrl.h"
#include "metrics/MetricsEndpoint.h"
#include "metrics/MonitorMetrics.h"
#include "scan/HistoryLog.h"
#include "scan/ScanEngine.h"

namespace {

// "VmRSS" (resident now) or "VmHWM" (the peak) of this process.
long ResidentKb(const char* field = "VmRSS:") {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray key(field);
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(key.size()).trimmed().split(' ').first().toLong();
    return 0;
}

// A free loopback port: the kernel picks one for a socket that is then closed.
quint16 FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(fd);
    return ntohs(a.sin_port);
}

// Asks for /metrics once a second, as a Prometheus server with a one-second scrape interval.
class Scraper {
public:
    explicit Scraper(quint16 port)
        : m_thread([this, port] {
              while (!m_stop) {
                  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
                  sockaddr_in a{};
                  a.sin_family = AF_INET;
                  a.sin_port = htons(port);
                  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
                      const char request[] = "GET /metrics HTTP/1.0\r\n\r\n";
                      if (::write(fd, request, sizeof request - 1) > 0) {
                          char buffer[4096];
                          while (::read(fd, buffer, sizeof buffer) > 0) {
                          }
                      }
                  }
                  ::close(fd);
                  for (int i = 0; i < 100 && !m_stop; ++i)
                      std::this_thread::sleep_for(std::chrono::milliseconds(10));
              }
          }) {}
    ~Scraper() {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

void BM_ScanCycle(benchmark::State& state) {
    const int sessions = static_cast<int>(state.range(0));
    const int changedPercent = static_cast<int>(state.range(1));
    const bool metricsOn = state.range(2) != 0;
    QTemporaryDir dir;
    SilentPrompter prompter;
    FixedClock clock;
    ReportLauncher launcher(prompter, QDir(dir.path()).filePath(QStringLiteral("QusList.log")));
    HistoryLog history(clock, dir.path());
    history.Start(true);
    CGridCtrl grid;
    grid.resize(1200, 600);
    grid.show();
    ScanEngine engine(grid.Model(), &grid, launcher, history, clock, prompter, dir.path());
    ScanSettings s;
    s.broker = QStringLiteral("B");
    s.adminUserId = QStringLiteral("U");
    s.adminPassword = QStringLiteral("P");
    engine.SetSettings(s);
    MonitorMetrics metrics;
    MetricsEndpoint endpoint;
    std::unique_ptr<Scraper> scraper;
    if (metricsOn) {
        const quint16 port = FreePort();
        QString error;
        if (!endpoint.Start({QStringLiteral("127.0.0.1"), port}, metrics.Registry(), error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        metrics.Watch(engine, history);
        scraper = std::make_unique<Scraper>(port);
    }

    // Prepared reports, so building them is not measured. As in the monitor, each run lists
    // its own session under the run's new process id: an unchanged report differs from the
    // last one in that line.
    const int generations = changedPercent ? 4 : 2;
    for (int g = 0; g < generations; ++g) {
        const QByteArray pid = QByteArray::number(1001 + g);  // below every client's
        launcher.Prepare(g, MakeReport(sessions, g, changedPercent, 0, pid),
                         QString::fromLatin1(pid));
    }
    engine.StartScanning();  // the first cycle adds everything
    int generation = 0;
    for (auto _ : state) {
        generation = (generation + 1) % generations;
        launcher.Use(generation);
        benchmark::DoNotOptimize(engine.RunScanCycle());
    }
    state.counters["sessions_shown"] = engine.MatrixMap().GetCount();
    state.counters["rss_MB"] = static_cast<double>(ResidentKb()) / 1024.0;
    state.counters["peak_MB"] = static_cast<double>(ResidentKb("VmHWM:")) / 1024.0;
}

BENCHMARK(BM_ScanCycle)
    ->ArgNames({"sessions", "changed%", "metrics"})
    ->Args({1000, 0, 0})
    ->Args({1000, 5, 0})
    ->Args({10000, 0, 0})
    ->Args({10000, 0, 1})
    ->Args({10000, 5, 0})
    ->Args({10000, 5, 1})
    ->Args({100000, 0, 0})
    ->Args({100000, 5, 0})
    ->Unit(benchmark::kMillisecond);

// The history lines of a 5% change at 10,000 sessions, as the cycle writes them: 500
// sessions gone, each line with the time it is written, and 500 new, with their login time,
// while the file is held open.
void BM_HistoryLines(benchmark::State& state) {
    QTemporaryDir dir;
    FixedClock clock;
    HistoryLog history(clock, dir.path());
    history.Start(true);
    const QString tag[2] = {QString::fromLatin1(HistoryLog::kDelTag),
                            QString::fromLatin1(HistoryLog::kAddTag)};
    for (auto _ : state) {
        const HistoryLog::Hold lines(history);
        for (int i = 0; i < state.range(0); ++i)
            history.WriteHistoryLine(HistoryLog::SessionLine(
                tag[i % 2], QString::number(100000 + i), QStringLiteral("USER42"),
                QStringLiteral("PC42"),
                i % 2 ? QStringLiteral("2017/11/02 09:00:00") : CurrentTimestamp(clock)));
    }
}
BENCHMARK(BM_HistoryLines)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {
// Reading a report into a map that holds the records of the last one: parsed in full, or,
// as a scan cycle reads an unchanged report, with what the last reading recalls.
void BM_ReadReport(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("QusList.log"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(MakeReport(static_cast<int>(state.range(0)), 0, 0));
    f.close();
    CMapStrToLoginObj map;
    UserListReport::Recall recall;
    UserListReport::Recall* const repeated = state.range(1) ? &recall : nullptr;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            UserListReport::Read(path, {}, QStringLiteral("1"), 20171102, map, repeated));
    state.SetBytesProcessed(state.iterations() * f.size());
}
BENCHMARK(BM_ReadReport)
    ->ArgNames({"sessions", "repeated"})
    ->Args({10000, 0})
    ->Args({100000, 0})
    ->Args({10000, 1})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond);

// Reading, as a cycle does, reports that each differ from the last in 5% of the sessions.
void BM_ReadChangedReport(benchmark::State& state) {
    const int sessions = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("QusList.log"));
    const QByteArray reports[2] = {MakeReport(sessions, 0, 5), MakeReport(sessions, 1, 5)};
    for (int g = 0; g < 2; ++g) {
        QFile f(path + QString::number(g));
        f.open(QIODevice::WriteOnly);
        f.write(reports[g]);
    }
    CMapStrToLoginObj map;
    UserListReport::Recall recall;
    int g = 0;
    for (auto _ : state) {
        g = 1 - g;
        benchmark::DoNotOptimize(UserListReport::Read(path + QString::number(g), {},
                                                      QStringLiteral("1"), 20171102, map, &recall));
    }
    state.SetBytesProcessed(state.iterations() * reports[0].size());
}
BENCHMARK(BM_ReadChangedReport)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
}  // namespace
