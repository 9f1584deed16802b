#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include "FakeClock.h"
#include "RecordingPrompter.h"
#include "SmtpSink.h"
#include "TestFiles.h"
#include "mail/BrokerAlert.h"
#include "mail/EmailSettings.h"
#include "mail/Mailer.h"
#include "scan/HistoryLog.h"
#include "scan/ScannerControl.h"

namespace {

class CountingScanner : public ScannerControl {
public:
    void PauseScanner() override { ++pauses; }
    int RunScanCycle() override { return ++cycles, 1; }
    int pauses = 0;
    int cycles = 0;
};

// The stand-in mail tool first on PATH, a real SMTP server on 127.0.0.1.
class MailSmtpTest : public ::testing::Test {
protected:
    MailSmtpTest()
        : m_oldPath(qgetenv("PATH")),
          history(clock, work.path()),
          launcher(prompter),
          mailer(launcher, prompter, clock, work.path(), &window),
          alert(scanner, history, mailer, clock, settings) {
        qputenv("PATH", QByteArray(QV_SIM_BIN_DIR) + ':' + m_oldPath);
    }
    ~MailSmtpTest() override { qputenv("PATH", m_oldPath); }

    void SetUp() override {
        ASSERT_TRUE(QFile::exists(QStringLiteral(QV_SIM_BIN_DIR "/vsend")));
        ASSERT_TRUE(QDir(work.path()).mkdir(QStringLiteral("sink")));
        ASSERT_TRUE(sink.Start(work.filePath(QStringLiteral("sink"))))
            << sink.ErrorText().toStdString();
        history.Start(true);
        settings.server = QStringLiteral("127.0.0.1");
        settings.port = QString::number(sink.Port());
        settings.from = QStringLiteral("quorvatel@example.com");
        settings.subject = QStringLiteral("Quorvatel Alert");
        settings.content = QStringLiteral("Broker Connect Failed. Tries=[TRIES]");
    }

    QStringList HistoryLines() const {
        return QString::fromUtf8(ReadAll(history.Path()))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QByteArray m_oldPath;
    QTemporaryDir work;
    QWidget window;
    SmtpSink sink;
    FakeClock clock;
    HistoryLog history;
    CountingScanner scanner;
    RecordingPrompter prompter;
    CommandLauncher launcher;
    Mailer mailer;
    EmailSettings settings;
    BrokerAlert alert;
};

TEST_F(MailSmtpTest, QuotesBlanksAndShellSyntaxArriveAsTypedAndRunNothing) {
    const QString marker = work.filePath(QStringLiteral("pwned"));
    const QString to = QStringLiteral("\"Ann O'Neil; touch ") + marker +
                       QStringLiteral(" | $(touch ") + marker +
                       QStringLiteral(") `id` & tee x\"@example.com");
    const QString subject = QStringLiteral("He said \"stop\"; touch ") + marker +
                            QStringLiteral(" && echo $HOME > x 100% %s");
    const int result = mailer.SendEmail(to, settings.server, settings.port, settings.from, subject,
                                        QStringLiteral("body at 50%"));
    EXPECT_EQ(result, Mailer::kSent)
        << ReadAll(work.filePath(QStringLiteral("vsend.log"))).toStdString();
    ASSERT_TRUE(sink.WaitForMessages(1));
    const SmtpSink::Message m = sink.Messages().first();
    EXPECT_EQ(m.rcptTos, QStringList{to});
    EXPECT_EQ(m.Header("To"), to.toUtf8());
    EXPECT_EQ(m.Header("Subject"), subject.toUtf8());
    EXPECT_EQ(m.Body().trimmed(), QByteArray("body at 50%"));
    EXPECT_FALSE(QFile::exists(marker));
    EXPECT_FALSE(QFile::exists(work.filePath(QStringLiteral("x"))));
    EXPECT_FALSE(QFile::exists(QStringLiteral("x")));
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST_F(MailSmtpTest, AlertReachesEveryCheckedRecipientAndFailuresAreRecordedWhenTheServerIsGone) {
    settings.alertsEnabled = true;
    for (const auto& [address, checked] :
         QList<std::pair<QString, int>>{{QStringLiteral("ann@example.com"), 1},
                                        {QStringLiteral("bob@example.com"), 0},
                                        {QStringLiteral("cy@example.com"), 1},
                                        {QStringLiteral("di@example.com"), 1}}) {
        settings.alertRecipients.SetAt(address, CEmailObj(address, checked));
    }

    alert.SendBrokerAlert(6);
    ASSERT_TRUE(sink.WaitForMessages(3));
    QList<SmtpSink::Message> messages = sink.Messages();
    ASSERT_EQ(messages.size(), 3);
    QStringList recipients;
    for (const SmtpSink::Message& m : messages) {
        recipients += m.rcptTos;
        EXPECT_EQ(m.mailFrom, QStringLiteral("quorvatel@example.com"));
        EXPECT_EQ(m.Header("Subject"), QByteArray("Quorvatel Alert"));
        EXPECT_EQ(m.Body().trimmed(), QByteArray("Broker Connect Failed. Tries=6"));
    }
    recipients.sort();
    EXPECT_EQ(recipients,
              (QStringList{QStringLiteral("ann@example.com"), QStringLiteral("cy@example.com"),
                           QStringLiteral("di@example.com")}));
    EXPECT_EQ(HistoryLines().filter(QStringLiteral(" --> Sent Alert To: ")).size(), 3);
    const QByteArray log = ReadAll(work.filePath(QStringLiteral("sendmail.log")));
    EXPECT_TRUE(log.startsWith("vsend di@example.com -m 127.0.0.1 -p "));
    EXPECT_TRUE(
        log.endsWith(" -f quorvatel@example.com -s \"Quorvatel Alert\" < \"sendmail.txt\" "
                     "> vsend.log    rc=0 exit=0"))
        << log.toStdString();
    EXPECT_EQ(scanner.cycles, 1);

    // The next alert carries the same count; then the server goes away.
    alert.SendBrokerAlert(6);
    ASSERT_TRUE(sink.WaitForMessages(6));
    EXPECT_EQ(sink.Messages().last().Body().trimmed(),
              QByteArray("Broker Connect Failed. Tries=6"));
    sink.Stop();
    alert.SendBrokerAlert(6);
    const QStringList lines = HistoryLines();
    EXPECT_EQ(lines.filter(QStringLiteral(" --> Sent Alert To: ")).size(), 6);
    EXPECT_EQ(lines.filter(QStringLiteral(" --> Alert Send Failed To: ")).size(), 3);
    EXPECT_TRUE(ReadAll(work.filePath(QStringLiteral("sendmail.log"))).endsWith("    rc=0 exit=1"));
    EXPECT_EQ(scanner.pauses, 3);
    EXPECT_EQ(scanner.cycles, 3) << "scanning goes on after every alert";
    EXPECT_TRUE(prompter.shown.isEmpty());
}

}  // namespace
