#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "FakeClock.h"
#include "FakeTools.h"
#include "RecordingPrompter.h"
#include "TestFiles.h"
#include "app/SettingsKeys.h"
#include "mail/EmailAddressLookup.h"
#include "platform/SettingsStore.h"
#include "scan/HistoryLog.h"

namespace {

const QString kVqry = QStringLiteral("vqry");

// The fake SQL tool copies <bin>/vqry.answer (when present) to the file after "-o".
const QByteArray kWriteAnswer =
    "out=''; prev=''\n"
    "for a in \"$@\"; do [ \"$prev\" = '-o' ] && out=\"$a\"; prev=\"$a\"; done\n"
    "[ -f \"$d/vqry.answer\" ] && cp \"$d/vqry.answer\" \"$out\"\n";

class EmailAddressLookupTest : public ::testing::Test {
protected:
    EmailAddressLookupTest()
        : store(config.filePath(QStringLiteral("settings.ini"))),
          settings(store),
          history(clock, work.path()),
          launcher(prompter),
          lookup(launcher, prompter, history, settings, work.path()) {
        tools.Install(kVqry, kWriteAnswer);
        history.Start(true);
        lookup.SetConnection(QStringLiteral("BKR1"), QStringLiteral("admin"),
                             QStringLiteral("p w\"'%"));
    }

    void Answer(const QByteArray& data) {
        WriteAll(tools.Path(QStringLiteral("vqry.answer")), data);
    }
    int Lookup(QString& address) {
        return lookup.RunSqlGetEmailAddr(EmailAddressLookup::StatementFor(QStringLiteral("JSMITH")),
                                         address);
    }

    FakeTools tools;
    QTemporaryDir work;
    QTemporaryDir config;
    SettingsStore store;
    AppSettings settings;
    FakeClock clock;
    HistoryLog history;
    RecordingPrompter prompter;
    CommandLauncher launcher;
    EmailAddressLookup lookup;
};

TEST(EmailAddressStatementTest, QuotesInTheUserNameAreDoubled) {
    EXPECT_EQ(EmailAddressLookup::StatementFor(QStringLiteral("JSMITH")),
              QStringLiteral("select email from tesuser where username = 'JSMITH'"));
    EXPECT_EQ(EmailAddressLookup::StatementFor(QStringLiteral("O'BRIEN")),
              QStringLiteral("select email from tesuser where username = 'O''BRIEN'"));
    EXPECT_EQ(EmailAddressLookup::StatementFor(QStringLiteral("x' or '1'='1")),
              QStringLiteral("select email from tesuser where username = 'x'' or ''1''=''1'"));
}

TEST(EmailAddressStatementTest, FirstDataLineSkipsBlanksAndTheExactHeading) {
    const QList<std::pair<QByteArray, QString>> cases{
        {"EMAIL\njsmith@example.com\nother@example.com\n", QStringLiteral("jsmith@example.com")},
        {"\n\r\n\nEMAIL\r\njsmith@example.com\r\n", QStringLiteral("jsmith@example.com")},
        {"EMAIL\njsmith@example.com   \n", QStringLiteral("jsmith@example.com   ")},
        {"email\njsmith@example.com\n", QStringLiteral("email")},
        {" EMAIL\n", QStringLiteral(" EMAIL")},
        {"VQRY query has Zero results.\n", QStringLiteral("VQRY query has Zero results.")},
        {"EMAIL\nlast-without-line-end", QStringLiteral("last-without-line-end")},
    };
    for (const auto& [data, expected] : cases) {
        QString line;
        EXPECT_TRUE(EmailAddressLookup::FirstDataLine(data, line)) << data.toStdString();
        EXPECT_EQ(line, expected) << data.toStdString();
    }
    QString line = QStringLiteral("untouched");
    EXPECT_FALSE(EmailAddressLookup::FirstDataLine("\n\nEMAIL\n\n", line));
    EXPECT_FALSE(EmailAddressLookup::FirstDataLine("", line));
    EXPECT_EQ(line, QStringLiteral("untouched"));
    // A longer line arrives in pieces of 1023 characters; the first piece is the answer.
    EXPECT_TRUE(EmailAddressLookup::FirstDataLine(QByteArray(1500, 'a') + "\n", line));
    EXPECT_EQ(line, QString(1023, QLatin1Char('a')));
}

TEST_F(EmailAddressLookupTest, RunsTheToolWithTheStatementFileAndReadsItsAnswer) {
    Answer("\nEMAIL\njsmith@example.com  \n");
    QString address;
    EXPECT_EQ(Lookup(address), 1);
    EXPECT_EQ(address, QStringLiteral("jsmith@example.com  "));
    EXPECT_TRUE(prompter.shown.isEmpty());

    EXPECT_EQ(ReadAll(work.filePath(QStringLiteral("vqrystmt.sql"))),
              QByteArray("select email from tesuser where username = 'JSMITH'"));
    const QList<FakeTools::Run> runs = tools.Runs(kVqry);
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(
        runs[0].args,
        (QStringList{QStringLiteral("-b"), QStringLiteral("BKR1"), QStringLiteral("-usr"),
                     QStringLiteral("admin"), QStringLiteral("-pw"), QStringLiteral("p w\"'%"),
                     QStringLiteral("-t"), QStringLiteral("-f"), lookup.StatementFilePath(),
                     QStringLiteral("-o"), lookup.OutputFilePath()}));
}

TEST_F(EmailAddressLookupTest, AnswersWithoutAnAddressLeaveTheCallerWithNone) {
    Answer("VQRY query has Zero results.\n");
    QString address;
    int result = Lookup(address);
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(EmailAddressLookup::IsUsable(result, address));

    Answer("EMAIL\n\n");
    address.clear();
    result = Lookup(address);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(address, QString());
    EXPECT_FALSE(EmailAddressLookup::IsUsable(result, address));
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST_F(EmailAddressLookupTest, ToolLeavingNoAnswerNeverYieldsAnEarlierOne) {
    Answer("EMAIL\nfirst@example.com\n");
    QString address;
    ASSERT_EQ(Lookup(address), 1);
    ASSERT_EQ(address, QStringLiteral("first@example.com"));

    QFile::remove(tools.Path(QStringLiteral("vqry.answer")));
    address.clear();
    EXPECT_EQ(Lookup(address), 0);
    EXPECT_EQ(address, QString());
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST_F(EmailAddressLookupTest, ErrorTextOfAFailedToolIsNeverTakenForTheAddress) {
    Answer("VQRY ERROR: BKR1: COULD NOT CONNECT TO BROKER\n");
    tools.SetStatus(kVqry, 1);
    settings.SetText(Setting::Debug, QStringLiteral("1"));
    QString address;
    EXPECT_EQ(Lookup(address), 0);
    EXPECT_EQ(address, QString());
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_EQ(ReadAll(history.Path()), QByteArray(EmailAddressLookup::kFailedLine));
}

TEST_F(EmailAddressLookupTest, UnreadableAnswerIsReportedByName) {
    ASSERT_TRUE(QDir(work.path()).mkdir(QStringLiteral("vqrystmt.dat")));
    QString address = QStringLiteral("kept");
    EXPECT_EQ(Lookup(address), 0);
    EXPECT_EQ(address, QStringLiteral("kept"));
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].kind, RecordingPrompter::Kind::Plain);
    EXPECT_EQ(prompter.shown[0].text, QStringLiteral("Unable to read: ") + lookup.OutputFilePath());
    // A scan cycle's lookup, with perhaps nobody at the screen: the box does not wait.
    CommandLauncher::UnattendedScope unattended(launcher);
    Lookup(address);
    EXPECT_EQ(prompter.shown.value(1).kind, RecordingPrompter::Kind::Notice);
}

TEST_F(EmailAddressLookupTest, FailedRunsWriteTheDebugLineOnlyWhenDebugIsOn) {
    QFile::remove(tools.Path(kVqry));
    QString address;
    EXPECT_EQ(Lookup(address), 0);
    EXPECT_EQ(prompter.shown.size(), 1) << "the launcher's own message";
    EXPECT_EQ(ReadAll(history.Path()), QByteArray());

    settings.SetText(Setting::Debug, QStringLiteral("1"));
    EXPECT_EQ(Lookup(address), 0);
    EXPECT_EQ(ReadAll(history.Path()), QByteArray("REC : Execute RUNSQL Get Email Addrs Failed\n"));

    // A statement file that cannot be written is no run either.
    tools.Install(kVqry, kWriteAnswer);
    ASSERT_TRUE(QFile::remove(lookup.StatementFilePath()));
    ASSERT_TRUE(QDir(work.path()).mkdir(QStringLiteral("vqrystmt.sql")));
    EXPECT_EQ(Lookup(address), 0);
    EXPECT_TRUE(tools.Runs(kVqry).isEmpty());
    EXPECT_EQ(ReadAll(history.Path()), QByteArray("REC : Execute RUNSQL Get Email Addrs Failed\n"
                                                  "REC : Execute RUNSQL Get Email Addrs Failed\n"));
    EXPECT_EQ(prompter.shown.size(), 2);
}

}  // namespace
