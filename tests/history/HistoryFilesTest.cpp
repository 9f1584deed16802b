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
#include "history/HistoryBrowser.h"
#include "history/HistoryTableModel.h"

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
