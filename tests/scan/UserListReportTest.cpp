#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QTemporaryDir>

#include "TestFiles.h"
#include "scan/UserListReport.h"

namespace {

using namespace UserListReport;

constexpr int kToday = 20171102;

class UserListReportTest : public ::testing::Test {
protected:
    Reading ReadText(const QByteArray& text, Filters filters = {},
                     const QString& ownPid = QStringLiteral("9999")) {
        const QString path = dir.filePath(QString::fromLatin1(kFileName));
        EXPECT_TRUE(WriteAll(path, text));
        return Read(path, filters, ownPid, today, map);
    }
    LoginRecord Get(const QString& key) {
        LoginRecord r;
        EXPECT_TRUE(map.Lookup(key, r)) << key.toStdString();
        return r;
    }

    QTemporaryDir dir;
    CMapStrToLoginObj map;
    int today = kToday;
};

const QByteArray kHeader =
    "QUSLIST Tessamy users list\n\nBroker: TESBKR01\n"
    "Number of active users defined in the database: 42\n\n"
    "User    Client              Login\n------------------------------\n";

TEST_F(UserListReportTest, SessionLineBecomesARecordWithItsKey) {
    const Reading r = ReadText(kHeader + "alice WS:xxPC042/3312 2017/11/01 14:05:09\n"
                                         "QUSLIST has been executed successfully.\n");
    EXPECT_EQ(r.outcome, Outcome::Read);
    EXPECT_EQ(r.linesCounted, 1);
    EXPECT_EQ(r.activeUsers, QStringLiteral("42"));
    const LoginRecord rec = Get(QStringLiteral("PC042/3312"));
    EXPECT_EQ(rec.Pid, QStringLiteral("3312"));
    EXPECT_EQ(rec.UserId, QStringLiteral("ALICE"));
    EXPECT_EQ(rec.Machine, QStringLiteral("PC042"));
    EXPECT_EQ(rec.DateTime, QStringLiteral("2017/11/01_14:05:09"));
    EXPECT_EQ(rec.ReportedUserId, QStringLiteral("alice"));
    EXPECT_EQ(rec.Status, QStringLiteral("Stale"));

    today = 20171101;
    ReadText(kHeader + "alice WS:xxpc042/3312 2017/11/01 14:05:09\n");
    EXPECT_EQ(Get(QStringLiteral("PC042/3312")).Status, QString());
}

TEST_F(UserListReportTest, MarkersInAnyCaseAndBlankLinesIgnored) {
    const Reading r = ReadText(
        "number OF active users defined in THE database:   7  \n\n------------------\n\n"
        "bob TCP:01ws1/10 2017/11/02 09:00:00\n\n\nQuslist Has Been Executed Successfully.\n"
        "carol TCP:01ws1/11 2017/11/02 09:00:00\n------------------\n"
        "COULD NOT CONNECT TO BROKER\n");
    EXPECT_EQ(r.outcome, Outcome::Read);
    EXPECT_EQ(r.linesCounted, 1);
    EXPECT_EQ(r.activeUsers, QStringLiteral("7"));
    EXPECT_EQ(map.GetCount(), 1);
}

TEST_F(UserListReportTest, OnlySuccessLineAfterSeparatorCountsNothing) {
    const Reading r = ReadText(kHeader + "QUSLIST has been executed successfully.\n");
    EXPECT_EQ(r.outcome, Outcome::Read);
    EXPECT_EQ(r.linesCounted, 0);
    EXPECT_EQ(map.GetCount(), 0);
}

TEST_F(UserListReportTest, FiltersAndIncompleteLines) {
    const QByteArray body = kHeader +
        "me TCP:01HOST/9999 2017/11/02 09:00:00\n"      // the monitor's own listing run
        "old TCP:01HOST/1 2017/11/01 09:00:00\n"        // yesterday
        "TCP:01HOST/2 2017/11/02 09:00:00\n"            // no user: three tokens, wrong fields
        "x TCP:01HOST 2017/11/02 09:00:00\n"            // no slash
        "x TCPHOST/3 2017/11/02 09:00:00\n"             // no colon
        "a b c d e\n"                                   // five tokens
        "dup TCP:01HOST/4 2017/11/02 09:00:00\n"
        "dup2 TCP:01host/4 2017/11/02 10:00:00\n";      // same key replaces
    Reading r = ReadText(body);
    EXPECT_EQ(r.linesCounted, 8);
    EXPECT_EQ(map.GetCount(), 2);  // old and HOST/4
    EXPECT_EQ(Get(QStringLiteral("HOST/4")).UserId, QStringLiteral("DUP2"));

    r = ReadText(body, Filters{true, false, true});
    EXPECT_TRUE(map.Contains(QStringLiteral("HOST/9999")));
    EXPECT_FALSE(map.Contains(QStringLiteral("HOST/1"))) << "stale filter";
    EXPECT_EQ(r.linesCounted, 8);
}

TEST_F(UserListReportTest, FailureReports) {
    map.SetAt(QStringLiteral("X/1"), LoginRecord{});
    Reading r = ReadText("Quslist\nTESBKR01: Could not connect to broker\n------------------\n"
                         "a TCP:01H/1 2017/11/02 09:00:00\n");
    EXPECT_EQ(r.outcome, Outcome::CouldNotConnect);
    EXPECT_EQ(r.failingSource, QStringLiteral("TESBKR01"));
    EXPECT_EQ(r.linesCounted, 0);
    EXPECT_EQ(map.GetCount(), 0);

    r = ReadText("Quslist\nError: invalid user id or password\n");
    EXPECT_EQ(r.outcome, Outcome::NoSeparator);
    EXPECT_EQ(r.linesCounted, 0);

    map.SetAt(QStringLiteral("X/1"), LoginRecord{});
    r = Read(dir.filePath(QStringLiteral("missing.log")), {}, {}, today, map);
    EXPECT_EQ(r.outcome, Outcome::OpenFailed);
    EXPECT_EQ(map.GetCount(), 1) << "an unopened report leaves the scan map alone";
}

TEST_F(UserListReportTest, NoSuccessLineReadsToTheEnd) {
    const Reading r = ReadText("------------------\na TCP:01H/1 2017/11/02 09:00:00\n"
                               "b TCP:01H/2 2017/11/02 09:00:00");
    EXPECT_EQ(r.linesCounted, 2);
    EXPECT_EQ(map.GetCount(), 2);
}

TEST_F(UserListReportTest, OverlongLinesAreReadInPieces) {
    QByteArray longLine = "a TCP:01H/1 2017/11/02 09:00:00" + QByteArray(100000, 'x') + "\n";
    const Reading r = ReadText("------------------\n" + longLine);
    // 100031 characters in pieces of 1023: 98 pieces, each counted as a line.
    EXPECT_EQ(r.linesCounted, 98);
    // The first piece still has four tokens; the rest are single words and yield nothing.
    ASSERT_EQ(map.GetCount(), 1);
    EXPECT_TRUE(Get(QStringLiteral("H/1")).DateTime.startsWith(QStringLiteral("2017/11/02_09:00:00x")));

    QByteArray exact(1023, 'y');
    EXPECT_EQ(SplitPieces(exact + "\n" + "z").size(), 3);  // 1023 y's, "", "z"
}

TEST_F(UserListReportTest, GarbageNeverCrashesAndNeverYieldsHalfRecords) {
    QRandomGenerator rng(42);
    for (int round = 0; round < 50; ++round) {
        QByteArray junk("------------------\n");
        const int n = rng.bounded(1, 4000);
        for (int i = 0; i < n; ++i) junk.append(static_cast<char>(rng.bounded(256)));
        junk.append("\nq TCP:01M/7 2017/11/02 09:00:00\n");
        ReadText(junk);
        for (const auto& [key, rec] : map) {
            EXPECT_FALSE(rec.Pid.isEmpty());
            EXPECT_FALSE(rec.Machine.isEmpty());
            EXPECT_FALSE(rec.UserId.isEmpty());
            EXPECT_FALSE(rec.DateTime.contains(QLatin1Char(' ')));
        }
        EXPECT_TRUE(map.Contains(QStringLiteral("M/7")));
    }
}

TEST(DayNumberTest, LeadingDigitsOfTheJoinedDate) {
    EXPECT_EQ(DayNumber(QStringLiteral("2017/11/01 14:05:09")), 20171101);
    EXPECT_EQ(DayNumber(QStringLiteral("2017/11/01_14:05:09")), 20171101);
    EXPECT_EQ(DayNumber(QStringLiteral("17/1/1 0:0")), 171100);
    EXPECT_EQ(DayNumber(QStringLiteral("yesterday")), 0);
    EXPECT_EQ(TodayNumberFrom(QStringLiteral("2017/11/02 08:00:00")), 20171102);
}

}  // namespace
