#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QItemSelectionModel>
#include <QProcess>
#include <QTableView>

#include "MonitorFixture.h"
#include "history/HistoryBrowser.h"
#include "history/HistoryTableModel.h"

// A morning of the monitor against the simulated Broker — log-ons, log-offs, an outage, a
// restart, the history switched off and on — and then what the history window and the
// command line make of the files it left.
namespace {

class HistoryEndToEndTest : public MonitorFixture {
protected:
    void At(const char* hhmmss) {
        clock.Set(QDateTime(QDate(2017, 11, 2), QTime::fromString(QString::fromLatin1(hhmmss))));
    }
    void Scan(const char* hhmmss) {
        At(hhmmss);
        window->OnScanOn();
    }
    // The monitor names an archive after the day its file was last written; the test's clock
    // is not the file system's, so the live file is given the test's time first.
    void TouchHistory() {
        QFile f(window->History().Path());
        ASSERT_TRUE(f.open(QIODevice::Append));
        ASSERT_TRUE(f.setFileTime(clock.Now(), QFileDevice::FileModificationTime));
    }
    HistoryBrowser& Browser() {
        HistoryBrowser* b = window->HistoryWindow();
        EXPECT_NE(b, nullptr);
        EXPECT_TRUE(QTest::qWaitFor([b] { return b->Idle(); }, kWaitMs));
        return *b;
    }
    static QList<QStringList> Rows(const HistoryTableModel& model) {
        QList<QStringList> rows;
        for (int r = 0; r < model.rowCount(); ++r) rows.append(model.RowText(r).split('\t'));
        return rows;
    }
    static QStringList Users(const HistoryTableModel& model) {
        QStringList users;
        for (const QStringList& row : Rows(model)) users.append(row[0]);
        return users;
    }
    QByteArray Cli(const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral(QV_QUORVATEL_BIN),
                QStringList{"--history-sessions", "--dir", broker.WorkDir()} + args);
        EXPECT_TRUE(p.waitForFinished(kWaitMs));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return p.readAllStandardOutput();
    }
    QByteArray Export(const QString& name) {
        const QString path = broker.Root() + '/' + name;
        files.answers.append(path);
        window->HistoryWindow()->ExportCsv();
        return ReadAll(path);
    }
};

TEST_F(HistoryEndToEndTest, SessionsOutagesRestartAndAGapAsTheWindowAndTheCommandLineShowThem) {
    for (const char* user : {"alice", "bob", "carol", "dave", "erin"})
        broker.AddUser(QString::fromLatin1(user));
    LogOn("alice", "PC1", "100", "2017/11/02 08:00:00");
    LogOn("bob", "PC2", "200", "2017/11/02 09:00:00");
    StoreProfile();
    At("09:30:00");
    Open();

    LogOn("carol", "PC3", "300", "2017/11/02 09:35:00");
    broker.LogOff(QStringLiteral("PC2"), QStringLiteral("200"));
    Scan("09:40:00");
    broker.Condition({QStringLiteral("down")});
    Scan("09:50:00");
    Scan("09:51:00");
    broker.Condition({QStringLiteral("up")});
    broker.LogOff(QStringLiteral("PC1"), QStringLiteral("100"));
    Scan("10:00:00");

    // A restart: the shutdown line, then the new monitor lists carol again and dave.
    window->RequestClose();
    ASSERT_EQ(exitCodes, QList<int>{0});
    TouchHistory();
    window.reset();
    LogOn("dave", "PC4", "400", "2017/11/02 10:10:00");
    At("10:30:00");
    Open();
    LogOn("bob", "PC2", "201", "2017/11/02 10:31:00");
    Scan("10:35:00");
    broker.LogOff(QStringLiteral("PC2"), QStringLiteral("201"));
    Scan("10:40:00");

    // The history switched off while dave leaves, then on again.
    window->OnHistorySwitch(false);
    broker.LogOff(QStringLiteral("PC4"), QStringLiteral("400"));
    Scan("10:45:00");
    At("10:50:00");
    TouchHistory();
    window->OnHistorySwitch(true);
    LogOn("erin", "PC5", "500", "2017/11/02 10:52:00");
    broker.LogOff(QStringLiteral("PC3"), QStringLiteral("300"));
    Scan("11:00:00");
    EXPECT_TRUE(QFile::exists(broker.WorkDir() + "/QuorvatelHistory20171102.log"));

    MenuAction(QStringLiteral("&History..."))->trigger();
    HistoryBrowser& browser = Browser();
    EXPECT_TRUE(browser.isVisible());
    EXPECT_TRUE(window->isVisible()) << "the history window is not modal";
    const HistoryTableModel& sessions = browser.SessionsModel();
    const QList<QStringList> expected{
        {"ALICE", "PC1", "100", "2017/11/02 08:00:00", "2017/11/02 10:00:00", "2:00:00", ""},
        {"BOB", "PC2", "200", "2017/11/02 09:00:00", "2017/11/02 09:40:00", "0:40:00", ""},
        // On across the restart and the switch; its DEL line ends it.
        {"CAROL", "PC3", "300", "2017/11/02 09:35:00", "2017/11/02 11:00:00", "1:25:00", ""},
        {"Broker not answering", "Fail Broker Connect", "", "2017/11/02 09:50:00",
         "2017/11/02 10:00:00", "0:10:00", "2 failed scans"},
        // It left while nothing was written: it ends where the history last knew it on.
        {"DAVE", "PC4", "400", "2017/11/02 10:10:00", "2017/11/02 10:40:00", "at least 0:30:00",
         "log-off not in the history: the history was not written for a while"},
        {"BOB", "PC2", "201", "2017/11/02 10:31:00", "2017/11/02 10:40:00", "0:09:00", ""},
        {"ERIN", "PC5", "500", "2017/11/02 10:52:00", "still on", "0:08:00", ""},
    };
    EXPECT_EQ(Rows(sessions), expected);
    EXPECT_EQ(browser.StatusText(), QStringLiteral("Showing 7 of 7 sessions"));

    // The lines, whole, in the order they were written.
    auto* tabs = browser.findChild<QTabWidget*>();
    tabs->setCurrentIndex(1);
    const HistoryTableModel& lines = browser.EventsModel();
    EXPECT_EQ(browser.StatusText(), QStringLiteral("Showing %1 of %1 lines").arg(lines.rowCount()));
    EXPECT_EQ(Rows(lines).first(), (QStringList{"2017/11/02 08:00:00", "ADD", "100", "ALICE", "PC1",
                                                "", "QuorvatelHistory20171102.log:1"}));
    EXPECT_TRUE(
        Rows(lines).contains(QStringList{"2017/11/02 10:00:00", "REC", "0000", "QUORVATEL",
                                         "SHUTDOWN", "", "QuorvatelHistory20171102.log:9"}));
    tabs->setCurrentIndex(0);

    // A new line in the live file shows within a scan interval; still on counts up. The rows
    // the user picked stay picked, Erin's too, though her session ends.
    auto* sessionView = browser.findChild<QTableView*>(QStringLiteral("historySessions"));
    sessionView->selectionModel()->select(sessions.index(2, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    sessionView->selectionModel()->select(sessions.index(6, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    broker.LogOff(QStringLiteral("PC5"), QStringLiteral("500"));
    Scan("11:05:00");
    EXPECT_TRUE(QTest::qWaitFor([&] { return Rows(sessions).last()[4] != "still on"; }, kWaitMs));
    EXPECT_EQ(Rows(sessions).last(), (QStringList{"ERIN", "PC5", "500", "2017/11/02 10:52:00",
                                                  "2017/11/02 11:05:00", "0:13:00", ""}));
    QStringList picked;
    for (const QModelIndex& row : sessionView->selectionModel()->selectedRows())
        picked.append(sessions.index(row.row(), 0).data().toString());
    picked.sort();
    EXPECT_EQ(picked, (QStringList{"CAROL", "ERIN"}));
    sessionView->clearSelection();

    // Who was on at 10:35.
    browser.findChild<QDateTimeEdit*>("historyAt")
        ->setDateTime(QDateTime(QDate(2017, 11, 2), QTime(10, 35)));
    browser.findChild<QCheckBox*>("historyAtCheck")->setChecked(true);
    EXPECT_EQ(Users(sessions), (QStringList{"CAROL", "DAVE", "BOB"}));
    const QByteArray atExport = Export(QStringLiteral("at.csv"));
    EXPECT_EQ(Cli({"--at", "2017/11/02 10:35:00"}), atExport);
    browser.findChild<QCheckBox*>("historyAtCheck")->setChecked(false);

    // A filtered view exported: exactly its rows, RFC 4180.
    browser.findChild<QLineEdit*>("historyFilter")->setText(QStringLiteral("bob pc2"));
    EXPECT_EQ(browser.StatusText(), QStringLiteral("Showing 2 of 7 sessions"));
    EXPECT_EQ(Export(QStringLiteral("bob.csv")),
              "User,Machine,PID,Logged on,Logged off,Duration,Note\r\n"
              "BOB,PC2,200,2017/11/02 09:00:00,2017/11/02 09:40:00,0:40:00,\r\n"
              "BOB,PC2,201,2017/11/02 10:31:00,2017/11/02 10:40:00,0:09:00,\r\n");
    EXPECT_TRUE(browser.StatusText().contains(QStringLiteral("2 rows exported to ")));
    EXPECT_EQ(Cli({"--user", "Bo", "--from", "2017-11-02", "--to", "2017/11/02"}),
              Export(QStringLiteral("bob2.csv")));
    browser.findChild<QLineEdit*>("historyFilter")->clear();

    // The command line prints the same sessions as the whole view.
    EXPECT_EQ(Cli({"--from", "2017/11/02", "--to", "2017/11/02"}),
              Export(QStringLiteral("all.csv")));
    EXPECT_EQ(Cli({"--from", "2017/11/03"}),
              "User,Machine,PID,Logged on,Logged off,Duration,Note\r\n");

    // Closed and opened again, it shows what came meanwhile.
    browser.close();
    LogOn("erin", "PC5", "501", "2017/11/02 11:06:00");
    Scan("11:10:00");
    MenuAction(QStringLiteral("&History..."))->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return sessions.rowCount() == 8; }, kWaitMs));
    EXPECT_EQ(Rows(sessions).last(), (QStringList{"ERIN", "PC5", "501", "2017/11/02 11:06:00",
                                                  "still on", "0:04:00", ""}));
}

}  // namespace
