#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>

#include "MonitorFixture.h"
#include "SmtpSink.h"
#include "app/RecipientListStore.h"
#include "controls/RichEditCtrlEx.h"
#include "mail/EmailComposeDlg.h"

// Broadcasts and messages to one user, as the administrator sends them from the monitor
// window: the simulated Broker's sessions, the stand-in SQL and mail tools, a real SMTP
// server, and the history and mail that result.
namespace {

class BroadcastEndToEndTest : public MonitorFixture {
protected:
    void SetUp() override {
        MonitorFixture::SetUp();
        ASSERT_TRUE(QDir(broker.Root()).mkdir(QStringLiteral("sink")));
        ASSERT_TRUE(sink.Start(broker.Root() + QStringLiteral("/sink")))
            << sink.ErrorText().toStdString();
        StoreProfile();
        SettingsStore store(SettingsPath());
        AppSettings s(store);
        s.SetText(Setting::EmailServer, QStringLiteral("127.0.0.1"));
        s.SetText(Setting::EmailPort, QString::number(sink.Port()));
        s.SetText(Setting::EmailFrom, QStringLiteral("quorvatel@example.com"));
    }

    void StoreList(const char* section, const QList<RecipientEntry>& entries) {
        SettingsStore store(SettingsPath());
        WriteRecipientEntries(store, QString::fromLatin1(section), entries);
    }

    // Fills the named boxes of a compose dialog and presses Send.
    static void Fill(QDialog& dialog, const QMap<QString, QString>& boxes) {
        for (auto it = boxes.cbegin(); it != boxes.cend(); ++it) {
            if (auto* edit = dialog.findChild<QLineEdit*>(it.key()))
                edit->setText(it.value());
            else if (auto* message = dialog.findChild<CRichEditCtrlEx*>(it.key()))
                message->SetText(it.value());
            else
                ADD_FAILURE() << "no box " << it.key().toStdString();
        }
    }
    static int Send(QDialog& dialog) {
        static_cast<CEmailComposeDlg&>(dialog).SendButton()->click();
        return dialog.result();
    }
    std::function<int(QDialog&)> ComposeAndSend(const QMap<QString, QString>& boxes) {
        return [this, boxes](QDialog& dialog) {
            focusAtOpen.append(dialog.focusWidget() ? dialog.focusWidget()->objectName()
                                                    : QString());
            Fill(dialog, boxes);
            return Send(dialog);
        };
    }

    // The history from the last line starting with `head` on, time stamps shown as "<ts>".
    QStringList LinesFrom(const QString& head) const {
        const QStringList lines = HistoryLines();
        qsizetype from = -1;
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (lines[i].startsWith(head)) from = i;
        EXPECT_GE(from, 0) << "no line " << head.toStdString();
        QStringList out;
        for (qsizetype i = qMax<qsizetype>(from, 0); i < lines.size(); ++i)
            out.append(lines[i].left(59) + QStringLiteral("<ts>") + lines[i].mid(78));
        return out;
    }
    static QString Session(const char* pid, const char* user, const char* machine,
                           const QString& tail) {
        return QStringLiteral("REC : %1 %2 %3 <ts>   ")
                   .arg(QString::fromLatin1(pid), -10)
                   .arg(QString::fromLatin1(user), -20)
                   .arg(QString::fromLatin1(machine), -20) +
               tail;
    }
    static QString ListOnly(const QString& tail) { return Session("", "", "", tail); }

    QStringList Recipients() const {
        QStringList out;
        for (const SmtpSink::Message& m : sink.Messages()) out.append(m.rcptTos);
        out.sort();
        return out;
    }
    // "Send Message to this User..." from the row menu of a cell, as the mouse gives it.
    void SendMessageFromRowMenu(int row, int col) {
        RightClick(row, col);
        QAction* item = window->SendMessageAction();
        ASSERT_TRUE(item->isEnabled());
        QTest::mouseClick(window->RowPopup(), Qt::LeftButton, {},
                          window->RowPopup()->actionGeometry(item).center());
        EXPECT_FALSE(window->RowPopup()->isVisible());
    }

    SmtpSink sink;
    QStringList focusAtOpen;
};

TEST_F(BroadcastEndToEndTest, MatrixAndListAreMailedOncePerAddressAndFailuresAreLogged) {
    broker.AddUser(QStringLiteral("alice"), QStringLiteral("alice@example.com"));
    broker.AddUser(QStringLiteral("Bob"));
    broker.AddUser(QStringLiteral("smith"), QStringLiteral("smith@example.com"));
    broker.AddUser(QStringLiteral("carol"), QStringLiteral("carol@example.com"));
    LogOn("alice", "PC1", "100", "2017/11/02 09:01:00");
    LogOn("Bob", "PC2", "200", "2017/11/02 09:02:00");
    LogOn("smith", "PC9", "250", "2017/11/02 09:03:00");
    LogOn("smith", "PC3", "251", "2017/11/02 09:04:00");
    LogOn("carol", "PC4", "120", "2017/11/02 09:05:00");
    StoreList(RecipientSection::kBrokerGoingDown, {{1, "carol@example.com"},
                                                   {0, "unchecked@example.com"},
                                                   {1, ""},
                                                   {1, "Alice@example.com"},
                                                   {1, "listonly@example.com"}});
    StoreList(RecipientSection::kGeneralMessage, {{1, "ops@example.com"}});
    Open();
    ASSERT_EQ(Text(CQuandrixDlg::IDC_SESSION_COUNT), QStringLiteral("5"));

    answerDialog = ComposeAndSend({{"subject", "Broker restart"},
                                   {"message", "The Broker goes down at 10:00.\nSave your work."}});
    QAction* goingDown = MenuAction(QStringLiteral("Broker Going Down"));
    ASSERT_NE(goingDown, nullptr);
    goingDown->trigger();

    EXPECT_EQ(dialogsShown, QStringList{"Send Email Broadcast Broker Going Down"});
    EXPECT_EQ(focusAtOpen, QStringList{"send"});
    ASSERT_TRUE(sink.WaitForMessages(5, 20000));
    EXPECT_EQ(Recipients(),
              (QStringList{"Alice@example.com", "alice@example.com", "carol@example.com",
                           "listonly@example.com", "smith@example.com"}));
    for (const SmtpSink::Message& m : sink.Messages()) {
        EXPECT_EQ(m.mailFrom, QStringLiteral("quorvatel@example.com"));
        EXPECT_EQ(m.Header("Subject"), QByteArray("Broker restart"));
        EXPECT_TRUE(m.Body().contains("The Broker goes down at 10:00.")) << m.Body().data();
    }
    EXPECT_EQ(Setting("EmailBCDSubject"), QStringLiteral("Broker restart"));
    EXPECT_EQ(
        LinesFrom(QStringLiteral("REC : BROADCAST BROKER GOING DOWN")),
        (QStringList{
            "REC : BROADCAST BROKER GOING DOWN                          <ts> --> "
            "Broadcast \"Broker Going Down\"",
            Session("100", "ALICE", "PC1", "- alice@example.com --> Sent Broadcast To: ALICE"),
            Session("200", "BOB", "PC2",
                    "- BOB --> Broadcast Send Failed to: BOB (No EmailAddress)"),
            Session("250", "SMITH", "PC9", "- smith@example.com --> Sent Broadcast To: SMITH"),
            Session("251", "SMITH", "PC3", "- smith@example.com --> Sent Broadcast To: SMITH"),
            Session("120", "CAROL", "PC4", "- carol@example.com --> Sent Broadcast To: CAROL"),
            ListOnly("- unknown --> Broadcast Send Failed to: unknown (No EmailAddress)"),
            ListOnly("--> Sent Broadcast To: Alice@example.com"),
            ListOnly("--> Sent Broadcast To: listonly@example.com"),
        }));
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.Texts().join('\n').toStdString();
    EXPECT_TRUE(window->Engine().Scanning());

    // The mail server is down: every recipient tried is logged as failed, none as sent,
    // and the monitor goes on scanning.
    sink.Stop();
    answerDialog = ComposeAndSend({{"subject", "Lunch"}, {"message", "Cake in room 4."}});
    MenuAction(QStringLiteral("General Message"))->trigger();
    EXPECT_EQ(dialogsShown.last(), QStringLiteral("Send Broadcast General Email"));
    EXPECT_EQ(focusAtOpen.last(), QStringLiteral("message"));
    EXPECT_EQ(LinesFrom(QStringLiteral("REC : BROADCAST GENERAL MESSAGE")),
              (QStringList{
                  "REC : BROADCAST GENERAL MESSAGE                            <ts> --> Broadcast "
                  "\"Lunch\"",
                  Session("100", "ALICE", "PC1",
                          "- alice@example.com --> Broadcast Send Failed to: ALICE (Send Failed)"),
                  Session("200", "BOB", "PC2",
                          "- BOB --> Broadcast Send Failed to: BOB (No EmailAddress)"),
                  Session("250", "SMITH", "PC9",
                          "- smith@example.com --> Broadcast Send Failed to: SMITH (Send Failed)"),
                  Session("251", "SMITH", "PC3",
                          "- smith@example.com --> Broadcast Send Failed to: SMITH (Send Failed)"),
                  Session("120", "CAROL", "PC4",
                          "- carol@example.com --> Broadcast Send Failed to: CAROL (Send Failed)"),
                  ListOnly("- ops@example.com --> Broadcast Send Failed to: ops@example.com (Send "
                           "Failed)"),
              }));
    EXPECT_TRUE(window->Engine().Scanning());
    EXPECT_EQ(Text(CQuandrixDlg::IDC_STATUS), QStringLiteral("\nScanning"));
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.Texts().join('\n').toStdString();
}

TEST_F(BroadcastEndToEndTest, MessageToOneUserLooksTheAddressUpOnceAndGoesWhereTheBoxesSay) {
    broker.AddUser(QStringLiteral("Dave"));
    broker.AddUser(QStringLiteral("Bob"));
    LogOn("Dave", "PC5", "130", "2017/11/02 09:01:00");
    LogOn("Bob", "PC2", "200", "2017/11/02 09:02:00");
    Open();
    // Dave's address is entered after the scan that showed him.
    broker.AddUser(QStringLiteral("Dave"), QStringLiteral("dave@example.com"));
    const QString statement = broker.WorkDir() + QStringLiteral("/vqrystmt.sql");
    QFile::remove(statement);

    QString toAtOpen;
    answerDialog = [&](QDialog& dialog) {
        focusAtOpen.append(dialog.focusWidget()->objectName());
        toAtOpen = dialog.findChild<QLineEdit*>(QStringLiteral("to"))->text();
        Fill(dialog, {{"from", "admin@example.com"},
                      {"to", "dave.home@example.com"},
                      {"subject", "Your session"},
                      {"message", "Please log off."}});
        return Send(dialog);
    };
    SendMessageFromRowMenu(1, 1);  // Dave's user id

    EXPECT_EQ(ReadAll(statement), QByteArray("select email from tesuser where username = 'Dave'"));
    EXPECT_EQ(dialogsShown, QStringList{"Send Message to this User"});
    EXPECT_EQ(focusAtOpen, QStringList{"subject"});
    EXPECT_EQ(toAtOpen, QStringLiteral("dave@example.com"));
    ASSERT_TRUE(sink.WaitForMessages(1, 20000));
    EXPECT_EQ(sink.Messages()[0].rcptTos, QStringList{"dave.home@example.com"});
    EXPECT_EQ(sink.Messages()[0].mailFrom, QStringLiteral("admin@example.com"));
    EXPECT_EQ(sink.Messages()[0].Header("Subject"), QByteArray("Your session"));
    EXPECT_EQ(LinesFrom(QStringLiteral("REC : SEND MAIL TO USER MESSAGE")),
              (QStringList{"REC : SEND MAIL TO USER MESSAGE                            <ts> --> "
                           "Sent Mail \"Your session\" dave.home@example.com",
                           Session("130", "DAVE", "PC5",
                                   "- dave.home@example.com --> Sent Broadcast To: DAVE")}));
    EXPECT_EQ(Setting("EmailToUserFrom"), QStringLiteral("admin@example.com"));

    // The second message on the row needs no lookup; the dialog offers the found address.
    QFile::remove(statement);
    SendMessageFromRowMenu(1, 2);  // his machine
    EXPECT_FALSE(QFileInfo::exists(statement));
    EXPECT_EQ(dialogsShown.size(), 2);
    EXPECT_EQ(toAtOpen, QStringLiteral("dave@example.com"));
    ASSERT_TRUE(sink.WaitForMessages(2, 20000));

    // A user without an address: the message, and no dialog.
    SendMessageFromRowMenu(1, 5);  // Bob's user id
    EXPECT_EQ(prompter.Texts(), QStringList{"Unable to retrieve email address for 'Bob'."});
    EXPECT_EQ(dialogsShown.size(), 2);
    EXPECT_EQ(sink.Messages().size(), 2);
    EXPECT_TRUE(window->Engine().Scanning());
}

TEST_F(BroadcastEndToEndTest, EmptyMatrixCloseAndABlankSubject) {
    {
        SettingsStore store(SettingsPath());
        AppSettings(store).SetText(Setting::EmailBCDSubject, QStringLiteral("Old subject"));
    }
    Open();
    const QString report = broker.WorkDir() + QStringLiteral("/QusList.log");
    const qsizetype linesBefore = HistoryLines().size();

    // A blank subject: its message, the empty subject already stored; then Close.
    QString focusAfterBlank;
    answerDialog = [&](QDialog& dialog) {
        Fill(dialog, {{"subject", ""}, {"message", "Down soon."}});
        EXPECT_NE(Send(dialog), QDialog::Accepted);
        focusAfterBlank = dialog.focusWidget() ? dialog.focusWidget()->objectName() : QString();
        static_cast<CEmailComposeDlg&>(dialog).CloseButton()->click();
        return dialog.result();
    };
    QFile::remove(report);
    window->OnBroadcastBrokerGoingDown();
    EXPECT_EQ(prompter.Texts(), QStringList{"The Subject edit box is blank."});
    EXPECT_EQ(focusAfterBlank, QStringLiteral("subject"));
    EXPECT_EQ(Setting("EmailBCDSubject"), QString());
    EXPECT_EQ(HistoryLines().size(), linesBefore) << "Close writes nothing";
    EXPECT_TRUE(QFileInfo::exists(report)) << "a scan ran";
    EXPECT_TRUE(window->Engine().Scanning());

    // Nobody logged in and an empty list: only the command's own line.
    answerDialog = ComposeAndSend({{"subject", "Going down"}, {"message", "Now."}});
    window->OnBroadcastBrokerGoingDown();
    EXPECT_EQ(LinesFrom(QStringLiteral("REC : BROADCAST")),
              QStringList{"REC : BROADCAST BROKER GOING DOWN                          <ts> --> "
                          "Broadcast \"Broker Going Down\""});
    EXPECT_EQ(HistoryLines().size(), linesBefore + 1);
    EXPECT_TRUE(sink.Messages().isEmpty());
}

// A mail server that takes connections and never answers: the first send of a command waits
// its time out, the other recipients are not tried, and every one still has its line.
TEST_F(BroadcastEndToEndTest, AServerThatNeverAnswersIsTriedOncePerCommand) {
    QProcess stalled;  // listens, and accepts nothing
    stalled.start(
        QStringLiteral("python3"),
        {QStringLiteral("-c"), QStringLiteral("import socket,time;s=socket.socket();s.bind(("
                                              "'127.0.0.1',0));s.listen(64);print(s."
                                              "getsockname()[1],flush=True);time.sleep(99)")});
    ASSERT_TRUE(stalled.waitForReadyRead(20000));
    SettingsStore(SettingsPath())
        .WriteText(QStringLiteral("Settings"), QStringLiteral("EmailPort"),
                   QString::fromLatin1(stalled.readAll().trimmed()));
    broker.AddUser(QStringLiteral("alice"), QStringLiteral("alice@example.com"));
    LogOn("alice", "PC1", "100", "2017/11/02 09:01:00");
    StoreList(RecipientSection::kBrokerGoingDown, {{1, "ops@example.com"}, {1, "dba@example.com"}});
    Open();
    const QString lastRun = broker.WorkDir() + QStringLiteral("/sendmail.log");
    // The mail tool says the server did not answer in time; then, for the next command, which
    // tries again, the launcher's time limit ends the tool.
    for (const char* rc : {"rc=0 exit=3", "rc=-9"}) {
        answerDialog = ComposeAndSend({{"subject", "Restart"}, {"message", "At ten."}});
        window->OnBroadcastBrokerGoingDown();
        EXPECT_EQ(LinesFrom(QStringLiteral("REC : BROADCAST")).filter(" (Send Failed)").size(), 3);
        EXPECT_TRUE(ReadAll(lastRun).startsWith("vsend alice@example.com ")) << "tried once";
        EXPECT_TRUE(ReadAll(lastRun).endsWith(rc)) << ReadAll(lastRun).constData();
        window->Launcher().SetTimeoutMs(1000);
    }
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.Texts().join('\n').toStdString();
}

}  // namespace
