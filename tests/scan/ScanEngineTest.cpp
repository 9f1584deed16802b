#include <gtest/gtest.h>

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <memory>

#include "FakeClock.h"
#include "RecordingPrompter.h"
#include "ScanTestSupport.h"
#include "scan/HistoryLog.h"
#include "scan/ScanEngine.h"

namespace {

const QString kToday = QStringLiteral("2017/11/02");

class ScanEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        history.Start(true);
        engine.SetPresenter(&presenter);
        ScanSettings s;
        s.broker = QStringLiteral("TESBKR01");
        s.adminUserId = QStringLiteral("admin");
        s.adminPassword = QStringLiteral("pass word");
        engine.SetSettings(s);
        engine.SetAddressLookup([this](const QString& name) {
            lookups.append(name);
            return addresses.value(name);
        });
        engine.SetAlertHook([this](int tries) { alerts.append(tries); });
        // Unless a test says otherwise the tool lists no sessions.
        launcher.SetDefault({0, true, MakeReport({})});
    }

    QStringList HistoryLines() const {
        const QString text = QString::fromUtf8(ReadAll(history.Path()));
        QStringList lines = text.split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
        return lines;
    }
    QStringList NewHistoryLines() {
        const QStringList all = HistoryLines();
        const QStringList fresh = all.mid(seenLines);
        seenLines = static_cast<int>(all.size());
        return fresh;
    }
    int Cycle(const QByteArray& report) {
        launcher.PushReport(report);
        return engine.RunScanCycle();
    }
    QString Now() const { return clock.Now().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")); }

    QTemporaryDir dir;
    FakeClock clock{QDateTime(QDate(2017, 11, 2), QTime(9, 30, 0))};
    RecordingPrompter prompter;
    ScriptedLauncher launcher{prompter, dir.path()};
    HistoryLog history{clock, dir.path()};
    CGridCtrl grid;
    RecordingPresenter presenter{grid};
    ScanEngine engine{grid.Model(), &grid, launcher, history, clock, prompter, dir.path()};
    QHash<QString, QString> addresses;
    QStringList lookups;
    QList<int> alerts;
    int seenLines = 0;
};

TEST_F(ScanEngineTest, SessionsFillThreePerRowInLoginOrderWithAddLines) {
    engine.StartScanning();
    EXPECT_TRUE(engine.ScanEnabled());
    const QList<Session> sessions{
        {"dave", "PC4", "400", "2017/11/02 09:04:00"},
        {"alice", "pc1", "100", "2017/11/02 09:01:00"},
        {"carol", "PC3", "300", "2017/11/02 09:03:00"},
        {"bob", "PC2", "200", "2017/11/02 09:02:00"},
        {"erin", "PC5", "500", "2017/11/02 09:05:00"},
    };
    EXPECT_EQ(Cycle(MakeReport(sessions)), 1);
    EXPECT_EQ(launcher.commands.last(),
              QStringLiteral("quslist -b TESBKR01 -usr admin -pw \"pass word\" -cu"));

    ASSERT_EQ(grid.GetRowCount(), 3);
    EXPECT_EQ(Entry(grid, 1, 0), (QStringList{"100", "ALICE", "PC1", "2017/11/02 09:01:00"}));
    EXPECT_EQ(Entry(grid, 1, 1), (QStringList{"200", "BOB", "PC2", "2017/11/02 09:02:00"}));
    EXPECT_EQ(Entry(grid, 1, 2), (QStringList{"300", "CAROL", "PC3", "2017/11/02 09:03:00"}));
    EXPECT_EQ(Entry(grid, 2, 0), (QStringList{"400", "DAVE", "PC4", "2017/11/02 09:04:00"}));
    EXPECT_EQ(Entry(grid, 2, 1), (QStringList{"500", "ERIN", "PC5", "2017/11/02 09:05:00"}));
    EXPECT_EQ(Entry(grid, 2, 2), (QStringList{"", "", "", ""}));
    EXPECT_EQ(grid.GetItemText(0, 4), QStringLiteral(" PID  "));
    EXPECT_EQ(grid.GetItemText(0, 11), QStringLiteral("   DateTime  "));

    EXPECT_EQ(NewHistoryLines(),
              (QStringList{
                  "ADD : 100        ALICE                PC1                  2017/11/02 09:01:00",
                  "ADD : 200        BOB                  PC2                  2017/11/02 09:02:00",
                  "ADD : 300        CAROL                PC3                  2017/11/02 09:03:00",
                  "ADD : 400        DAVE                 PC4                  2017/11/02 09:04:00",
                  "ADD : 500        ERIN                 PC5                  2017/11/02 09:05:00"}));
    EXPECT_EQ(presenter.Of(QStringLiteral("flash")), (QStringList{"100", "200", "300", "400", "500"}));
    EXPECT_EQ(engine.Status(ScanStatus::SessionCount), QStringLiteral("5"));
    EXPECT_EQ(engine.Status(ScanStatus::DatabaseUsers),
              QStringLiteral("Nbr of Active Users in\nthe Database: 42"));
    EXPECT_EQ(engine.Status(ScanStatus::Scanner), QStringLiteral("\nScanning"));
    EXPECT_TRUE(engine.Scanning());

    // The same report again: nothing logged, nothing flashed, the same matrix.
    presenter.effects.clear();
    EXPECT_EQ(Cycle(MakeReport(sessions)), 1);
    EXPECT_TRUE(NewHistoryLines().isEmpty());
    EXPECT_TRUE(presenter.effects.isEmpty());
    EXPECT_EQ(Entry(grid, 2, 1), (QStringList{"500", "ERIN", "PC5", "2017/11/02 09:05:00"}));
    EXPECT_EQ(engine.Status(ScanStatus::SessionCount), QStringLiteral("5"));
}

TEST_F(ScanEngineTest, DepartedSessionLogsOneDelLineAndDisappears) {
    engine.StartScanning();
    Cycle(MakeReport({{"alice", "PC1", "100", "2017/11/02 09:01:00"},
                      {"bob", "PC2", "200", "2017/11/02 09:02:00"},
                      {"old", "PC9", "900", "2017/11/01 23:00:00"}}));
    NewHistoryLines();
    presenter.effects.clear();
    clock.Advance(10000);
    Cycle(MakeReport({{"bob", "PC2", "200", "2017/11/02 09:02:00"}}));
    EXPECT_EQ(NewHistoryLines(),
              (QStringList{
                  "DEL : 100        ALICE                PC1                  " + Now(),
                  "DEL : 900        OLD                  PC9                  " + Now()}));
    // Only the session that was not stale blinks on its way out.
    EXPECT_EQ(presenter.Of(QStringLiteral("errorblink")), (QStringList{"100", "100"}))
        << "a double blink";
    EXPECT_EQ(Entry(grid, 1, 0), (QStringList{"200", "BOB", "PC2", "2017/11/02 09:02:00"}));
    EXPECT_EQ(grid.GetItemText(1, 4), QString());
    EXPECT_EQ(engine.MatrixMap().GetCount(), 1);
    EXPECT_EQ(engine.Status(ScanStatus::SessionCount), QStringLiteral("1"));
}

TEST_F(ScanEngineTest, BrokerDownGivesAFailureEntryUntilItAnswersAgain) {
    engine.StartScanning();
    Cycle(MakeReport({{"alice", "PC1", "100", "2017/11/02 09:01:00"}}));
    NewHistoryLines();

    EXPECT_EQ(Cycle("QUSLIST\nTESBKR01: COULD NOT CONNECT TO BROKER\n"), 0);
    EXPECT_EQ(Entry(grid, 1, 1), (QStringList{"Error", "TESBKR01", "Fail Broker Connect", Now()}));
    EXPECT_EQ(NewHistoryLines(),
              QStringList{"REC : Error      TESBKR01             Fail Broker Connect  " + Now()});
    EXPECT_EQ(engine.ContigFailCount(), 1);
    EXPECT_TRUE(engine.ErrorBlinkRunning());
    EXPECT_TRUE(engine.Scanning()) << "a failed cycle still resumes the scanner";
    EXPECT_EQ(Entry(grid, 1, 0)[0], QStringLiteral("100")) << "nothing removed on failure";

    // The tool could not run at all.
    launcher.Push({CommandLauncher::kTimedOut, false, {}});
    EXPECT_EQ(engine.RunScanCycle(), 0);
    EXPECT_EQ(Entry(grid, 1, 2), (QStringList{"Error", "Broker", "Failed to Respond", Now()}));
    EXPECT_EQ(engine.ContigFailCount(), 2);
    NewHistoryLines();

    clock.Advance(60000);
    Cycle(MakeReport({{"alice", "PC1", "100", "2017/11/02 09:01:00"}}));
    EXPECT_EQ(NewHistoryLines(),
              (QStringList{
                  "DEL : Error      TESBKR01             Fail Broker Connect  " + Now(),
                  "DEL : Error      Broker               Failed to Respond    " + Now()}));
    EXPECT_EQ(engine.ContigFailCount(), 0);
    EXPECT_EQ(Entry(grid, 1, 1), (QStringList{"", "", "", ""}));
    engine.BlinkErrorEntries();
    EXPECT_FALSE(engine.ErrorBlinkActive());
}

TEST_F(ScanEngineTest, RefusedCredentialsAreShownButNotCounted) {
    engine.StartScanning();
    EXPECT_EQ(Cycle("QUSLIST\nInvalid user id or password\n"), 0);
    EXPECT_EQ(Entry(grid, 1, 0), (QStringList{"Error", "Broker", "Invalid Credentials", Now()}));
    EXPECT_EQ(engine.ContigFailCount(), 0);
}

TEST_F(ScanEngineTest, MissingReportCountsAsNoAnswerAndScanningGoesOn) {
    engine.StartScanning();
    launcher.Push({0, false, {}});
    EXPECT_EQ(engine.RunScanCycle(), 0);
    EXPECT_EQ(Entry(grid, 1, 0), (QStringList{"Error", "Broker", "Failed to Respond", Now()}));
    EXPECT_EQ(engine.ContigFailCount(), 1);
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_TRUE(engine.Scanning());
}

TEST_F(ScanEngineTest, SixthContiguousFailureRaisesTheAlertAndCountingGoesOn) {
    engine.StartScanning();
    launcher.SetDefault({CommandLauncher::kNotFound, false, {}});
    for (int i = 1; i <= 5; ++i) engine.RunScanCycle();
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(engine.ContigFailCount(), 5);
    engine.RunScanCycle();
    EXPECT_EQ(alerts, QList<int>{6});
    EXPECT_EQ(engine.ContigFailCount(), 0);
    for (int i = 7; i <= 12; ++i) engine.RunScanCycle();
    EXPECT_EQ(alerts, (QList<int>{6, 6}));

    // A success in between starts the count again; a lowered limit is met by equality only.
    launcher.SetDefault({0, true, MakeReport({{"a", "M", "1", "2017/11/02 09:00:00"}})});
    engine.RunScanCycle();
    launcher.SetDefault({CommandLauncher::kNotFound, false, {}});
    for (int i = 0; i < 4; ++i) engine.RunScanCycle();
    engine.SetContigFailLimit(3);
    engine.RunScanCycle();
    EXPECT_EQ(alerts, (QList<int>{6, 6})) << "count 5 has passed the limit of 3";
}

TEST_F(ScanEngineTest, AlertStartingANewCycleCountsThatCycleAfresh) {
    engine.StartScanning();
    launcher.SetDefault({CommandLauncher::kNotFound, false, {}});
    engine.SetAlertHook([this](int tries) {
        alerts.append(tries);
        engine.PauseScanner();
        engine.RunScanCycle();  // what the alert mail does when it is done
    });
    for (int i = 0; i < 6; ++i) engine.RunScanCycle();
    EXPECT_EQ(alerts, QList<int>{6});
    EXPECT_EQ(engine.ContigFailCount(), 1);
    for (int i = 0; i < 5; ++i) engine.RunScanCycle();
    EXPECT_EQ(alerts, (QList<int>{6, 6})) << "the twelfth failure alerts again";
    EXPECT_TRUE(engine.Scanning());
}

TEST_F(ScanEngineTest, SessionTurnsStaleAfterMidnight) {
    engine.StartScanning();
    const QByteArray report = MakeReport({{"night", "PC1", "100", "2017/11/02 23:00:00"}});
    Cycle(report);
    EXPECT_TRUE(presenter.Of(QStringLiteral("stale")).isEmpty());
    NewHistoryLines();
    clock.Set(QDateTime(QDate(2017, 11, 3), QTime(0, 0, 10)));
    Cycle(report);
    EXPECT_EQ(presenter.Of(QStringLiteral("stale")), QStringList{"100"});
    EXPECT_TRUE(NewHistoryLines().isEmpty());
    LoginRecord shown;
    ASSERT_TRUE(engine.MatrixMap().Lookup(QStringLiteral("PC1/100"), shown));
    EXPECT_EQ(shown.Status, QStringLiteral("Stale"));
}

TEST_F(ScanEngineTest, FiltersDropOwnRunStaleAndKeepTheRest) {
    engine.StartScanning();
    const QByteArray report = MakeReport({{"admin", "HOST", "4242", "2017/11/02 09:00:00"},
                                          {"old", "PC1", "100", "2017/11/01 09:00:00"},
                                          {"new", "PC2", "200", "2017/11/02 09:00:00"}});
    Cycle(report);
    EXPECT_EQ(engine.OwnSessionPid(), QStringLiteral("4242"));
    EXPECT_FALSE(engine.MatrixMap().Contains(QStringLiteral("HOST/4242")));
    EXPECT_TRUE(engine.MatrixMap().Contains(QStringLiteral("PC1/100")));

    ScanSettings s = engine.Settings();
    s.filters = {true, false, true};
    engine.SetSettings(s);
    Cycle(report);
    EXPECT_TRUE(engine.MatrixMap().Contains(QStringLiteral("HOST/4242")));
    EXPECT_FALSE(engine.MatrixMap().Contains(QStringLiteral("PC1/100")));
    EXPECT_TRUE(engine.MatrixMap().Contains(QStringLiteral("PC2/200")));
}

TEST_F(ScanEngineTest, OneAddressLookupPerNewUser) {
    addresses.insert(QStringLiteral("alice"), QStringLiteral("alice@example.com"));
    engine.StartScanning();
    Cycle(MakeReport({{"alice", "PC1", "100", "2017/11/02 09:01:00"},
                      {"alice", "PC2", "101", "2017/11/02 09:02:00"},
                      {"ghost", "PC3", "300", "2017/11/02 09:03:00"},
                      {"ghost", "PC4", "301", "2017/11/02 09:04:00"}}));
    lookups.sort();
    EXPECT_EQ(lookups, (QStringList{"alice", "ghost"}));
    LoginRecord r;
    ASSERT_TRUE(engine.MatrixMap().Lookup(QStringLiteral("PC2/101"), r));
    EXPECT_EQ(r.Email, QStringLiteral("alice@example.com"));
    ASSERT_TRUE(engine.MatrixMap().Lookup(QStringLiteral("PC4/301"), r));
    EXPECT_EQ(r.Email, QString());

    // A further session of a known user takes the address without a lookup.
    lookups.clear();
    Cycle(MakeReport({{"alice", "PC1", "100", "2017/11/02 09:01:00"},
                      {"alice", "PC2", "101", "2017/11/02 09:02:00"},
                      {"alice", "PC5", "500", "2017/11/02 09:05:00"}}));
    EXPECT_TRUE(lookups.isEmpty());
    ASSERT_TRUE(engine.MatrixMap().Lookup(QStringLiteral("PC5/500"), r));
    EXPECT_EQ(r.Email, QStringLiteral("alice@example.com"));
}

TEST_F(ScanEngineTest, ReportTextNeverForgesOrSplitsHistoryLines) {
    engine.StartScanning();
    const Session forger{"bob_MN=FAKE_DT=1999/01/01_00:00:00", "PC2", "200", "2017/11/02 09:02:00"};
    const Session zeros{"carl", "PC7", "0000", "2017/11/02 09:07:00"};
    const Session controls{"e\x0b\x0cve\rx", "PC8", "800", "2017/11/02 09:08:00"};
    Cycle(MakeReport({forger, zeros, controls}));
    const QString mark(QChar(HistoryLog::kPlaceholder));
    EXPECT_EQ(NewHistoryLines(),
              (QStringList{
                  "ADD : 200        BOB_MN=FAKE_DT=1999/ PC2                  2017/11/02 09:02:00",
                  "ADD : 0000       CARL                 PC7                  2017/11/02 09:07:00",
                  "ADD : 800        E" + mark + mark + "VE" + mark +
                      "X              PC8                  2017/11/02 09:08:00"}));

    // A session with pid 0000 is an ordinary one: shown again, nothing logged.
    Cycle(MakeReport({forger, zeros, controls}));
    EXPECT_EQ(NewHistoryLines(), QStringList{});

    clock.Advance(10000);
    EXPECT_EQ(Cycle("QUSLIST\nTESBKR01 NAME=ROOT MN=FAKE: COULD NOT CONNECT TO BROKER\n"), 0);
    Cycle(MakeReport({zeros}));
    EXPECT_EQ(NewHistoryLines(),
              (QStringList{"REC : Error      TESBKR01 NAME=ROOT M Fail Broker Connect  " + Now(),
                           "DEL : Error      TESBKR01 NAME=ROOT M Fail Broker Connect  " + Now(),
                           "DEL : 200        BOB_MN=FAKE_DT=1999/ PC2                  " + Now(),
                           "DEL : 800        E" + mark + mark + "VE" + mark +
                               "X              PC8                  " + Now()}));
}

TEST_F(ScanEngineTest, WatchedUserLogOnAndLogOff) {
    engine.StartScanning();
    engine.SetTraceActive(true);
    engine.SetLogLevel(QStringLiteral("5"));
    engine.SetStatus(ScanStatus::WatchedPid, QStringLiteral("0000 \tLog Level 5"));
    engine.SetStatus(ScanStatus::WatchedUser, QStringLiteral("ALICE"));
    engine.SetStatus(ScanStatus::WatchedMachine, QStringLiteral("PC1"));
    engine.ApplyEvent(EventText::AddPlaceholder(QStringLiteral("0000"), QStringLiteral("ALICE"),
                                                QStringLiteral("PC1")));
    NewHistoryLines();

    Cycle(MakeReport({{"alice", "PC1", "100", "2017/11/02 09:01:00"}}));
    const QStringList on = NewHistoryLines();
    EXPECT_EQ(on.size(), 3);  // the placeholder removed, the session added, logging ON
    EXPECT_TRUE(on.contains(
        "REC : 100        ALICE                PC1                  2017/11/02 09:01:00   - vantrace ON 5"));
    EXPECT_EQ(engine.Status(ScanStatus::WatchCaption), QStringLiteral("Vantrace Logging ON"));
    EXPECT_EQ(engine.Status(ScanStatus::WatchedPid), QStringLiteral("100 \tLog Level 5"));
    EXPECT_TRUE(engine.WatchBlinkRunning());
    EXPECT_FALSE(engine.MatrixMap().Contains(QStringLiteral("PC1/0000")));

    Cycle(MakeReport({}));  // only the success line: nothing compared
    Cycle(MakeReport({{"bob", "PC2", "200", "2017/11/02 09:05:00"}}));
    const QStringList off = NewHistoryLines();
    EXPECT_TRUE(off.contains(
        "REC : 100        ALICE                PC1                  2017/11/02 09:01:00   - vantrace PAUSED"));
    EXPECT_EQ(engine.Status(ScanStatus::WatchCaption), QStringLiteral("Vantrace Logging PAUSED"));
}

TEST_F(ScanEngineTest, PlaceholderLeavesOnceLoggingIsOff) {
    engine.StartScanning();
    engine.ApplyEvent(QStringLiteral("EXE=ADD PID=0000 NAME=VANTRACE MN=_ALL_LOGGING_5"));
    NewHistoryLines();
    Cycle(MakeReport({{"bob", "PC2", "200", "2017/11/02 09:05:00"}}));
    const QStringList lines = NewHistoryLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.first().startsWith(
        "DEL : 0000       VANTRACE             _ALL_LOGGING_5       " + Now()));
    EXPECT_FALSE(engine.MatrixMap().Contains(QStringLiteral("_ALL_LOGGING_5/0000")));
}

TEST_F(ScanEngineTest, EntriesAreFoundAfterTheRowsWereSorted) {
    engine.StartScanning();
    Cycle(MakeReport({{"a", "M1", "1", "2017/11/02 09:01:00"},
                      {"b", "M2", "2", "2017/11/02 09:02:00"},
                      {"c", "M3", "3", "2017/11/02 09:03:00"},
                      {"d", "M4", "4", "2017/11/02 09:04:00"},
                      {"e", "M5", "5", "2017/11/02 09:05:00"},
                      {"f", "M6", "6", "2017/11/02 09:06:00"},
                      {"g", "M7", "7", "2017/11/02 09:07:00"}}));
    grid.SortTextItems(0, false);  // a heading click moves whole rows
    int row = 0;
    int col = 0;
    ASSERT_TRUE(engine.FindSessionEntry(QStringLiteral("7"), QStringLiteral("m7"), row, col));
    EXPECT_EQ(grid.GetItemText(row, col), QStringLiteral("7"));
    ASSERT_TRUE(engine.FindEntryByPid(QStringLiteral("2"), row, col));
    EXPECT_EQ(grid.GetItemText(row, col + 2), QStringLiteral("M2"));
    EXPECT_FALSE(engine.FindSessionEntry(QStringLiteral("7"), QStringLiteral("M1"), row, col));
}

TEST_F(ScanEngineTest, GarbageReportsNeverCorruptTheMatrix) {
    engine.StartScanning();
    QRandomGenerator rng(1234);
    for (int round = 0; round < 30; ++round) {
        QByteArray report = MakeReport({{"keep", "PC1", "100", "2017/11/02 09:01:00"}});
        const int at = rng.bounded(static_cast<int>(report.size()));
        QByteArray junk;
        for (int i = rng.bounded(1, 3000); i > 0; --i) junk.append(static_cast<char>(rng.bounded(256)));
        report.insert(at, junk);
        if (rng.bounded(4) == 0) report.truncate(rng.bounded(static_cast<int>(report.size())));
        Cycle(report);
        for (const auto& [key, rec] : engine.MatrixMap()) {
            EXPECT_FALSE(rec.Pid.isEmpty());
            EXPECT_FALSE(rec.Machine.isEmpty());
        }
        for (int r = 1; r < grid.GetRowCount(); ++r)
            for (int g = 0; g < 3; ++g) {
                const QStringList e = Entry(grid, r, g);
                if (e[0].isEmpty()) continue;
                EXPECT_FALSE(e[2].isEmpty() && e[0] != QStringLiteral("Error")) << e.join('|').toStdString();
            }
    }
}

TEST_F(ScanEngineTest, StartScanningAsksForSettingsWhenIncomplete) {
    ScanSettings s;
    engine.SetSettings(s);
    int asked = 0;
    QObject::connect(&engine, &ScanEngine::SettingsNeeded, [&] { ++asked; });
    engine.StartScanning();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(engine.ScanEnabled());
    EXPECT_TRUE(launcher.commands.isEmpty());
    EXPECT_EQ(engine.Status(ScanStatus::Scanner), QStringLiteral("Scanner\nPaused"));

    s.broker = QStringLiteral("B");
    s.adminUserId = QStringLiteral("U");
    s.adminPassword = QStringLiteral("P");
    s.interval = 0;
    engine.SetSettings(s);
    engine.StartScanning();
    EXPECT_EQ(asked, 2) << "no interval is as incomplete as no broker";
}

TEST_F(ScanEngineTest, OnAndOffDriveTheScanner) {
    engine.StartScanning();
    launcher.SetDefault({0, true, MakeReport({})});
    engine.Off();
    EXPECT_FALSE(engine.ScanEnabled());
    EXPECT_FALSE(engine.Scanning());
    EXPECT_EQ(engine.Status(ScanStatus::Scanner), QStringLiteral("Scanner\nPaused"));
    EXPECT_EQ(engine.RunScanCycle(), 0);
    const qsizetype runs = launcher.commands.size();
    engine.On();
    EXPECT_EQ(launcher.commands.size(), runs + 1);
    EXPECT_TRUE(engine.Scanning());
    EXPECT_EQ(engine.Status(ScanStatus::Scanner), QStringLiteral("\nScanning"));
}

}  // namespace
