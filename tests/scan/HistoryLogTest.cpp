#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "FakeClock.h"
#include "ScanTestSupport.h"
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
    const QString archive =
        log.ArchivePath(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
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

// How many of this process's open files are `path`.
int OpenHandlesOn(const QString& path) {
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/self/fd"));
    int n = 0;
    for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        if (QFileInfo(fds.filePath(fd)).symLinkTarget() == target) ++n;
    return n;
}

TEST_F(HistoryLogTest, AHeldFileTakesEachLineAtOnceAndFollowsTheDayAndTheSwitch) {
    FullDiskHistory log(clock, dir.path());
    log.Start(true);
    const QString current = Path("QuorvatelHistory.log");
    {
        const HistoryLog::Hold held(log);
        log.WriteHistoryLine(QStringLiteral("first\n"));
        EXPECT_EQ(ReadAll(current), QByteArray("first\n")) << "each line goes at once";
        {
            const HistoryLog::Hold nested(log);
            log.WriteHistoryLine(QStringLiteral("second\n"));
        }
        EXPECT_EQ(OpenHandlesOn(current), 1) << "the outer hold keeps the file open";

        clock.Advance(2 * 60 * 1000);  // past midnight: the old day's lines go to its archive
        log.WriteHistoryLine(QStringLiteral("third\n"));
        EXPECT_EQ(ReadAll(Path("QuorvatelHistory20171101.log")), QByteArray("first\nsecond\n"));
        EXPECT_EQ(ReadAll(current), QByteArray("third\n"));

        log.full = true;  // a failed line waits, and the file is opened afresh for it
        log.WriteHistoryLine(QStringLiteral("fourth\n"));
        EXPECT_TRUE(log.WriteFailing());
        EXPECT_EQ(OpenHandlesOn(current), 0);
        log.full = false;
        log.WriteHistoryLine(QStringLiteral("fifth\n"));
        EXPECT_EQ(ReadAll(current), QByteArray("third\nfourth\nfifth\n"));

        log.SetEnabled(false);
        log.SetEnabled(true);  // switching on empties the file into today's archive
        log.WriteHistoryLine(QStringLiteral("sixth\n"));
        EXPECT_EQ(ReadAll(current), QByteArray("sixth\n"));
        EXPECT_EQ(OpenHandlesOn(current), 1);
    }
    EXPECT_EQ(OpenHandlesOn(current), 0) << "the file is closed once the hold ends";
    const QString archive =
        log.ArchivePath(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
    EXPECT_EQ(ReadAll(archive), QByteArray("third\nfourth\nfifth\n"));
    EXPECT_EQ(OpenHandlesOn(archive), 0);
}

}  // namespace
