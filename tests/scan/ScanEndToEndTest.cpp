#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "SimScanFixture.h"
#include "app/SettingsKeys.h"
#include "mail/EmailAddressLookup.h"
#include "platform/SettingsStore.h"

namespace {

class ScanEndToEndTest : public SimScanFixture {
protected:
    QStringList NewHistoryLines() {
        QStringList all = QString::fromUtf8(ReadAll(history.Path())).split(QLatin1Char('\n'));
        if (!all.isEmpty() && all.last().isEmpty()) all.removeLast();
        const QStringList fresh = all.mid(seen);
        seen = static_cast<int>(all.size());
        return fresh;
    }

    int seen = 0;
};

TEST_F(ScanEndToEndTest, SessionsComeAndGoWithTheirHistoryLines) {
    broker.AddUser(QStringLiteral("alice"));
    broker.AddUser(QStringLiteral("Bob"));
    broker.LogOn(QStringLiteral("Bob"), QStringLiteral("pc2"), QStringLiteral("200"),
                 QStringLiteral("2017/11/02 09:02:00"));
    broker.LogOn(QStringLiteral("alice"), QStringLiteral("PC1"), QStringLiteral("100"),
                 QStringLiteral("2017/11/02 09:01:00"));
    for (int i = 0; i < 3; ++i)
        broker.LogOn(QStringLiteral("alice"), QStringLiteral("PC%1").arg(i + 3),
                     QString::number(250 + i), QStringLiteral("2017/11/02 09:0%1:00").arg(i + 3));

    engine.StartScanning();
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.Texts().join('\n').toStdString();
    EXPECT_EQ(Entry(grid, 1, 0), (QStringList{"100", "ALICE", "PC1", "2017/11/02 09:01:00"}));
    EXPECT_EQ(Entry(grid, 1, 1), (QStringList{"200", "BOB", "PC2", "2017/11/02 09:02:00"}));
    EXPECT_EQ(Entry(grid, 1, 2), (QStringList{"250", "ALICE", "PC3", "2017/11/02 09:03:00"}));
    EXPECT_EQ(Entry(grid, 2, 0)[0], QStringLiteral("251"));
    EXPECT_EQ(Entry(grid, 2, 1)[0], QStringLiteral("252"));
    EXPECT_EQ(engine.Status(ScanStatus::SessionCount), QStringLiteral("5"))
        << "the tool's own session is filtered out";
    EXPECT_EQ(engine.Status(ScanStatus::DatabaseUsers),
              QStringLiteral("Nbr of Active Users in\nthe Database: 2"));
    const QStringList added = NewHistoryLines();
    ASSERT_EQ(added.size(), 5);
    EXPECT_EQ(added[1],
              "ADD : 200        BOB                  PC2                  2017/11/02 09:02:00");

    engine.RunScanCycle();
    EXPECT_TRUE(NewHistoryLines().isEmpty()) << "an unchanged report writes nothing";

    broker.LogOff(QStringLiteral("PC2"), QStringLiteral("200"));
    clock.Advance(10000);
    engine.RunScanCycle();
    EXPECT_EQ(NewHistoryLines(),
              QStringList{"DEL : 200        BOB                  PC2                  " + Now()});
    EXPECT_EQ(Entry(grid, 1, 1)[0], QStringLiteral("250"));
    EXPECT_EQ(engine.Status(ScanStatus::SessionCount), QStringLiteral("4"));
}

TEST_F(ScanEndToEndTest, DownBrokerUntilItAnswersAgain) {
    broker.AddUser(QStringLiteral("alice"));
    broker.LogOn(QStringLiteral("alice"), QStringLiteral("PC1"), QStringLiteral("100"),
                 QStringLiteral("2017/11/02 09:01:00"));
    engine.StartScanning();
    NewHistoryLines();

    broker.Condition({QStringLiteral("down")});
    engine.RunScanCycle();
    EXPECT_EQ(Entry(grid, 1, 1), (QStringList{"Error", "TESBKR01", "Fail Broker Connect", Now()}));
    EXPECT_EQ(NewHistoryLines(),
              QStringList{"REC : Error      TESBKR01             Fail Broker Connect  " + Now()});
    EXPECT_EQ(engine.ContigFailCount(), 1);

    broker.Condition({QStringLiteral("up")});
    clock.Advance(10000);
    engine.RunScanCycle();
    EXPECT_EQ(NewHistoryLines(),
              QStringList{"DEL : Error      TESBKR01             Fail Broker Connect  " + Now()});
    EXPECT_EQ(engine.ContigFailCount(), 0);
    EXPECT_EQ(Entry(grid, 1, 1)[0], QString());
}

TEST_F(ScanEndToEndTest, HangingBrokerIsCutOffAtTheLimit) {
    engine.StartScanning();
    NewHistoryLines();
    broker.Condition(
        {QStringLiteral("hang"), QStringLiteral("--hang-seconds"), QStringLiteral("30")});
    QElapsedTimer t;
    t.start();
    engine.RunScanCycle();
    EXPECT_LT(t.elapsed(), 10000);
    EXPECT_EQ(Entry(grid, 1, 0), (QStringList{"Error", "Broker", "Failed to Respond", Now()}));
    EXPECT_EQ(NewHistoryLines(),
              QStringList{"REC : Error      Broker               Failed to Respond    " + Now()});
    EXPECT_EQ(engine.ContigFailCount(), 1);
    EXPECT_TRUE(prompter.shown.isEmpty()) << "a time-out shows no message";
}

TEST_F(ScanEndToEndTest, RefusedLoginIsShownButNeverCounted) {
    engine.StartScanning();
    broker.Condition({QStringLiteral("badcreds")});
    for (int i = 0; i < 7; ++i) engine.RunScanCycle();
    EXPECT_EQ(Entry(grid, 1, 0), (QStringList{"Error", "Broker", "Invalid Credentials", Now()}));
    EXPECT_EQ(engine.ContigFailCount(), 0);
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(ScanEndToEndTest, SixthFailureReachesTheAlertHook) {
    engine.StartScanning();
    broker.Condition({QStringLiteral("down")});
    for (int i = 0; i < 5; ++i) engine.RunScanCycle();
    EXPECT_TRUE(alerts.isEmpty());
    engine.RunScanCycle();
    EXPECT_EQ(alerts, QList<int>{6});
}

TEST_F(ScanEndToEndTest, SessionTurnsStaleAfterMidnightAndFiltersApply) {
    broker.AddUser(QStringLiteral("night"));
    broker.AddUser(QStringLiteral("day"));
    broker.LogOn(QStringLiteral("night"), QStringLiteral("PC1"), QStringLiteral("100"),
                 QStringLiteral("2017/11/02 23:00:00"));
    clock.Set(QDateTime(QDate(2017, 11, 2), QTime(23, 30)));
    engine.StartScanning();
    EXPECT_TRUE(presenter.Of(QStringLiteral("stale")).isEmpty());
    clock.Set(QDateTime(QDate(2017, 11, 3), QTime(0, 0, 30)));
    broker.LogOn(QStringLiteral("day"), QStringLiteral("PC2"), QStringLiteral("200"),
                 QStringLiteral("2017/11/03 00:00:10"));
    engine.RunScanCycle();
    EXPECT_EQ(presenter.Of(QStringLiteral("stale")), QStringList{"100"});

    ScanSettings s = engine.Settings();
    s.filters.staleUserids = true;
    s.filters.ownSession = false;
    engine.SetSettings(s);
    engine.RunScanCycle();
    EXPECT_FALSE(engine.MatrixMap().Contains(QStringLiteral("PC1/100")));
    EXPECT_TRUE(engine.MatrixMap().Contains(QStringLiteral("PC2/200")));
    bool ownShown = false;
    for (const auto& [key, r] : engine.MatrixMap())
        if (r.UserId == QStringLiteral("ADMIN") && r.Pid == engine.OwnSessionPid()) ownShown = true;
    EXPECT_TRUE(ownShown) << "with its filter off the tool's own session is listed";
}

TEST_F(ScanEndToEndTest, ToolLeavingNoReportCountsAsNoAnswer) {
    // A users-listing tool that ends at once without a report.
    const QString bin = broker.Root() + QStringLiteral("/bin");
    QDir().mkpath(bin);
    QFile script(bin + QStringLiteral("/quslist"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nexit 0\n");
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.toLocal8Bit() + ':' + path);
    engine.StartScanning();
    qputenv("PATH", path);
    EXPECT_EQ(Entry(grid, 1, 0), (QStringList{"Error", "Broker", "Failed to Respond", Now()}));
    EXPECT_EQ(engine.ContigFailCount(), 1);
    EXPECT_TRUE(engine.Scanning());
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST_F(ScanEndToEndTest, NewSessionsTakeTheirAddressFromTheDatabase) {
    SettingsStore store(broker.Root() + QStringLiteral("/q.conf"));
    AppSettings appSettings(store);
    EmailAddressLookup lookup(launcher, prompter, history, appSettings, broker.WorkDir());
    lookup.SetConnection(QString::fromLatin1(SimBroker::kBroker),
                         QString::fromLatin1(SimBroker::kAdmin),
                         QString::fromLatin1(SimBroker::kPassword));
    int runs = 0;
    engine.SetAddressLookup([&](const QString& user) {
        ++runs;
        return lookup.AddressOf(user);
    });
    broker.AddUser(QStringLiteral("O'Brien"), QStringLiteral("obrien@example.com"));
    broker.AddUser(QStringLiteral("nomail"));
    broker.LogOn(QStringLiteral("O'Brien"), QStringLiteral("PC1"), QStringLiteral("100"),
                 QStringLiteral("2017/11/02 09:01:00"));
    broker.LogOn(QStringLiteral("O'Brien"), QStringLiteral("PC2"), QStringLiteral("101"),
                 QStringLiteral("2017/11/02 09:02:00"));
    broker.LogOn(QStringLiteral("nomail"), QStringLiteral("PC3"), QStringLiteral("250"),
                 QStringLiteral("2017/11/02 09:03:00"));
    engine.StartScanning();
    EXPECT_EQ(runs, 2) << "one lookup per distinct new user";
    LoginRecord r;
    ASSERT_TRUE(engine.MatrixMap().Lookup(QStringLiteral("PC2/101"), r));
    EXPECT_EQ(r.Email, QStringLiteral("obrien@example.com"));
    ASSERT_TRUE(engine.MatrixMap().Lookup(QStringLiteral("PC3/250"), r));
    EXPECT_EQ(r.Email, QString()) << "a user without an address has none, not the tool's text";
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.Texts().join('\n').toStdString();
}

}  // namespace
