#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include "FakeClock.h"
#include "FakeFileChooser.h"
#include "RecordingPrompter.h"
#include "TestFiles.h"
#include "app/Timestamp.h"
#include "history/HistoryBrowser.h"
#include "history/HistoryOrder.h"
#include "history/HistoryReader.h"
#include "history/HistoryTableModel.h"
#include "history/HistoryText.h"
#include "scan/HistoryLog.h"

// The history window over files the monitor did not write, or not whole: a foreign file, a
// binary one, damaged and cut lines, and a live file that a rotation tool moves away or cuts
// short while the window follows it. Nothing crashes, nothing is written, the status line
// says what was wrong, and every line is still shown.
namespace {

constexpr int kWaitMs = 60000;

// A line laid out as the monitor writes it, its fields taken as bytes.
QByteArray Line(const char* tag, const char* pid, const QByteArray& user, const char* machine,
                const char* time) {
    return tag + QByteArray(pid).leftJustified(10) + ' ' + user.leftJustified(20) + ' ' +
           QByteArray(machine).leftJustified(20) + ' ' + time + '\n';
}

class HistoryFilesTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return QDir(dir.path()).filePath(name); }
    void Write(const QString& name, const QByteArray& bytes) {
        ASSERT_TRUE(WriteAll(Path(name), bytes));
    }
    void Append(const QString& name, const QByteArray& bytes) {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(bytes);
    }
    // Every file of the directory with its bytes and time.
    QMap<QString, QPair<QByteArray, QDateTime>> Files() const {
        QMap<QString, QPair<QByteArray, QDateTime>> out;
        for (const QFileInfo& f : QDir(dir.path()).entryInfoList(QDir::Files | QDir::Hidden))
            out.insert(f.fileName(), {ReadAll(f.filePath()), f.lastModified()});
        return out;
    }
    void WaitIdle(HistoryBrowser& b) {
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return b.Idle() && b.SessionsModel().Snapshot(); }, kWaitMs));
    }
    static QStringList Column(const HistoryTableModel& model, int column) {
        QStringList out;
        for (int r = 0; r < model.rowCount(); ++r) out.append(model.RowText(r).split('\t')[column]);
        return out;
    }

    QTemporaryDir dir;
    FakeClock clock{QDateTime(QDate(2017, 11, 2), QTime(10, 0))};
    FakeFileChooser files;
    RecordingPrompter prompter;
};

TEST_F(HistoryFilesTest, DamagedForeignAndBinaryFilesAndARotationWhileOpen) {
    Write("QuorvatelHistory20171030.log", "Name,Email\nalice,alice@example.com\n");
    QByteArray binary(6000, '\0');
    QRandomGenerator rng(28);
    for (char& c : binary) c = char(rng.bounded(256));
    Write("QuorvatelHistory20171031.log", binary);
    QByteArray damaged = Line("ADD : ", "100", "ALICE", "PC1", "2017/11/01 08:00:00");
    damaged += "ADD : 200        BOB   \n";  // cut short
    const QByteArray notUtf8(
        "B\xff\xfe"
        "B");
    damaged += Line("ADD : ", "210", notUtf8, "PC2", "2017/11/01 08:10:00");
    damaged += QByteArray(200000, 'x') + '\n';  // overlong
    damaged += QByteArray("REC : PID=Error NAME=Broker MN=Failed to Respond").leftJustified(59) +
               "2017/11/01 08:30:00 --> Sent Alert To: ops@example.com\n";
    damaged += "REC : Execute RUNSQL Get Email Addrs Failed\n";
    damaged += Line("DEL : ", "100", "ALICE", "PC1", "2017/11/01 09:00:00");
    damaged += Line("DEL : ", "210", notUtf8, "PC2", "2017/11/01 09:10:00");
    damaged += "ADD : 300        CAR";  // the file ends here
    Write("QuorvatelHistory20171101.log", damaged);
    Write("QuorvatelHistory.log", Line("ADD : ", "400", "DAVE", "PC4", "2017/11/02 09:00:00"));
    const auto before = Files();

    HistoryBrowser browser(dir.path(), clock, files, prompter);
    browser.Open();
    WaitIdle(browser);
    browser.ShowWholeHistory();
    const HistoryTableModel& sessions = browser.SessionsModel();
    EXPECT_EQ(Column(sessions, 0),
              (QStringList{"ALICE", QString::fromUtf8("B\uFFFD\uFFFDB"), "DAVE"}));
    EXPECT_EQ(Column(sessions, 5), (QStringList{"1:00:00", "1:00:00", "1:00:00"}));
    EXPECT_EQ(Column(sessions, 4).last(), QStringLiteral("still on"));

    const QString status = browser.StatusText();
    EXPECT_TRUE(status.startsWith(QStringLiteral("Showing 3 of 3 sessions - ")))
        << status.toStdString();
    EXPECT_TRUE(status.contains(QStringLiteral(
        "QuorvatelHistory20171030.log is not a history file: its lines are shown as they are")));
    EXPECT_TRUE(status.contains(QStringLiteral("QuorvatelHistory20171031.log holds binary data")));
    EXPECT_TRUE(
        status.contains(QStringLiteral("QuorvatelHistory20171101.log: 3 lines not recognised")));

    // Every line is a row, those not recognised shown whole (up to a screenful of text).
    auto* tabs = browser.findChild<QTabWidget*>();
    tabs->setCurrentIndex(1);
    const HistoryTableModel& lines = browser.EventsModel();
    const QStringList texts = Column(lines, 5);
    EXPECT_EQ(lines.rowCount(), 2 + binary.count('\n') + (binary.endsWith('\n') ? 0 : 1) + 9 + 1);
    EXPECT_TRUE(texts.contains(QStringLiteral("alice,alice@example.com")));
    EXPECT_TRUE(texts.contains(QStringLiteral("ADD : 200        BOB   ")));
    EXPECT_TRUE(texts.contains(QString(4096, 'x')));
    EXPECT_TRUE(texts.contains(QStringLiteral("ADD : 300        CAR")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Execute RUNSQL Get Email Addrs Failed")));
    EXPECT_TRUE(lines.RowText(texts.indexOf(QStringLiteral("--> Sent Alert To: ops@example.com")))
                    .startsWith(QStringLiteral(
                        "2017/11/01 08:30:00\tREC\tError\tBroker\tFailed to Respond")));
    tabs->setCurrentIndex(0);

    // A new line: read from where the reading stopped.
    Append("QuorvatelHistory.log", Line("DEL : ", "400", "DAVE", "PC4", "2017/11/02 09:30:00"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Column(sessions, 4).last() != "still on"; }, kWaitMs));
    EXPECT_EQ(Column(sessions, 5).last(), QStringLiteral("0:30:00"));
    EXPECT_FALSE(browser.StatusText().contains(QStringLiteral("read again")));

    // A rotation tool moves the live file away and starts a new one.
    ASSERT_TRUE(QFile::rename(Path("QuorvatelHistory.log"), Path("QuorvatelHistory.log.1")));
    Write("QuorvatelHistory.log", Line("ADD : ", "500", "ERIN", "PC5", "2017/11/02 09:45:00"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Column(sessions, 0).contains("ERIN"); }, kWaitMs));
    EXPECT_FALSE(Column(sessions, 0).contains("DAVE")) << "its lines are no longer a history file";
    EXPECT_TRUE(browser.StatusText().contains(QStringLiteral(
        "The history files changed on disk (QuorvatelHistory.log was replaced): read again")));

    // Another cuts it short where it lies.
    Write("QuorvatelHistory.log", Line("ADD : ", "6", "F", "PC6", "2017/11/02 09:50:00"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Column(sessions, 0).contains("F"); }, kWaitMs));
    EXPECT_TRUE(browser.StatusText().contains(
        QStringLiteral("QuorvatelHistory.log no longer holds what was read")));
    EXPECT_EQ(sessions.rowCount(), 3);

    // Only read, never written.
    auto after = Files();
    EXPECT_EQ(after.take("QuorvatelHistory.log.1").first,
              Line("ADD : ", "400", "DAVE", "PC4", "2017/11/02 09:00:00") +
                  Line("DEL : ", "400", "DAVE", "PC4", "2017/11/02 09:30:00"));
    after.remove("QuorvatelHistory.log");
    auto expected = before;
    expected.remove("QuorvatelHistory.log");
    EXPECT_EQ(after, expected);
    EXPECT_TRUE(prompter.shown.isEmpty());
}

}  // namespace

// The window follows the files as the monitor itself moves them: the live file renamed into
// a day's archive at midnight, archived again at a restart, and appended to an archive that
// already holds that day. None of it is a reason to read all again.
TEST_F(HistoryFilesTest, FollowsTheMonitorAcrossRolloversAndARestartReadingOnlyWhatIsNew) {
    const auto at = [this](int day, const char* time) {
        clock.Set(QDateTime(QDate(2017, 11, day), QTime::fromString(QString::fromLatin1(time))));
    };
    const auto write = [this](HistoryLog& log, const char* tag, const char* pid, const char* user,
                              const QString& time) {
        log.WriteHistoryLine(HistoryLog::SessionLine(QString::fromLatin1(tag), pid, user,
                                                     QStringLiteral("PC1"), time));
    };
    const auto touch = [this](const QString& path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::Append));
        ASSERT_TRUE(f.setFileTime(clock.Now(), QFileDevice::FileModificationTime));
    };
    at(2, "23:00:00");
    auto log = std::make_unique<HistoryLog>(clock, dir.path());
    log->Start(true);
    write(*log, HistoryLog::kAddTag, "1", "ALICE", "2017/11/02 22:00:00");
    HistoryBrowser browser(dir.path(), clock, files, prompter);
    browser.Open();
    WaitIdle(browser);
    const HistoryTableModel& sessions = browser.SessionsModel();
    browser.ShowWholeHistory();
    ASSERT_EQ(Column(sessions, 4), QStringList{"still on"});

    at(3, "00:00:10");
    write(*log, HistoryLog::kDelTag, "1", "ALICE", CurrentTimestamp(clock));
    ASSERT_TRUE(QFile::exists(Path("QuorvatelHistory20171102.log")));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Column(sessions, 4) == QStringList{"2017/11/03 00:00:10"}; }, kWaitMs));

    at(3, "00:10:00");
    write(*log, HistoryLog::kAddTag, "2", "BOB", "2017/11/03 00:05:00");
    at(3, "00:20:00");
    log->WriteHistoryLine(HistoryLog::SessionLine(
        QString::fromLatin1(HistoryLog::kRecTag), QStringLiteral("0000"),
        QString::fromLatin1(HistoryLog::kShutdownUser),
        QString::fromLatin1(HistoryLog::kShutdownMachine), CurrentTimestamp(clock)));
    touch(log->Path());
    log = std::make_unique<HistoryLog>(clock, dir.path());
    log->Start(true);  // the live file becomes the archive of the 3rd
    at(3, "00:30:00");
    write(*log, HistoryLog::kAddTag, "2", "BOB", "2017/11/03 00:05:00");
    at(4, "00:00:05");
    write(*log, HistoryLog::kDelTag, "2", "BOB", CurrentTimestamp(clock));  // appended to it
    browser.ShowWholeHistory();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Column(sessions, 0).size() == 2 && Column(sessions, 4)[1] != "still on"; },
        kWaitMs));
    EXPECT_EQ(sessions.RowText(1), QStringLiteral("BOB\tPC1\t2\t2017/11/03 00:05:00\t"
                                                  "2017/11/04 00:00:05\t23:55:05\t"));
    EXPECT_EQ(browser.StatusText(), QStringLiteral("Showing 2 of 2 sessions"));
    browser.findChild<QTabWidget*>()->setCurrentIndex(1);
    EXPECT_EQ(browser.EventsModel().rowCount(), 6);
}

// What the pairing makes of a monitor that was killed, a PID used again, a DEL without its
// ADD and a refused login during an outage.
TEST_F(HistoryFilesTest, SessionsWhoseLogOnOrLogOffTheFilesDoNotHold) {
    QByteArray text;
    text += Line("ADD : ", "1", "ANN", "PC1", "2017/11/02 10:00:00");
    text += Line("ADD : ", "2", "BEN", "PC2", "2017/11/02 10:05:00");
    text += Line("REC : ", "Error", "Broker", "Failed to Respond", "2017/11/02 10:10:00");
    text += Line("REC : ", "Error", "Broker", "Invalid Credentials", "2017/11/02 10:11:00");
    // Killed, started again: it lists BEN again, not ANN.
    text += Line("ADD : ", "2", "BEN", "PC2", "2017/11/02 10:05:00");
    text += Line("ADD : ", "3", "CID", "PC3", "2017/11/02 10:20:00");
    text += Line("DEL : ", "9", "DOT", "PC9", "2017/11/02 10:30:00");
    text += Line("ADD : ", "3", "CID", "PC3", "2017/11/02 10:40:00");
    text += Line("DEL : ", "2", "BEN", "PC2", "2017/11/02 10:50:00");
    Write("QuorvatelHistory.log", text);

    HistoryReader reader(dir.path());
    const HistorySnapshot snap = reader.Update();
    std::vector<uint32_t> rows = HistoryFilter::Sessions(snap, {}, HistoryTime::kUnknown);
    HistoryOrder::Sessions(snap, rows, HistoryText::LoggedOn, false, 0);
    QStringList shown;
    for (const uint32_t r : rows) {
        QStringList cells;
        for (int c : {0, 3, 4, 5, 6})
            cells.append(HistoryText::SessionCell(snap, snap.Session(r), c,
                                                  HistoryTime::FromDateTime(clock.Now())));
        shown.append(cells.join('|'));
    }
    EXPECT_EQ(
        shown,
        (QStringList{
            "DOT||2017/11/02 10:30:00||log-on not in the history",
            "ANN|2017/11/02 10:00:00|2017/11/02 10:11:00|at least 0:11:00|log-off not in the "
            "history: the monitor stopped",
            "BEN|2017/11/02 10:05:00|2017/11/02 10:50:00|0:45:00|",
            "Broker not answering|2017/11/02 10:10:00|2017/11/02 10:11:00|0:01:00|1 failed scan",
            "CID|2017/11/02 10:20:00|2017/11/02 10:40:00|at least 0:20:00|log-off not in the "
            "history: ended before this PID logged on again",
            "CID|2017/11/02 10:40:00|still on|0:00:00|"}));
}
