#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <sys/stat.h>

#include "FakeClock.h"
#include "FakeTools.h"
#include "RecordingPrompter.h"
#include "TestFiles.h"
#include "mail/EmailSettings.h"
#include "mail/EmailWaitDlg.h"
#include "mail/Mailer.h"

namespace {

const QString kVsend = QStringLiteral("vsend");

class MailerTest : public ::testing::Test {
protected:
    MailerTest() : launcher(prompter), mailer(launcher, prompter, clock, work.path(), &window) {
        tools.Install(kVsend);
        settings.server = QStringLiteral("smtp.example.com");
        settings.port = QStringLiteral("2525");
        settings.from = QStringLiteral("monitor@example.com");
        settings.subject = QStringLiteral("Quorvatel Alert");
        settings.content = QStringLiteral("Broker Connect Failed. Tries=[TRIES]");
    }

    QString WorkFile(const char* name) const { return work.filePath(QString::fromLatin1(name)); }
    QStringList ExpectedArgs(const QString& to, const QString& subject) const {
        return {to,
                QStringLiteral("-m"),
                settings.server,
                QStringLiteral("-p"),
                settings.port,
                QStringLiteral("-f"),
                settings.from,
                QStringLiteral("-s"),
                subject};
    }

    FakeTools tools;
    QTemporaryDir work;
    QWidget window;
    RecordingPrompter prompter;
    FakeClock clock;
    CommandLauncher launcher;
    Mailer mailer;
    EmailSettings settings;
};

TEST_F(MailerTest, FirstMissingValueStopsEachFormWithItsMessageAndTouchesNothing) {
    const QString s = QStringLiteral("x");
    const QString none;
    struct Case {
        std::function<int()> send;
        const char* message;
    };
    EmailSettings noServer = settings;
    noServer.server.clear();
    noServer.port.clear();
    EmailSettings noFrom = settings;
    noFrom.from.clear();
    noFrom.subject.clear();
    EmailSettings noSubject = settings;
    noSubject.subject.clear();
    noSubject.content.clear();
    EmailSettings noContent = settings;
    noContent.content.clear();
    const QList<Case> cases{
        // Dialog test form: To, Server, Port, From, Subject, Content.
        {[&] { return mailer.SendEmail(none, none, none, none, none, none); }, Mailer::kToNotSet},
        {[&] { return mailer.SendEmail(s, none, none, none, none, none); }, Mailer::kServerNotSet},
        {[&] { return mailer.SendEmail(s, s, none, none, none, none); }, Mailer::kPortNotSet},
        {[&] { return mailer.SendEmail(s, s, s, none, none, none); }, Mailer::kFromNotSet},
        {[&] { return mailer.SendEmail(s, s, s, s, none, none); }, Mailer::kSubjectNotSet},
        {[&] { return mailer.SendEmail(s, s, s, s, s, none); }, Mailer::kContentNotSet},
        // Main-window form: To, Server, Port, From, Subject (the body is the caller's).
        {[&] { return mailer.SendEmail(none, none, noServer); }, Mailer::kToNotSet},
        {[&] { return mailer.SendEmail(s, none, noServer); }, Mailer::kServerNotSet},
        {[&] { return mailer.SendEmail(s, none, noFrom); }, Mailer::kFromNotSet},
        {[&] { return mailer.SendEmail(s, none, settings); }, Mailer::kSubjectNotSet},
        // Alert form: To, Server, Port, From, Subject, Content.
        {[&] { return mailer.SendEmail(none, noServer); }, Mailer::kToNotSet},
        {[&] { return mailer.SendEmail(s, noServer); }, Mailer::kServerNotSet},
        {[&] { return mailer.SendEmail(s, noFrom); }, Mailer::kFromNotSet},
        {[&] { return mailer.SendEmail(s, noSubject); }, Mailer::kSubjectNotSet},
        {[&] { return mailer.SendEmail(s, noContent); }, Mailer::kContentNotSet},
    };
    for (const Case& c : cases) {
        prompter.shown.clear();
        EXPECT_EQ(c.send(), Mailer::kNotAttempted) << c.message;
        ASSERT_EQ(prompter.shown.size(), 1) << c.message;
        EXPECT_EQ(prompter.shown[0].kind, RecordingPrompter::Kind::Warning);
        EXPECT_EQ(prompter.shown[0].text, QString::fromLatin1(c.message));
    }
    EXPECT_TRUE(tools.Runs(kVsend).isEmpty());
    EXPECT_TRUE(QDir(work.path()).isEmpty()) << "no content file, dispatch log or tool output";
    EXPECT_TRUE(window.isEnabled());
    // Only emptiness counts: a blank is a value.
    ASSERT_TRUE(mailer.WriteContentFile(QStringLiteral("body")));
    EXPECT_EQ(mailer.SendEmail(QStringLiteral(" "), settings), Mailer::kSent);
}

TEST_F(MailerTest, TestMailWritesTheBodyRunsTheToolAndLogsTheLastCommand) {
    const QString body = QStringLiteral("Disk 50% full; 100%d %s %1 done");
    const QString subject = QStringLiteral("Load 90% %d");
    const int result = mailer.SendEmail(QStringLiteral("a@example.com"), settings.server,
                                        settings.port, settings.from, subject, body);
    EXPECT_EQ(result, Mailer::kSent);
    EXPECT_TRUE(prompter.shown.isEmpty());

    EXPECT_EQ(ReadAll(WorkFile("sendmail.txt")), body.toUtf8()) << "exactly, no line end";
    const QList<FakeTools::Run> runs = tools.Runs(kVsend);
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].args, ExpectedArgs(QStringLiteral("a@example.com"), subject));
    EXPECT_EQ(runs[0].stdinData, body.toUtf8());
    EXPECT_EQ(ReadAll(WorkFile("vsend.log")), QByteArray("vsend ran\n"));
    EXPECT_EQ(ReadAll(WorkFile("sendmail.log")),
              QByteArray("vsend a@example.com -m smtp.example.com -p 2525 -f monitor@example.com "
                         "-s \"Load 90% %d\" < \"sendmail.txt\" > vsend.log    rc=0 exit=0"));
    // Half a second at the full bar, half a second before the window closes.
    EXPECT_EQ(clock.TotalSleptMs(), 1000);
    EXPECT_TRUE(window.isEnabled());
}

TEST_F(MailerTest, MainWindowAndAlertFormsLeaveTheCallersBodyAlone) {
    ASSERT_TRUE(mailer.WriteContentFile(QStringLiteral("written by the caller")));
    EXPECT_EQ(mailer.SendEmail(QStringLiteral("b@example.com"), QStringLiteral("Notice"), settings),
              Mailer::kSent);
    EXPECT_EQ(mailer.SendEmail(QStringLiteral("c@example.com"), settings), Mailer::kSent);
    EXPECT_EQ(ReadAll(WorkFile("sendmail.txt")), QByteArray("written by the caller"));
    const QList<FakeTools::Run> runs = tools.Runs(kVsend);
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0].args,
              ExpectedArgs(QStringLiteral("b@example.com"), QStringLiteral("Notice")));
    EXPECT_EQ(runs[1].args, ExpectedArgs(QStringLiteral("c@example.com"), settings.subject));
    EXPECT_EQ(runs[1].stdinData, QByteArray("written by the caller"));
    EXPECT_TRUE(ReadAll(WorkFile("sendmail.log")).startsWith("vsend c@example.com "))
        << "the log keeps the last run only";
}

TEST_F(MailerTest, ToolFailuresAreReportedAndLoggedNeverCountedAsSent) {
    ASSERT_TRUE(mailer.WriteContentFile(QStringLiteral("body")));
    tools.SetStatus(kVsend, 1);
    EXPECT_EQ(mailer.SendEmail(QStringLiteral("a@example.com"), settings), Mailer::kToolFailed);
    EXPECT_TRUE(ReadAll(WorkFile("sendmail.log")).endsWith("    rc=0 exit=1"));
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_FALSE(Mailer::Sent(Mailer::kToolFailed));

    // A hung tool is stopped at the launcher's limit; the log records -9, nothing is shown.
    tools.SetStatus(kVsend, 0);
    tools.SetDelay(kVsend, "30");
    launcher.SetTimeoutMs(300);
    EXPECT_EQ(mailer.SendEmail(QStringLiteral("a@example.com"), settings),
              CommandLauncher::kTimedOut);
    EXPECT_TRUE(
        ReadAll(WorkFile("sendmail.log")).endsWith("\" < \"sendmail.txt\" > vsend.log    rc=-9"));
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_TRUE(window.isEnabled());
}

TEST_F(MailerTest, MissingToolShowsTheCommandAndLogsItsCode) {
    QFile::remove(tools.Path(kVsend));
    EXPECT_EQ(mailer.SendEmail(QStringLiteral("a@example.com"), settings),
              CommandLauncher::kNotFound);
    const QString display =
        Mailer::ComposeCommand(QStringLiteral("a@example.com"), settings.server, settings.port,
                               settings.from, settings.subject, work.path())
            .display;
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].text, CommandLauncher::NotFoundMessage(display));
    EXPECT_EQ(ReadAll(WorkFile("sendmail.log")), (display + QStringLiteral("    rc=-2")).toUtf8());
}

TEST_F(MailerTest, UnwritableContentFileStopsTheTestMailBeforeTheTool) {
    ASSERT_TRUE(QDir(work.path()).mkdir(QStringLiteral("sendmail.txt")));
    EXPECT_EQ(mailer.SendEmail(QStringLiteral("a@example.com"), settings.server, settings.port,
                               settings.from, settings.subject, QStringLiteral("body")),
              Mailer::kNotAttempted);
    EXPECT_EQ(prompter.Texts(), QStringList{QString::fromLatin1(Mailer::kContentWriteFailed)});
    EXPECT_TRUE(tools.Runs(kVsend).isEmpty());
    EXPECT_FALSE(QFile::exists(WorkFile("sendmail.log")));
}

TEST_F(MailerTest, ShellSyntaxInValuesIsPassedAsTypedAndNeverRuns) {
    ASSERT_TRUE(mailer.WriteContentFile(QStringLiteral("body")));
    const QString marker = work.filePath(QStringLiteral("pwned"));
    const QString to = QStringLiteral("\"Ann O'Neil\" <ann@example.com>; touch ") + marker;
    const QString subject = QStringLiteral("a \"quoted\" `touch ") + marker +
                            QStringLiteral("` $(touch ") + marker + QStringLiteral(") | & > x");
    EXPECT_EQ(mailer.SendEmail(to, subject, settings), Mailer::kSent);
    const QList<FakeTools::Run> runs = tools.Runs(kVsend);
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].args, ExpectedArgs(to, subject));
    EXPECT_FALSE(QFile::exists(marker));
    EXPECT_FALSE(QFile::exists(work.filePath(QStringLiteral("x"))));
}

TEST_F(MailerTest, MainWindowIsDisabledAndTheWaitWindowShownWhileTheToolRuns) {
    ASSERT_TRUE(mailer.WriteContentFile(QStringLiteral("body")));
    tools.SetDelay(kVsend, "0.4");
    bool sawWindowDisabled = false;
    QString status;
    int position = -1;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* wait = qobject_cast<CEmailWaitDlg*>(w);
            if (!wait || !wait->isVisible()) continue;
            sawWindowDisabled = !window.isEnabled();
            status = wait->StatusText();
            position = wait->ProgressBar()->value();
            EXPECT_EQ(wait->windowTitle(), QStringLiteral("Sending Email...."));
            EXPECT_TRUE(wait->isEnabled());
        }
    });
    probe.start(50);
    EXPECT_EQ(mailer.SendEmail(QStringLiteral("a@example.com"), settings), Mailer::kSent);
    probe.stop();
    EXPECT_TRUE(sawWindowDisabled);
    EXPECT_EQ(status, QStringLiteral("Sending Email .... a@example.com"));
    EXPECT_EQ(position, 50);
    EXPECT_TRUE(window.isEnabled());
    for (QWidget* w : QApplication::topLevelWidgets()) {
        EXPECT_EQ(qobject_cast<CEmailWaitDlg*>(w), nullptr) << "the wait window is gone";
    }
}

// FIFOs left where the body and the tool's output go would hold the send before the tool
// starts: both are replaced.
TEST_F(MailerTest, FifosLeftInPlaceOfTheMailFilesHoldNothingUp) {
    for (const char* name : {"sendmail.txt", "vsend.log"})
        ASSERT_EQ(::mkfifo(QFile::encodeName(WorkFile(name)).constData(), 0600), 0);
    const QString x = QStringLiteral("x");
    EXPECT_EQ(mailer.SendEmail(QStringLiteral("a@example.com"), x, x, x, x, x), Mailer::kSent);
    EXPECT_EQ(tools.Runs(kVsend).value(0).stdinData, QByteArray("x"));
    EXPECT_EQ(ReadAll(WorkFile("vsend.log")), QByteArray("vsend ran\n"));
}

}  // namespace
