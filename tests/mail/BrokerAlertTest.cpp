#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include "FakeClock.h"
#include "FakeTools.h"
#include "RecordingPrompter.h"
#include "TestFiles.h"
#include "mail/BrokerAlert.h"
#include "mail/EmailSettings.h"
#include "mail/Mailer.h"
#include "scan/HistoryLog.h"
#include "scan/ScannerControl.h"

namespace {

const QString kVsend = QStringLiteral("vsend");

// Records the calls the alert makes of the scanner, with the history as it stood then.
class RecordingScanner : public ScannerControl {
public:
    explicit RecordingScanner(const QString& historyPath) : m_historyPath(historyPath) {}
    void PauseScanner() override { calls.append(QStringLiteral("pause")); }
    int RunScanCycle() override {
        calls.append(QStringLiteral("cycle"));
        historyAtCycle = ReadAll(m_historyPath);
        return 1;
    }
    QStringList calls;
    QByteArray historyAtCycle;

private:
    QString m_historyPath;
};

class BrokerAlertTest : public ::testing::Test {
protected:
    BrokerAlertTest()
        : history(clock, work.path()),
          scanner(history.Path()),
          launcher(prompter),
          mailer(launcher, prompter, clock, work.path(), &window),
          alert(scanner, history, mailer, clock, settings) {
        tools.Install(kVsend);
        history.Start(true);
        settings.alertsEnabled = true;
        settings.server = QStringLiteral("127.0.0.1");
        settings.port = QStringLiteral("2525");
        settings.from = QStringLiteral("quorvatel@example.com");
        settings.subject = QStringLiteral("Quorvatel Alert");
        settings.content = QStringLiteral("Broker Connect Failed. Tries=[TRIES]");
        for (const auto& [address, checked] :
             QList<std::pair<QString, int>>{{QStringLiteral("a@example.com"), 1},
                                            {QStringLiteral("b@example.com"), 0},
                                            {QStringLiteral("c@example.com"), 1},
                                            {QStringLiteral("d@example.com"), 2}}) {
            settings.alertRecipients.SetAt(address, CEmailObj(address, checked));
        }
    }

    // History lines with their time stamps blanked out (the fake clock moves on with every
    // pause of a send).
    static QStringList WithoutTimes(const QByteArray& text) {
        QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (QString& line : lines) line.replace(59, 19, QStringLiteral("T"));
        return lines;
    }
    QStringList HistoryLines() const { return WithoutTimes(ReadAll(history.Path())); }
    static QString Line(const char* address, bool sent) {
        return BrokerAlert::HistoryLine(QStringLiteral("T"), QString::fromLatin1(address), sent)
            .chopped(1);
    }

    FakeTools tools;
    QTemporaryDir work;
    QWidget window;
    FakeClock clock;
    HistoryLog history;
    RecordingScanner scanner;
    RecordingPrompter prompter;
    CommandLauncher launcher;
    Mailer mailer;
    EmailSettings settings;
    BrokerAlert alert;
};

TEST(BrokerAlertBodyTest, FirstBracketedTokenTakesTheCount) {
    EXPECT_EQ(
        BrokerAlert::ComposeAlertBody(QStringLiteral("Broker Connect Failed. Tries=[TRIES]"), 6),
        QStringLiteral("Broker Connect Failed. Tries=6"));
    EXPECT_EQ(BrokerAlert::ComposeAlertBody(QStringLiteral("[TRIES]"), 12), QStringLiteral("12"));
    EXPECT_EQ(BrokerAlert::ComposeAlertBody(QStringLiteral("[N] failures"), 3),
              QStringLiteral("3 failures"));
    EXPECT_EQ(BrokerAlert::ComposeAlertBody(QStringLiteral("Broker down"), 6),
              QStringLiteral("Broker down"));
    EXPECT_EQ(BrokerAlert::ComposeAlertBody(QStringLiteral("only [ open"), 6),
              QStringLiteral("only [ open"));
    EXPECT_EQ(BrokerAlert::ComposeAlertBody(QStringLiteral("x]y[z"), 6), QStringLiteral("x]y6y[z"));
    EXPECT_EQ(BrokerAlert::ComposeAlertBody(QStringLiteral("[a] and [b] at 100%"), 7),
              QStringLiteral("7 and [b] at 100%"));
}

TEST(BrokerAlertBodyTest, HistoryLineTimeStampStartsAtTheSessionLinesColumn) {
    const QString stamp = QStringLiteral("2017/03/05 07:04:09");
    const QString session =
        HistoryLog::SessionLine(QStringLiteral("REC : "), QStringLiteral("1"), QStringLiteral("U"),
                                QStringLiteral("M"), stamp);
    const QString line = BrokerAlert::HistoryLine(stamp, QStringLiteral("a@example.com"), true);
    EXPECT_EQ(line.indexOf(stamp), session.indexOf(stamp));
    EXPECT_EQ(line.indexOf(stamp), 59);
    EXPECT_TRUE(line.endsWith(QStringLiteral(" --> Sent Alert To: a@example.com\n")));
}

TEST_F(BrokerAlertTest, MailsEveryCheckedRecipientThenRecordsThenScansAgain) {
    alert.SendBrokerAlert(6);

    const QList<FakeTools::Run> runs = tools.Runs(kVsend);
    ASSERT_EQ(runs.size(), 3);
    QStringList recipients;
    for (const FakeTools::Run& r : runs) {
        recipients.append(r.args.value(0));
        EXPECT_EQ(r.args.mid(1),
                  (QStringList{QStringLiteral("-m"), QStringLiteral("127.0.0.1"),
                               QStringLiteral("-p"), QStringLiteral("2525"), QStringLiteral("-f"),
                               QStringLiteral("quorvatel@example.com"), QStringLiteral("-s"),
                               QStringLiteral("Quorvatel Alert")}));
        EXPECT_EQ(r.stdinData, QByteArray("Broker Connect Failed. Tries=6"));
    }
    recipients.sort();
    EXPECT_EQ(recipients,
              (QStringList{QStringLiteral("a@example.com"), QStringLiteral("c@example.com"),
                           QStringLiteral("d@example.com")}));

    const QStringList expected{Line("a@example.com", true), Line("c@example.com", true),
                               Line("d@example.com", true)};
    EXPECT_EQ(HistoryLines(), expected);
    EXPECT_EQ(scanner.calls, (QStringList{QStringLiteral("pause"), QStringLiteral("cycle")}));
    EXPECT_EQ(WithoutTimes(scanner.historyAtCycle), expected)
        << "every alert line is written before the next scan";
    EXPECT_EQ(settings.content, QStringLiteral("Broker Connect Failed. Tries=[TRIES]"));
    EXPECT_TRUE(prompter.shown.isEmpty());

    // The next alert is composed from the same template.
    alert.SendBrokerAlert(6);
    EXPECT_EQ(tools.Runs(kVsend).size(), 6);
    EXPECT_EQ(ReadAll(work.filePath(QStringLiteral("sendmail.txt"))),
              QByteArray("Broker Connect Failed. Tries=6"));
    EXPECT_EQ(HistoryLines().size(), 6);
}

TEST_F(BrokerAlertTest, FailedSendsAreRecordedAsFailedAndTheLoopGoesOn) {
    // The tool runs but reports failure for every recipient.
    tools.SetStatus(kVsend, 1);
    alert.SendBrokerAlert(6);
    EXPECT_EQ(tools.Runs(kVsend).size(), 3);
    EXPECT_EQ(HistoryLines(),
              (QStringList{Line("a@example.com", false), Line("c@example.com", false),
                           Line("d@example.com", false)}));

    // An empty server stops every send before the tool, with one message each.
    settings.server.clear();
    alert.SendBrokerAlert(6);
    EXPECT_EQ(tools.Runs(kVsend).size(), 3);
    EXPECT_EQ(prompter.Texts(), QStringList(3, QString::fromLatin1(Mailer::kServerNotSet)));
    EXPECT_EQ(HistoryLines().size(), 6);
    EXPECT_TRUE(
        HistoryLines().last().endsWith(QStringLiteral(" --> Alert Send Failed To: d@example.com")));
    EXPECT_EQ(scanner.calls.count(QStringLiteral("cycle")), 2);
}

// A scanner whose every scan fails at once with a limit of 1: the hook fires from inside the
// scan the alert starts.
class FailingScanner : public ScannerControl {
public:
    void PauseScanner() override {}
    int RunScanCycle() override {
        if (++cycles < 50 && hook) hook(1);
        return 0;
    }
    std::function<void(int)> hook;
    int cycles = 0;
};

TEST_F(BrokerAlertTest, AnAlertRaisedByItsOwnRescanIsNotSentAndStartsNoScan) {
    FailingScanner failing;
    BrokerAlert limitOne(failing, history, mailer, clock, settings);
    failing.hook = limitOne.Hook();
    limitOne.SendBrokerAlert(1);
    EXPECT_EQ(failing.cycles, 1);
    EXPECT_EQ(tools.Runs(kVsend).size(), 3);
    EXPECT_EQ(HistoryLines().size(), 3);

    // The next failure of the timer's scan alerts again.
    limitOne.SendBrokerAlert(1);
    EXPECT_EQ(failing.cycles, 2);
    EXPECT_EQ(tools.Runs(kVsend).size(), 6);
}

TEST_F(BrokerAlertTest, DisabledAlertsDoNothingAtAll) {
    settings.alertsEnabled = false;
    alert.SendBrokerAlert(6);
    EXPECT_TRUE(scanner.calls.isEmpty());
    EXPECT_TRUE(tools.Runs(kVsend).isEmpty());
    EXPECT_TRUE(HistoryLines().isEmpty());
    QDir dir(work.path());
    EXPECT_EQ(dir.entryList(QDir::Files), QStringList{QString::fromLatin1(HistoryLog::kFileName)});
}

TEST_F(BrokerAlertTest, UnwritableBodyShowsItsMessageSendsNothingAndStillScans) {
    ASSERT_TRUE(QDir(work.path()).mkdir(QStringLiteral("sendmail.txt")));
    alert.SendBrokerAlert(6);
    EXPECT_EQ(prompter.Texts(),
              QStringList{QStringLiteral("Failed to write content message to sendmail.txt!")});
    EXPECT_TRUE(tools.Runs(kVsend).isEmpty());
    EXPECT_TRUE(HistoryLines().isEmpty());
    EXPECT_EQ(scanner.calls, (QStringList{QStringLiteral("pause"), QStringLiteral("cycle")}));
}

TEST_F(BrokerAlertTest, NoCheckedRecipientSendsNothingButScansAgain) {
    settings.alertRecipients.RemoveAll();
    settings.alertRecipients.SetAt(QStringLiteral("b@example.com"),
                                   CEmailObj(QStringLiteral("b@example.com"), 0));
    alert.Hook()(9);
    EXPECT_TRUE(tools.Runs(kVsend).isEmpty());
    EXPECT_TRUE(HistoryLines().isEmpty());
    EXPECT_EQ(ReadAll(work.filePath(QStringLiteral("sendmail.txt"))),
              QByteArray("Broker Connect Failed. Tries=9"));
    EXPECT_EQ(scanner.calls, (QStringList{QStringLiteral("pause"), QStringLiteral("cycle")}));
}

}  // namespace
