#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "FakeClock.h"
#include "FaultTools.h"
#include "ScanTestSupport.h"
#include "SimScanFixture.h"
#include "app/SettingsKeys.h"
#include "app/TraceLog.h"
#include "mail/EmailAddressLookup.h"
#include "platform/BlockingWait.h"
#include "platform/SettingsStore.h"
#include "scan/HistoryLog.h"
#include "scan/ScanEngine.h"

// Faults around the scan: history writes that fail, tool files that cannot be replaced, a
// hanging address lookup, and input timers during a cycle.
namespace {

QStringList Lines(const QByteArray& data) {
    QStringList lines = QString::fromUtf8(data).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

TEST(HistoryFaultsTest, FailedWritesKeepWholeLinesInOrderAndAreReportedOnce) {
    QTemporaryDir dir;
    FakeClock clock{QDateTime(QDate(2017, 11, 2), QTime(9, 30, 0))};
    TraceLog::SetEnabled(true);
    const QString tracePath = dir.filePath(QStringLiteral("trace.log"));
    TraceLog trace(clock, tracePath);
    FullDiskHistory log(clock, dir.path(), &trace);
    QStringList reports;
    log.SetStatusHandler([&](const QString& problem, int waiting) {
        reports.append(problem.isEmpty() ? QStringLiteral("ok") : QString::number(waiting));
    });
    log.Start(true);
    log.WriteHistoryLine(QStringLiteral("one\n"));
    log.full = true;
    log.WriteHistoryLine(QStringLiteral("two\n"));
    log.WriteHistoryLine(QStringLiteral("three\n"));
    EXPECT_EQ(ReadAll(log.Path()), QByteArray("one\n")) << "no half line";
    EXPECT_TRUE(log.WriteFailing());
    log.FlushPending();
    log.full = false;
    // Control characters of every kind stay inside their line.
    log.WriteHistoryLine(
        QString::fromUtf8("f\rou\x0br\x0c\x00\xc2\x85x\xe2\x80\xa8y\xe2\x80\xa9z\t\n", 21));
    TraceLog::SetEnabled(false);
    const QString mark(QChar(HistoryLog::kPlaceholder));
    EXPECT_EQ(Lines(ReadAll(log.Path())),
              (QStringList{"one", "two", "three",
                           "f" + mark + "ou" + mark + "r" + mark + mark + mark + "x" + mark + "y" +
                               mark + "z" + mark}));
    EXPECT_EQ(reports, (QStringList{"1", "2", "2", "ok"}));
    EXPECT_EQ(ReadAll(tracePath).count("Failed to write"), 1);
}

// The engine against the stand-in tools, with the real address lookup.
class ScanFaultsTest : public SimScanFixture {
protected:
    void SetUp() override {
        SimScanFixture::SetUp();
        const ScanSettings& s = engine.Settings();
        lookup.SetConnection(s.broker, s.adminUserId, s.adminPassword);
        engine.SetAddressLookup([this](const QString& user) { return lookup.AddressInTime(user); });
    }
    QString Work(const char* name) const {
        return broker.WorkDir() + QLatin1Char('/') + QString::fromLatin1(name);
    }
    QString Bin() const { return broker.Root() + QStringLiteral("/bin"); }

    SettingsStore store{broker.Root() + QStringLiteral("/q.conf")};
    AppSettings appSettings{store};
    EmailAddressLookup lookup{launcher, prompter, history, appSettings, broker.WorkDir()};
};

TEST_F(ScanFaultsTest, ReportAndAnswerLeftFromEarlierRunsAreNeverReadAsCurrent) {
    broker.AddUser(QStringLiteral("alice"), QStringLiteral("alice@example.com"));
    broker.LogOn(QStringLiteral("alice"), QStringLiteral("PC1"), QStringLiteral("100"),
                 QStringLiteral("2017/11/02 09:01:00"));
    engine.StartScanning();
    ASSERT_EQ(Entry(grid, 1, 0)[0], QStringLiteral("100"));
    ASSERT_TRUE(QFile::exists(Work("QusList.log")));
    ASSERT_TRUE(WriteAll(Work("vqrystmt.dat"), "EMAIL\nold@example.com\n"));
    const QByteArray historyBefore = ReadAll(history.Path());

    // From here the tools answer nothing, and their old files cannot be removed.
    ASSERT_TRUE(WriteScript(Bin(), QStringLiteral("quslist"), "exit 0\n"));
    ASSERT_TRUE(WriteScript(Bin(), QStringLiteral("vqry"), "exit 0\n"));
    PathFirst path(Bin());
    {
        ReadOnlyDirectory readOnly(broker.WorkDir(),
                                   {QStringLiteral("QusList.log"), QStringLiteral("vqrystmt.dat")});
        if (!readOnly.Locked()) GTEST_SKIP() << "files cannot be made unremovable here";
        for (int cycle = 1; cycle <= 2; ++cycle) {
            clock.Advance(10000);
            EXPECT_EQ(engine.RunScanCycle(), 0);
            EXPECT_EQ(engine.ContigFailCount(), cycle) << "the outage is counted";
        }
        EXPECT_EQ(Entry(grid, 1, 1)[2], QStringLiteral("Failed to Respond"));
        EXPECT_EQ(engine.MatrixMap().GetCount(), 1) << "no session from the old report";
        EXPECT_TRUE(engine.Scanning());
        EXPECT_EQ(lookup.AddressOf(QStringLiteral("alice")), QString())
            << "the old answer is no address";
    }
    const QByteArray after = ReadAll(history.Path());
    EXPECT_TRUE(after.startsWith(historyBefore)) << "earlier lines unchanged";
    EXPECT_EQ(after.count("REC : Error      Broker               Failed to Respond"), 2);
    EXPECT_TRUE(ChildProcesses().isEmpty());
}

TEST_F(ScanFaultsTest, HangingLookupSkipsTheCyclesOtherLookupsAndALaterCycleCatchesUp) {
    const QString runs = broker.Root() + QStringLiteral("/vqry-runs");
    ASSERT_TRUE(WriteScript(Bin(), QStringLiteral("vqry"),
                            "echo run >> '" + runs.toLocal8Bit() + "'\nexec sleep 30\n"));
    for (const char* user : {"alice", "bob", "carol"})
        broker.AddUser(QString::fromLatin1(user), QString::fromLatin1(user) + "@example.com");
    broker.LogOn(QStringLiteral("alice"), QStringLiteral("PC1"), QStringLiteral("100"),
                 QStringLiteral("2017/11/02 09:01:00"));
    broker.LogOn(QStringLiteral("bob"), QStringLiteral("PC2"), QStringLiteral("200"),
                 QStringLiteral("2017/11/02 09:02:00"));
    broker.LogOn(QStringLiteral("carol"), QStringLiteral("PC3"), QStringLiteral("300"),
                 QStringLiteral("2017/11/02 09:03:00"));
    {
        PathFirst path(Bin());
        engine.StartScanning();
    }
    EXPECT_EQ(ReadAll(runs).count("run"), 1) << "one lookup timed out, the others waited";
    EXPECT_EQ(engine.MatrixMap().GetCount(), 3) << "the sessions are shown all the same";
    for (const auto& [key, rec] : engine.MatrixMap()) EXPECT_EQ(rec.Email, QString());
    EXPECT_TRUE(ChildProcesses().isEmpty()) << "the hanging tool was ended";

    // The database answers again: the next cycle looks the addresses up.
    engine.RunScanCycle();
    for (const auto& [key, rec] : engine.MatrixMap())
        EXPECT_EQ(rec.Email, rec.UserId.toLower() + QStringLiteral("@example.com"));
}

TEST_F(ScanFaultsTest, GridTimersWaitForTheCycle) {
    for (int i = 0; i < 30; ++i) {
        broker.AddUser(QStringLiteral("user%1").arg(i));
        broker.LogOn(QStringLiteral("user%1").arg(i), QStringLiteral("PC%1").arg(i),
                     QString::number(100 + i), QStringLiteral("2017/11/02 09:%1:00").arg(10 + i));
    }
    engine.StartScanning();
    grid.resize(400, 200);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));

    // A selection dragged out of the window keeps the auto-scroll timer running; a tool
    // that takes its time holds the cycle meanwhile.
    grid.EnsureVisible(1, 1);  // the rebuild left the view on the last session
    QRect cell;
    ASSERT_TRUE(grid.GetCellRect(1, 1, cell));
    QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseMove(grid.viewport(), QPoint(cell.center().x(), grid.viewport()->height() + 60));
    const CCellID focus = grid.GetFocusCell();
    ASSERT_TRUE(WriteScript(Bin(), QStringLiteral("quslist"), "exec sleep 30\n"));
    PathFirst path(Bin());
    bool moved = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (grid.GetFocusCell() != focus) moved = true;
    });
    probe.start(10);
    launcher.SetTimeoutMs(600);
    engine.RunScanCycle();
    probe.stop();
    EXPECT_FALSE(moved) << "the focus moved while the cycle waited";
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, cell.center());
}

}  // namespace
