#include <QElapsedTimer>

#include "SimToolRunner.h"
#include "SmtpSink.h"

namespace {

class VsendTest : public SimToolTest {
protected:
    void SetUp() override {
        SimToolTest::SetUp();
        const QString mail = m_dir.filePath(QStringLiteral("mail"));
        ASSERT_TRUE(QDir().mkpath(mail));
        ASSERT_TRUE(m_sink.Start(mail)) << m_sink.ErrorText().toStdString();
    }

    ToolRun Send(const QString& to, const QString& from, const QString& subject,
                 const QByteArray& body, quint16 port = 0) {
        return Run(QStringLiteral("vsend"),
                   {to, "-m", "127.0.0.1", "-p", QString::number(port ? port : m_sink.Port()), "-f",
                    from, "-s", subject},
                   body);
    }

    SmtpSink m_sink;
};

TEST_F(VsendTest, MailArrivesWithRecipientSenderSubjectAndBodyAsTyped) {
    // Shell characters, quotes and blanks reach the server untouched: no shell is involved.
    const QString to = QStringLiteral("\"odd name;|&$(x)\"@example.com");
    const QString from = QStringLiteral("o'brien@quorvatel.test");
    const QByteArray body =
        "Broker going down at 18:00.\n50% done\n.a line starting with a dot\n"
        "\nlast line";
    const ToolRun run = Send(to, from, QStringLiteral("Broker Going Down 50%"), body);
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("Mail sent to " + to.toUtf8() + " via 127.0.0.1:"));

    ASSERT_TRUE(m_sink.WaitForMessages(1));
    const QList<SmtpSink::Message> messages = m_sink.Messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].mailFrom, from);
    EXPECT_EQ(messages[0].rcptTos, QStringList{to});
    const QByteArray headers = messages[0].Headers();
    EXPECT_TRUE(headers.contains("\r\nTo: " + to.toUtf8() + "\r\n"));
    EXPECT_TRUE(headers.startsWith("From: " + from.toUtf8() + "\r\n"));
    EXPECT_TRUE(headers.contains("\r\nSubject: Broker Going Down 50%\r\n"));
    EXPECT_TRUE(headers.contains("\r\nDate: "));
    EXPECT_TRUE(headers.contains("\r\nMessage-ID: <"));
    QByteArray expected = body;
    expected.replace("\n", "\r\n");
    EXPECT_EQ(messages[0].Body().trimmed(), expected.trimmed());
}

TEST_F(VsendTest, HeaderValuesCannotInjectHeadersAndNonAsciiIsEncoded) {
    const ToolRun run =
        Send(QStringLiteral("user@example.com"), QStringLiteral("Monitor <monitor@example.com>"),
             QStringLiteral("Hello\r\nBcc: victim@example.com"),
             QByteArray("Gr\xC3\xBC\xC3\x9F"
                        "e aus M\xC3\xBCnchen\n"));
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString();
    ASSERT_TRUE(m_sink.WaitForMessages(1));
    const SmtpSink::Message m = m_sink.Messages().first();
    // The envelope takes the address in angle brackets, the header the whole text.
    EXPECT_EQ(m.mailFrom, QStringLiteral("monitor@example.com"));
    EXPECT_TRUE(m.data.startsWith("From: Monitor <monitor@example.com>\r\n"));
    EXPECT_FALSE(m.data.contains("\r\nBcc:"));
    EXPECT_TRUE(m.data.contains("\r\nSubject: Hello Bcc: victim@example.com\r\n"));
    EXPECT_TRUE(m.data.contains("charset=UTF-8"));
    EXPECT_TRUE(m.data.contains("quoted-printable"));
    EXPECT_TRUE(m.Body().startsWith("Gr=C3=BC=C3=9Fe aus M=C3=BCnchen"));

    EXPECT_EQ(Send(QStringLiteral("user@example.com"), QStringLiteral("m@example.com"),
                   QStringLiteral("Caf\u00e9 ferm\u00e9"), "x")
                  .exitCode,
              0);
    ASSERT_TRUE(m_sink.WaitForMessages(2));
    EXPECT_TRUE(m_sink.Messages()[1].data.contains(
        "\r\nSubject: =?UTF-8?B?" + QByteArray("Caf\xC3\xA9 ferm\xC3\xA9").toBase64() + "?=\r\n"));
}

TEST_F(VsendTest, NoServerListeningFailsFastWithReason) {
    const quint16 port = m_sink.Port();
    m_sink.Stop();
    QElapsedTimer timer;
    timer.start();
    const ToolRun run = Send(QStringLiteral("user@example.com"), QStringLiteral("m@example.com"),
                             QStringLiteral("S"), "body", port);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_FALSE(run.crashed);
    EXPECT_TRUE(run.out.contains("not sent")) << run.out.toStdString();
    EXPECT_LT(timer.elapsed(), 15000);
}

}  // namespace
