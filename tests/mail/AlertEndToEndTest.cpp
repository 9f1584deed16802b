#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QWidget>

#include "FakeClock.h"
#include "RecordingPrompter.h"
#include "SimBroker.h"
#include "SmtpSink.h"
#include "TestFiles.h"
#include "app/Timestamp.h"
#include "controls/GridCtrl.h"
#include "exec/CommandLauncher.h"
#include "mail/BrokerAlert.h"
#include "mail/BrokerRecovery.h"
#include "mail/EmailSettings.h"
#include "mail/Mailer.h"
#include "scan/HistoryLog.h"
#include "scan/ScanEngine.h"

// The scanner, the alert mail and the stand-in tools together: a Broker that is down, a real
// SMTP server, and the history a user would read afterwards.
namespace {

class AlertEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        broker.Create();
        broker.Condition({QStringLiteral("down")});
        ASSERT_TRUE(QDir(broker.Root()).mkdir(QStringLiteral("sink")));
        ASSERT_TRUE(sink.Start(broker.Root() + QStringLiteral("/sink")))
            << sink.ErrorText().toStdString();

        history.Start(true);
        settings.alertsEnabled = true;
        settings.contigFailLimit = 6;
        settings.server = QStringLiteral("127.0.0.1");
        settings.port = QString::number(sink.Port());
        settings.from = QStringLiteral("quorvatel@example.com");
        settings.subject = QStringLiteral("Quorvatel Alert");
        settings.content = QStringLiteral("Broker Connect Failed. Tries=[TRIES]");
        for (const char* to : {"ops@example.com", "dba@example.com", "oncall@example.com"})
            settings.alertRecipients.SetAt(QString::fromLatin1(to),
                                           CEmailObj{QString::fromLatin1(to), 1});
        settings.alertRecipients.SetAt(QStringLiteral("nobody@example.com"),
                                       CEmailObj{QStringLiteral("nobody@example.com"), 0});

        ScanSettings s;
        s.broker = QString::fromLatin1(SimBroker::kBroker);
        s.adminUserId = QString::fromLatin1(SimBroker::kAdmin);
        s.adminPassword = QString::fromLatin1(SimBroker::kPassword);
        engine.SetSettings(s);
        engine.SetContigFailLimit(settings.contigFailLimit);
        engine.SetAlertHook(alert.Hook());
        // The Broker may come back while the alert's mails go out, so that the scan that
        // follows the alert already finds it answering.
        alert.SetSentHook([this] {
            recovery.AlertSent();
            if (upAfterAlert) broker.Condition({QStringLiteral("up")});
        });
        QObject::connect(&engine, &ScanEngine::ScanCounted, [this](bool answered, int) {
            if (answered)
                recovery.ScanAnswered();
            else
                recovery.ScanFailed();
        });
        engine.StartScanning();  // failure 1
    }

    QStringList AlertLines(const QString& kind = QStringLiteral(" --> ")) const {
        QStringList out;
        for (const QString& line :
             QString::fromUtf8(ReadAll(history.Path())).split(QLatin1Char('\n')))
            if (line.contains(kind)) out.append(line);
        return out;
    }

    SimBroker broker;
    SmtpSink sink;
    FakeClock clock;
    RecordingPrompter prompter;
    CommandLauncher launcher{prompter};
    HistoryLog history{clock, broker.WorkDir()};
    QWidget window;
    CGridCtrl grid;
    ScanEngine engine{grid.Model(), &grid, launcher, history, clock, prompter, broker.WorkDir()};
    Mailer mailer{launcher, prompter, clock, broker.WorkDir(), &window};
    EmailSettings settings;
    BrokerAlert alert{engine, history, mailer, clock, settings};
    BrokerRecovery recovery{history, mailer, clock, settings};
    bool upAfterAlert = false;
};

TEST_F(AlertEndToEndTest, SixthAndTwelfthFailuresMailEveryCheckedRecipient) {
    for (int failure = 2; failure <= 5; ++failure) engine.RunScanCycle();
    EXPECT_TRUE(sink.Messages().isEmpty());
    engine.RunScanCycle();  // the sixth
    ASSERT_TRUE(sink.WaitForMessages(3, 10000));
    QStringList recipients;
    for (const auto& m : sink.Messages()) {
        recipients.append(m.rcptTos);
        EXPECT_EQ(m.mailFrom, QStringLiteral("quorvatel@example.com"));
        EXPECT_TRUE(m.data.contains("\r\nSubject: Quorvatel Alert\r\n"));
        EXPECT_EQ(m.Body().trimmed(), QByteArray("Broker Connect Failed. Tries=6"));
    }
    recipients.sort();
    EXPECT_EQ(recipients,
              (QStringList{"dba@example.com", "oncall@example.com", "ops@example.com"}));
    const QStringList lines = AlertLines();
    ASSERT_EQ(lines.size(), 3);
    // The wait window's pauses move the fake clock on by a second per mail.
    const QRegularExpression shape(QStringLiteral(
        "^REC : PID=Error NAME=Broker MN=Failed to Respond {11}2017/03/05 07:04:\\d\\d --> Sent "
        "Alert To: [a-z]+@example\\.com$"));
    for (const QString& line : lines)
        EXPECT_TRUE(shape.match(line).hasMatch()) << line.toStdString();
    const QByteArray dispatch = ReadAll(broker.WorkDir() + QStringLiteral("/sendmail.log"));
    EXPECT_TRUE(dispatch.startsWith("vsend "));
    EXPECT_TRUE(
        dispatch.contains(" -s \"Quorvatel Alert\" < \"sendmail.txt\" > vsend.log    rc=0"));
    EXPECT_FALSE(dispatch.endsWith('\n'));
    EXPECT_EQ(engine.ContigFailCount(), 1) << "the cycle after the alert counts afresh";

    for (int failure = 8; failure <= 12; ++failure) engine.RunScanCycle();
    ASSERT_TRUE(sink.WaitForMessages(6, 10000));
    EXPECT_EQ(sink.Messages().size(), 6);
    EXPECT_EQ(AlertLines().size(), 6);
    for (const auto& m : sink.Messages())
        EXPECT_TRUE(m.data.trimmed().endsWith("Broker Connect Failed. Tries=6"));
}

TEST_F(AlertEndToEndTest, MailServerDownLeavesFailedLinesAndScanningGoesOn) {
    sink.Stop();
    for (int failure = 2; failure <= 6; ++failure) engine.RunScanCycle();
    const QStringList lines = AlertLines();
    ASSERT_EQ(lines.size(), 3);
    for (const QString& line : lines)
        EXPECT_TRUE(line.contains(QStringLiteral(" --> Alert Send Failed To: ")))
            << line.toStdString();
    EXPECT_TRUE(engine.Scanning());
    EXPECT_EQ(engine.Status(ScanStatus::Scanner), QStringLiteral("\nScanning"));
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.Texts().join('\n').toStdString();

    // Nobody may be at the screen: the mail's own messages do not wait for the user either.
    settings.server.clear();
    for (int failure = 8; failure <= 12; ++failure) engine.RunScanCycle();
    EXPECT_EQ(prompter.Texts(), QStringList(3, Mailer::kServerNotSet));
    for (const RecordingPrompter::Shown& box : prompter.shown)
        EXPECT_EQ(box.kind, RecordingPrompter::Kind::Notice);
}

// Short and long outages, recovery mail switched off and on, and a mail server that is gone:
// what the recipients get and what the history shows each time.
TEST_F(AlertEndToEndTest, BrokerAnsweringAgainAfterAnAlertMailsTheRecipients) {
    broker.AddUser(QStringLiteral("alice"));
    broker.LogOn(QStringLiteral("alice"), QStringLiteral("PC1"), QStringLiteral("100"),
                 QStringLiteral("2017/03/05 06:00:00"));
    const auto down = [this](int scans) {
        broker.Condition({QStringLiteral("down")});
        for (int i = 0; i < scans; ++i) engine.RunScanCycle();
    };
    const auto up = [this] {
        broker.Condition({QStringLiteral("up")});
        engine.RunScanCycle();
    };
    const auto recoveryMails = [this] {
        QList<SmtpSink::Message> out;
        for (const auto& m : sink.Messages())
            if (m.Header("Subject") == "Quorvatel Alert - Recovered") out.append(m);
        return out;
    };

    // Two failures more than the one of the start, fewer than the limit: no alert, and the
    // Broker answering again is nothing to report.
    down(2);
    up();
    EXPECT_EQ(engine.Status(ScanStatus::SessionCount), QStringLiteral("1"));
    EXPECT_EQ(recovery.RunFailures(), 0);
    EXPECT_TRUE(sink.Messages().isEmpty());
    EXPECT_TRUE(AlertLines().isEmpty());

    // Down for six scans: one alert round; the Broker is back for the scan after it.
    clock.Advance(60000);
    const QString downSince = CurrentTimestamp(clock);
    upAfterAlert = true;
    down(6);
    ASSERT_TRUE(sink.WaitForMessages(6, 10000));
    const QList<SmtpSink::Message> recovered = recoveryMails();
    ASSERT_EQ(recovered.size(), 3);
    QStringList recipients;
    for (const auto& m : recovered) {
        recipients.append(m.rcptTos);
        EXPECT_EQ(m.Body().trimmed(),
                  ("Broker Connect Restored after 6 failed tries. Down since " + downSince + ".")
                      .toUtf8());
    }
    recipients.sort();
    EXPECT_EQ(recipients,
              (QStringList{"dba@example.com", "oncall@example.com", "ops@example.com"}));
    QStringList lines = AlertLines();
    ASSERT_EQ(lines.size(), 6);
    const QRegularExpression shape(
        QStringLiteral("^REC : PID=Error NAME=Broker MN=Answering Again {13}\\d{4}/\\d\\d/\\d\\d "
                       "\\d\\d:\\d\\d:\\d\\d --> Sent Recovery To: [a-z]+@example\\.com$"));
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(lines[i].contains(QStringLiteral(" --> Sent Alert To: ")));
        EXPECT_TRUE(shape.match(lines[i + 3]).hasMatch()) << lines[i + 3].toStdString();
        // The time stamps stand in one column.
        EXPECT_EQ(lines[i + 3].indexOf(QStringLiteral("2017/")), lines[i].indexOf("2017/"));
    }
    EXPECT_TRUE(engine.Scanning());

    // With recovery mail off, the next outage leaves only its alert.
    settings.recoveryEnabled = false;
    down(6);
    ASSERT_TRUE(sink.WaitForMessages(9, 10000));
    EXPECT_EQ(engine.Status(ScanStatus::SessionCount), QStringLiteral("1"));
    EXPECT_EQ(AlertLines(QStringLiteral("Sent Alert To")).size(), 6);
    EXPECT_EQ(AlertLines(QStringLiteral("Recovery")).size(), 3);

    // With the mail server gone, each recipient's recovery mail shows as failed.
    settings.recoveryEnabled = true;
    sink.Stop();
    down(6);
    EXPECT_EQ(AlertLines(QStringLiteral(" --> Alert Send Failed To: ")).size(), 3);
    lines = AlertLines(QStringLiteral(" --> Recovery Send Failed To: "));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(QString::fromLatin1(BrokerRecovery::kLineHead)));
    EXPECT_EQ(recoveryMails().size(), 3);
    EXPECT_TRUE(engine.Scanning());
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.Texts().join('\n').toStdString();
}

}  // namespace
