#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "FakeClock.h"
#include "TestFiles.h"
#include "app/PasswordScrambler.h"
#include "app/RecipientListStore.h"
#include "app/Timestamp.h"
#include "app/TraceLog.h"
#include "platform/SettingsStore.h"

namespace {

TEST(PasswordScramblerTest, ScramblingTwiceGivesTheInputBack) {
    const QString samples[] = {QString(), QStringLiteral("a"), QStringLiteral("P@ssw0rd! ~%"),
                               QStringLiteral("mot de passe é ü"), QString(120, QLatin1Char('x'))};
    for (const QString& s : samples) EXPECT_EQ(ScramblePassword(ScramblePassword(s)), s);
    const QString scrambled = ScramblePassword(QStringLiteral("P@ssw0rd! ~%"));
    EXPECT_NE(scrambled, QStringLiteral("P@ssw0rd! ~%"));
    for (const QChar c : scrambled) EXPECT_NE(c.unicode(), 0);
}

TEST(PasswordScramblerTest, OnlyTheFirstEightyCharactersAreScrambled) {
    QString password;
    for (int i = 0; i < 83; ++i) password.append(QLatin1Char(static_cast<char>('!' + i % 90)));
    const QString stored = ScramblePassword(password);
    ASSERT_EQ(stored.size(), 83);
    for (int i = 0; i < 80; ++i) EXPECT_NE(stored[i], password[i]) << i;
    EXPECT_EQ(stored.right(3), password.right(3));
}

TEST(TimestampTest, FormatsLocalTimeAndItsDayNumber) {
    FakeClock clock(QDateTime(QDate(2017, 3, 5), QTime(7, 4, 9)));
    EXPECT_EQ(CurrentTimestamp(clock), QStringLiteral("2017/03/05 07:04:09"));
    EXPECT_EQ(DateNumberText(CurrentTimestamp(clock)), QStringLiteral("20170305"));
    clock.Set(QDateTime(QDate(987, 12, 31), QTime(23, 59, 59)));
    EXPECT_EQ(CurrentTimestamp(clock), QStringLiteral("987/12/31 23:59:59"));
    EXPECT_EQ(DateNumberText(QStringLiteral("no slashes")), QString());
}

class TraceLogTest : public ::testing::Test {
protected:
    void TearDown() override { TraceLog::SetEnabled(false); }
    QTemporaryDir dir;
    FakeClock clock{QDateTime(QDate(2017, 3, 5), QTime(7, 4, 9))};
};

TEST_F(TraceLogTest, OffByDefaultAndWritesNothing) {
    const QString path = dir.filePath(QStringLiteral("QuorvatelTrace.log"));
    TraceLog log(clock, path);
    EXPECT_FALSE(TraceLog::Enabled());
    EXPECT_EQ(log.Trace("[Error] Failed to Rename %s %s", "a", "b"), 0);
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(TraceLogTest, NumbersLinesWithMonthDayYearAndWritesPercentLiterally) {
    const QString path = dir.filePath(QStringLiteral("QuorvatelTrace.log"));
    TraceLog::SetEnabled(true);
    TraceLog log(clock, path);
    EXPECT_EQ(log.Trace("[Error] Failed to Rename %s %s", "old.log", "new.log"), 1);
    clock.Advance(1000);
    EXPECT_EQ(log.TraceWrite(path, QStringLiteral("100% %s %d")), 1);
    EXPECT_EQ(ReadAll(path),
              QByteArray("1 03/05/2017 07:04:09=[Error] Failed to Rename old.log new.log\n"
                         "2 03/05/2017 07:04:10=100% %s %d\n"));
    EXPECT_EQ(log.TraceWrite(QString(), QStringLiteral("x")), 1);
}

TEST_F(TraceLogTest, LongLinesCountOnceForEachPiece) {
    const QString path = dir.filePath(QStringLiteral("t.log"));
    ASSERT_TRUE(WriteAll(path, QByteArray(1062, 'a') + "\n" + QByteArray(1063, 'b') + "\n" +
                                   QByteArray(3000, 'c')));
    // 1 + 2 (1063 characters, then the lone line feed) + 3 (1063 + 1063 + 874)
    EXPECT_EQ(TraceLog::CountLines(path), 6);
    EXPECT_EQ(TraceLog::CountLines(dir.filePath(QStringLiteral("missing"))), 0);
}

TEST(RecipientListStoreTest, ListsRoundTripAndLeftoversPastCountAreIgnored) {
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("q.conf")));
    const QString section = QStringLiteral("EMAILLIST");
    QList<RecipientEntry> five;
    for (int i = 0; i < 5; ++i)
        five.append({i % 2, QStringLiteral("user%1@example.com").arg(i)});
    WriteRecipientEntries(store, section, five);
    WriteRecipientEntries(store, section, five.mid(0, 3));

    EXPECT_EQ(store.ReadText(section, QStringLiteral("3")), QStringLiteral("1:user3@example.com"));
    EXPECT_EQ(store.ReadText(section, QStringLiteral("4")), QStringLiteral("0:user4@example.com"));
    const QList<RecipientEntry> read = ReadRecipientEntries(store, section);
    ASSERT_EQ(read.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(read[i].checked, i % 2);
        EXPECT_EQ(read[i].address, five[i].address);
    }
}

TEST(RecipientListStoreTest, ReadingRuleForOddEntries) {
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("q.conf")));
    const QString s = QStringLiteral("BCGEMAILLIST");
    store.WriteInt(s, QStringLiteral("Count"), 5);
    store.WriteText(s, QStringLiteral("0"), QStringLiteral("1:"));
    store.WriteText(s, QStringLiteral("1"), QStringLiteral("no colon here"));
    store.WriteText(s, QStringLiteral("2"), QStringLiteral("x:a:b@example.com"));
    store.WriteText(s, QStringLiteral("3"), QStringLiteral("7:seven@example.com"));
    // entry 4 is missing altogether
    const QList<RecipientEntry> read = ReadRecipientEntries(store, s);
    ASSERT_EQ(read.size(), 3);
    EXPECT_EQ(read[0].checked, 1);
    EXPECT_EQ(read[0].address, QString());
    EXPECT_EQ(read[1].checked, 0);
    EXPECT_EQ(read[1].address, QStringLiteral("a:b@example.com"));
    EXPECT_EQ(read[2].checked, 7);
}

}  // namespace
