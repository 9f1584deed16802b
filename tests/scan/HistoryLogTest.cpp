#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "FakeClock.h"
#include "TestFiles.h"
#include "app/TraceLog.h"
#include "scan/HistoryLog.h"

namespace {

class HistoryLogTest : public ::testing::Test {
protected:
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    void SetFileDate(const char* name, const QDateTime& t) {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(t, QFileDevice::FileModificationTime));
    }

    QTemporaryDir dir;
    FakeClock clock{QDateTime(QDate(2017, 11, 1), QTime(23, 59, 0))};
};

TEST_F(HistoryLogTest, SessionLinesCutAndPadTheirFields) {
    EXPECT_EQ(HistoryLog::SessionLine(QStringLiteral("ADD : "), QStringLiteral("123456789012"),
                                      QStringLiteral("ALICE"), QStringLiteral("PC042"),
                                      QStringLiteral("2017/11/01 14:05:09")),
              QStringLiteral("ADD : 1234567890 ALICE                PC042                "
                             "2017/11/01 14:05:09\n"));
    const QString longName(25, QLatin1Char('N'));
    const QString line = HistoryLog::SessionLine(QStringLiteral("REC : "), QStringLiteral("0000"),
                                                 longName, QStringLiteral("M"), QStringLiteral("T"),
                                                 QStringLiteral("   - vantrace OFF\n"));
    EXPECT_EQ(line, QStringLiteral("REC : 0000       ") + QString(20, QLatin1Char('N')) +
                        QStringLiteral(" M                    T   - vantrace OFF\n"));
}

TEST_F(HistoryLogTest, RollsOverByDayIntoAnArchiveOfTheOldDate) {
    HistoryLog log(clock, dir.path());
    log.Start(true);
    log.WriteHistoryLine(QStringLiteral("first\n"));
    log.WriteHistoryLine(QStringLiteral("second\n"));
    log.WriteHistoryLine(QString());
    EXPECT_EQ(ReadAll(Path("QuorvatelHistory.log")), QByteArray("first\nsecond\n"));

    clock.Advance(2 * 60 * 1000);  // past midnight
    log.WriteHistoryLine(QStringLiteral("third\n"));
    EXPECT_EQ(ReadAll(Path("QuorvatelHistory20171101.log")), QByteArray("first\nsecond\n"));
    EXPECT_EQ(ReadAll(Path("QuorvatelHistory.log")), QByteArray("third\n"));
    EXPECT_EQ(log.HistoryDate(), QStringLiteral("20171102"));
}

TEST_F(HistoryLogTest, MonthBoundaryArchivesUnderTheOldMonth) {
    clock.Set(QDateTime(QDate(2017, 12, 31), QTime(23, 0)));
    HistoryLog log(clock, dir.path());
    log.Start(true);
    log.WriteHistoryLine(QStringLiteral("old year\n"));
    clock.Set(QDateTime(QDate(2018, 1, 1), QTime(0, 1)));
    log.WriteHistoryLine(QStringLiteral("new year\n"));
    EXPECT_EQ(ReadAll(Path("QuorvatelHistory20171231.log")), QByteArray("old year\n"));
}

TEST_F(HistoryLogTest, SwitchedOffWritesNothingAndKeepsItsDate) {
    HistoryLog log(clock, dir.path());
    log.Start(false);
    EXPECT_FALSE(QFile::exists(Path("QuorvatelHistory.log")));
    log.WriteHistoryLine(QStringLiteral("lost?\n"));
    EXPECT_FALSE(QFile::exists(Path("QuorvatelHistory.log")));

    clock.Set(QDateTime(QDate(2017, 11, 3), QTime(9, 0)));
    log.SetEnabled(true);
    EXPECT_EQ(log.HistoryDate(), QStringLiteral("20171101"));
    log.WriteHistoryLine(QStringLiteral("on again\n"));
    EXPECT_EQ(log.HistoryDate(), QStringLiteral("20171103"));
    EXPECT_EQ(ReadAll(Path("QuorvatelHistory.log")), QByteArray("on again\n"));
}

TEST_F(HistoryLogTest, EmptyingTheFileNeverLosesLines) {
    ASSERT_TRUE(WriteAll(Path("QuorvatelHistory.log"), "from the 30th\n"));
    SetFileDate("QuorvatelHistory.log", QDateTime(QDate(2017, 10, 30), QTime(12, 0)));
    ASSERT_TRUE(WriteAll(Path("QuorvatelHistory20171030.log"), "earlier on the 30th\n"));

    HistoryLog log(clock, dir.path());
    log.Start(true);  // start-up empties the current file
    EXPECT_EQ(ReadAll(Path("QuorvatelHistory.log")), QByteArray());
    EXPECT_EQ(ReadAll(Path("QuorvatelHistory20171030.log")),
              QByteArray("earlier on the 30th\nfrom the 30th\n"));

    log.WriteHistoryLine(QStringLiteral("today\n"));
    log.SetEnabled(false);
    log.SetEnabled(true);  // switching on empties it again
    EXPECT_EQ(ReadAll(Path("QuorvatelHistory.log")), QByteArray());
    const QString archive = log.ArchivePath(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
    EXPECT_EQ(ReadAll(archive), QByteArray("today\n"));
}

TEST_F(HistoryLogTest, FailedRenameIsTracedAndTheLineStillWritten) {
    TraceLog::SetEnabled(true);
    const QString trace = dir.filePath(QStringLiteral("trace.log"));
    TraceLog tracer(clock, trace);
    HistoryLog log(clock, dir.path(), &tracer);
    log.Start(true);
    log.WriteHistoryLine(QStringLiteral("day one\n"));
    // A directory where the archive should go makes both the rename and the append fail.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("QuorvatelHistory20171101.log")));
    clock.Advance(2 * 60 * 1000);
    log.WriteHistoryLine(QStringLiteral("day two\n"));
    TraceLog::SetEnabled(false);
    EXPECT_EQ(ReadAll(Path("QuorvatelHistory.log")), QByteArray("day one\nday two\n"));
    EXPECT_TRUE(ReadAll(trace).contains("=[Error] Failed to Rename "));
}

}  // namespace
