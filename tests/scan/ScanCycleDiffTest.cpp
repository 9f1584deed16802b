#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <map>

#include "FakeClock.h"
#include "RecordingPrompter.h"
#include "ScreenGrab.h"
#include "ScanTestSupport.h"
#include "scan/HistoryLog.h"
#include "scan/ScanEngine.h"
#include "scan/UserListReport.h"

// A scan cycle writes only what changed in the grid. These tests hold it to what a cycle that
// empties the grid and rebuilds the whole matrix shows: the same cells, colours, history
// lines, status texts, counts and effects after every cycle of long random report sequences.
namespace {

// Records the transient effects and stores the lasting colours, as the window does.
class PaintingPresenter : public MatrixPresenter {
public:
    explicit PaintingPresenter(CGridCtrl& grid) : m_grid(grid) {}

    void ResetMatrixGrid() override { MatrixLayout::ResetToHeadings(m_grid.Model()); }
    void NewEntryFlash(int row, int col) override { Record("flash", row, col); }
    void StaleColours(int row, int col) override { Paint(row, col, 0xE0FFFF, 0xDC96C8); }
    void ErrorBlink(int row, int col) override { Record("errorblink", row, col); }
    void WatchedBlink(int row, int col) override { Record("watchblink", row, col); }
    void WatchedHighlight(int row, int col) override { Paint(row, col, 0x91A0F5, 0xFFFFFF); }
    void ErrorHighlight(int row, int col) override { Paint(row, col, 0x9664FA, 0xFFFFFF); }

    QStringList effects;

private:
    void Record(const char* kind, int row, int col) {
        effects.append(QStringLiteral("%1 %2,%3 %4")
                           .arg(QLatin1String(kind))
                           .arg(row)
                           .arg(col)
                           .arg(m_grid.GetItemText(row, col)));
    }
    void Paint(int row, int col, GridColour bk, GridColour fg) {
        for (int k = 0; k < MatrixLayout::kGroupWidth; ++k) {
            m_grid.SetItemBkColour(row, col + k, bk);
            m_grid.SetItemFgColour(row, col + k, fg);
        }
        m_grid.RedrawRow(row);
    }
    CGridCtrl& m_grid;
};

// One monitor: engine, grid, history and tool stand-in in a directory of its own.
struct Monitor {
    explicit Monitor(FakeClock& clock) : clock(clock) {
        history.Start(true);
        engine.SetPresenter(&presenter);
        ScanSettings s;
        s.broker = QStringLiteral("TESBKR01");
        s.adminUserId = QStringLiteral("admin");
        s.adminPassword = QStringLiteral("pw");
        engine.SetSettings(s);
        engine.SetAddressLookup([](const QString& name) { return name + QStringLiteral("@x"); });
        engine.SetAlertHook([this](int tries) { alerts.append(tries); });
        launcher.SetDefault({0, true, MakeReport({})});
    }

    // History written since the last call (the whole file again after a day's roll-over).
    QByteArray NewHistory() {
        QByteArray all = ReadAll(history.Path());
        if (all.size() < historySeen) historySeen = 0;
        const QByteArray fresh = all.mid(historySeen);
        historySeen = all.size();
        return fresh;
    }

    QByteArray AllHistory() const {
        QByteArray out;
        const QDir d(dir.path());
        for (const QString& name : d.entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name))
            if (name != QLatin1String("QusList.log"))
                out += name.toUtf8() + '\n' + ReadAll(d.filePath(name));
        return out;
    }

    FakeClock& clock;
    QTemporaryDir dir;
    RecordingPrompter prompter;
    ScriptedLauncher launcher{prompter, dir.path()};
    HistoryLog history{clock, dir.path()};
    CGridCtrl grid;
    PaintingPresenter presenter{grid};
    ScanEngine engine{grid.Model(), &grid, launcher, history, clock, prompter, dir.path()};
    QList<int> alerts;
    qsizetype historySeen = 0;
};

// A map's records in key order, every field.
std::map<QString, QString> Sessions(const CMapStrToLoginObj& map) {
    std::map<QString, QString> out;
    for (const auto& [key, rec] : map)
        out[key] = QStringList{rec.Pid,    rec.UserId, rec.Machine,       rec.DateTime,
                               rec.Status, rec.Email,  rec.ReportedUserId}
                       .join(QLatin1Char('|'));
    return out;
}

// Everything the user can see of the matrix, cell by cell, with the status texts.
QStringList Observable(Monitor& m) {
    QStringList out;
    const CGridCtrl& g = m.grid;
    out.append(QStringLiteral("rows %1 cols %2").arg(g.GetRowCount()).arg(g.GetColumnCount()));
    for (int r = 0; r < g.GetRowCount(); ++r)
        for (int c = 0; c < g.GetColumnCount(); ++c)
            out.append(QStringLiteral("%1,%2 [%3] %4 %5/%6 %7")
                           .arg(r)
                           .arg(c)
                           .arg(g.GetItemText(r, c))
                           .arg(g.GetItemFormat(r, c))
                           .arg(g.GetItemBkColour(r, c))
                           .arg(g.GetItemFgColour(r, c))
                           .arg(g.GetItemState(r, c)));
    for (ScanStatus s :
         {ScanStatus::SessionCount, ScanStatus::Scanner, ScanStatus::DatabaseUsers,
          ScanStatus::WatchedPid, ScanStatus::WatchedUser, ScanStatus::WatchedMachine,
          ScanStatus::WatchedDateTime, ScanStatus::WatchCaption})
        out.append(m.engine.Status(s));
    out.append(QStringLiteral("failures %1 alerts %2 entry cursor %3")
                   .arg(m.engine.ContigFailCount())
                   .arg(m.alerts.size())
                   .arg(m.engine.EntryCursor()));
    for (const auto& [key, text] : Sessions(m.engine.MatrixMap()))
        out.append(key + QLatin1String(" = ") + text);
    out += m.presenter.effects;
    m.presenter.effects.clear();
    out += m.prompter.Texts();
    m.prompter.shown.clear();
    return out;
}

// The Broker's sessions, changed at random from cycle to cycle.
class ReportGenerator {
public:
    explicit ReportGenerator(quint32 seed) : m_rng(seed) {}

    // The next tool run: mostly a report of the current sessions, sometimes a failure.
    ScriptedLauncher::Step Next(const QDateTime& now) {
        // Each run has a process id of its own, now and then one a client has too.
        const QString runPid = Pick(15) == 0 && !m_sessions.empty()
                                   ? m_sessions.begin()->second.pid
                                   : QString::number(4242 + Pick(4));
        const int roll = Pick(100);
        if (roll < 3) return {-9, false, {}, runPid};  // tool timed out
        if (roll < 5) return {0, false, {}, runPid};   // no report
        if (roll < 7) return {0, true, "Could not connect to Broker TESBKR01: refused\n", runPid};
        if (roll < 9) return {0, true, "QUSLIST\nInvalid login for admin\n", runPid};
        if (roll < 10) return {0, true, MakeReport({}), runPid};  // nobody logged on
        if (roll < 45) Change(now);                              // else: unchanged
        QList<Session> list;
        for (const auto& [key, s] : m_sessions) list.append(s);
        if (Pick(10) == 0) list.append({"admin", "QVHOST", runPid, Stamp(now)});  // the tool's own
        if (Pick(30) == 0 && !list.isEmpty()) {
            // A session listed twice, the second time with another user.
            Session twice = list[Pick(static_cast<int>(list.size()))];
            twice.user += QStringLiteral("b");
            list.insert(Pick(static_cast<int>(list.size()) + 1), twice);
        }
        if (Pick(30) == 0)  // the Broker lists its sessions in another order
            for (qsizetype i = list.size() - 1; i > 0; --i)
                list.swapItemsAt(i, Pick(static_cast<int>(i) + 1));
        return {0, true, MakeReport(list, 40 + Pick(3)), runPid};
    }

private:
    int Pick(int n) { return static_cast<int>(m_rng.bounded(n)); }
    static QString Stamp(const QDateTime& t) {
        return t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    }

    void Change(const QDateTime& now) {
        const int logOns = Pick(Pick(20) == 0 ? 12 : 3);
        for (int i = 0; i < logOns; ++i) {
            Session s;
            s.user = QStringLiteral("user%1").arg(Pick(12));
            if (Pick(8) == 0) s.user = s.user.toUpper();
            if (Pick(10) == 0) s.user = QStringLiteral("jürgen%1").arg(Pick(3));
            s.machine = QStringLiteral("pc%1").arg(Pick(15));  // the same user on several machines
            s.pid = QString::number(m_nextPid++);
            // Now and then a process id that differs from another only in case.
            if (Pick(25) == 0) s.pid = Pick(2) ? QStringLiteral("a7f") : QStringLiteral("A7F");
            QDateTime when = now.addSecs(-Pick(600));
            if (Pick(6) == 0) when = when.addDays(-1 - Pick(2));  // stale from the start
            // Equal times: the key decides the order.
            if (Pick(5) == 0) when = QDateTime(now.date(), QTime(8, 0));
            s.when = Stamp(when);
            // Now and then a time stamp of another shape: short, without a time, or cut so
            // that the day runs on into the time.
            if (Pick(40) == 0) {
                const QString day = when.toString(QStringLiteral("yyyy/M/d"));
                const QString odd[] = {when.toString(QStringLiteral("yy/MM/dd HH:mm")),
                                       when.toString(QStringLiteral("yyyy/MM/dd")),
                                       day.left(6) + QLatin1Char(' ') + day.mid(6) +
                                           when.toString(QStringLiteral(":HH:mm:ss"))};
                s.when = odd[Pick(3)];
            }
            m_sessions[(s.machine.toUpper() + QLatin1Char('/') + s.pid)] = s;
        }
        const int logOffs = m_sessions.empty() ? 0 : Pick(Pick(20) == 0 ? 10 : 3);
        for (int i = 0; i < logOffs && !m_sessions.empty(); ++i) {
            auto it = m_sessions.begin();
            std::advance(it, Pick(static_cast<int>(m_sessions.size())));
            m_sessions.erase(it);
        }
    }

    QRandomGenerator m_rng;
    std::map<QString, Session> m_sessions;
    int m_nextPid = 1000;
};

int CyclesToRun() {
    const int byHand = qEnvironmentVariableIntValue("QV_SCAN_DIFF_CYCLES");
    return byHand > 0 ? byHand : 3000;
}

TEST(ScanCycleDiffTest, EveryCycleShowsWhatAFullRebuildShows) {
    FakeClock clock{QDateTime(QDate(2017, 11, 2), QTime(8, 0))};
    Monitor subject(clock);
    // The reference empties its grid on every cycle: a grid changed since the last rebuild
    // is never written over.
    Monitor reference(clock);
    const quint32 seed =
        qEnvironmentVariableIsSet("QV_SCAN_DIFF_SEED")
            ? static_cast<quint32>(qEnvironmentVariableIntValue("QV_SCAN_DIFF_SEED"))
            : 20171102u;
    ReportGenerator reports(seed);
    QRandomGenerator user(seed + 1);

    // The subject is shown: what its window shows after each cycle must be what a full
    // repaint would show, though a cycle repaints only the rows it changed.
    subject.grid.resize(700, 260);
    subject.grid.show();

    subject.engine.StartScanning();
    reference.engine.StartScanning();
    const int cycles = CyclesToRun();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        clock.Advance(1000 * (10 + user.bounded(50)));
        const ScriptedLauncher::Step step = reports.Next(clock.Now());
        subject.launcher.Push(step);
        reference.launcher.Push(step);

        // What a user does between cycles, on both windows alike.
        const int action = static_cast<int>(user.bounded(40));
        for (Monitor* m : {&subject, &reference}) {
            const int rows = m->grid.GetRowCount();
            if (action == 0 && rows > 1) m->grid.SetFocusCell(1 + (cycle % (rows - 1)), cycle % 12);
            if (action == 1 && rows > 2) {  // as a heading click sorts
                m->grid.SortTextItems(cycle % 12, cycle % 2 == 0);
                m->grid.viewport()->update();
            }
            if (action == 2) m->presenter.WatchedHighlight(1, 0);
        }
        reference.grid.SetItemData(0, 0, cycle);  // touched: the next cycle starts afresh

        const int a = subject.engine.RunScanCycle();
        const int b = reference.engine.RunScanCycle();
        ASSERT_EQ(a, b) << "cycle " << cycle;
        // The sessions the cycle read, taken over from the last reading where its lines
        // repeat, are those of the report read afresh.
        const QString report = QDir(subject.dir.path()).filePath(QStringLiteral("QusList.log"));
        if (QFile::exists(report)) {
            CMapStrToLoginObj fresh;
            UserListReport::Read(report, subject.engine.Settings().filters,
                                 subject.engine.OwnSessionPid(), subject.engine.TodayNumber(),
                                 fresh);
            ASSERT_EQ(Sessions(subject.engine.ScanMap()), Sessions(fresh)) << "cycle " << cycle;
        }
        ASSERT_EQ(subject.NewHistory(), reference.NewHistory()) << "cycle " << cycle;
        // A cycle that read its report leaves the look-up indices as the grid's entries give
        // them. (One that did not may leave them behind a heading sort, to be mended when a
        // look-up finds an entry moved.)
        if (a == 1) {
            ASSERT_TRUE(subject.engine.IndexMatchesGrid()) << "cycle " << cycle;
        }
        if (cycle % 3 == 0) {  // a picture left stale stays so until it is repainted
            QCoreApplication::processEvents();
            ASSERT_TRUE(ScreenShowsWidget(subject.grid.viewport())) << "cycle " << cycle;
        }
        const QStringList seen = Observable(subject);
        const QStringList expected = Observable(reference);
        if (seen != expected) {
            for (qsizetype i = 0; i < std::min(seen.size(), expected.size()); ++i)
                ASSERT_EQ(seen[i], expected[i]) << "cycle " << cycle << ", line " << i;
            ASSERT_EQ(seen.size(), expected.size()) << "cycle " << cycle;
        }
    }
    EXPECT_EQ(subject.AllHistory(), reference.AllHistory());
    EXPECT_GT(subject.engine.MatrixMap().GetCount(), 0);
}

// An unchanged report leaves the grid alone: no cell written, no repaint asked for.
TEST(ScanCycleDiffTest, UnchangedCycleWritesNoCellAndRepaintsNothing) {
    FakeClock clock{QDateTime(QDate(2017, 11, 2), QTime(9, 30))};
    Monitor m(clock);
    QList<Session> sessions;
    for (int i = 0; i < 40; ++i)
        sessions.append({QStringLiteral("user%1").arg(i), QStringLiteral("PC%1").arg(i % 7),
                         QString::number(100 + i),
                         QStringLiteral("2017/11/0%1 09:%2:00")
                             .arg(i % 5 ? 2 : 1)
                             .arg(i % 60, 2, 10, QLatin1Char('0'))});
    m.launcher.SetDefault({0, true, MakeReport(sessions)});
    m.grid.resize(800, 400);
    m.grid.show();
    m.engine.StartScanning();
    m.engine.RunScanCycle();  // the stale sessions as the last rebuild painted them
    QCoreApplication::processEvents();
    m.presenter.effects.clear();  // the first cycle's flashes
    const QStringList before = Observable(m);
    m.NewHistory();

    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint || e->type() == QEvent::UpdateRequest) ++paints;
            return false;
        }
    } counter;
    m.grid.viewport()->installEventFilter(&counter);
    m.grid.installEventFilter(&counter);
    const quint64 changes = m.grid.ChangeCount();
    for (int i = 0; i < 3; ++i) {
        clock.Advance(10000);
        EXPECT_EQ(m.engine.RunScanCycle(), 1);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(m.grid.ChangeCount(), changes) << "a grid cell was written";
    EXPECT_EQ(counter.paints, 0) << "a repaint was asked for";
    EXPECT_TRUE(m.NewHistory().isEmpty());
    EXPECT_EQ(Observable(m), before);

    // A click in between: the next cycle lays the matrix out afresh, as always.
    m.grid.SetFocusCell(1, 1);
    m.engine.RunScanCycle();
    EXPECT_NE(m.grid.ChangeCount(), changes);
    EXPECT_EQ(m.grid.GetFocusCell(), CCellID()) << "the rebuild drops the focus";
}

}  // namespace

// An entry the scanner writes outside a rebuild (a failure) is on the screen as soon as the
// cycle ends, not only once something else repaints the grid.
TEST(ScanCycleDiffTest, FailureEntriesReachTheScreenAtOnce) {
    FakeClock clock{QDateTime(QDate(2017, 11, 2), QTime(9, 30))};
    Monitor m(clock);
    m.launcher.SetDefault(
        {0, true, MakeReport({{"user1", "PC1", "101", "2017/11/02 09:00:00"}})});
    m.grid.resize(800, 300);
    m.grid.show();
    m.engine.StartScanning();
    QCoreApplication::processEvents();
    ASSERT_TRUE(ScreenShowsWidget(m.grid.viewport()));

    const ScriptedLauncher::Step failures[] = {
        {-9, false, {}},  // the tool timed out
        {0, true, "Could not connect to Broker TESBKR01: refused\n"},
        {0, true, "QUSLIST\nInvalid login for admin\n"},
    };
    for (const ScriptedLauncher::Step& failure : failures) {
        m.launcher.Push(failure);
        m.engine.RunScanCycle();
        QCoreApplication::processEvents();
        EXPECT_TRUE(ScreenShowsWidget(m.grid.viewport())) << failure.report.toStdString();
    }
    // Beside the session on the first row: no new row made the grid repaint everything.
    EXPECT_EQ(m.grid.GetItemText(1, 4), QStringLiteral("Error"));
    EXPECT_EQ(m.grid.GetItemText(1, 8), QStringLiteral("Error"));
}
