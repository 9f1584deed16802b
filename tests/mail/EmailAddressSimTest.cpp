#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "FakeClock.h"
#include "RecordingPrompter.h"
#include "app/SettingsKeys.h"
#include "mail/EmailAddressLookup.h"
#include "platform/SettingsStore.h"
#include "scan/HistoryLog.h"

namespace {

// The stand-in SQL tool against a simulated Broker of its own.
class EmailAddressSimTest : public ::testing::Test {
protected:
    EmailAddressSimTest()
        : m_oldPath(qgetenv("PATH")),
          m_oldHome(qgetenv("TESSAMY_SIM_HOME")),
          store(work.filePath(QStringLiteral("settings.ini"))),
          settings(store),
          history(clock, work.path()),
          launcher(prompter),
          lookup(launcher, prompter, history, settings, work.path()) {
        qputenv("PATH", QByteArray(QV_SIM_BIN_DIR) + ':' + m_oldPath);
        qputenv("TESSAMY_SIM_HOME", work.filePath(QStringLiteral("sim")).toUtf8());
        lookup.SetConnection(QStringLiteral("TESBKR01"), QStringLiteral("admin"),
                             QStringLiteral("admin"));
    }
    ~EmailAddressSimTest() override {
        qputenv("PATH", m_oldPath);
        if (m_oldHome.isNull())
            qunsetenv("TESSAMY_SIM_HOME");
        else
            qputenv("TESSAMY_SIM_HOME", m_oldHome);
    }

    static bool Sim(const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral(QV_SIM_BIN_DIR "/tessamy-sim"), args);
        return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    }
    int Lookup(const QString& user, QString& address) {
        address.clear();
        return lookup.RunSqlGetEmailAddr(EmailAddressLookup::StatementFor(user), address);
    }

    QByteArray m_oldPath;
    QByteArray m_oldHome;
    QTemporaryDir work;
    SettingsStore store;
    AppSettings settings;
    FakeClock clock;
    HistoryLog history;
    RecordingPrompter prompter;
    CommandLauncher launcher;
    EmailAddressLookup lookup;
};

TEST_F(EmailAddressSimTest, FindsAddressesNamesWithQuotesAndNothingWhenTheBrokerIsDown) {
    ASSERT_TRUE(
        Sim({QStringLiteral("create"), QStringLiteral("TESBKR01"), QStringLiteral("--users"),
             QStringLiteral("0"), QStringLiteral("--sessions"), QStringLiteral("0")}));
    ASSERT_TRUE(
        Sim({QStringLiteral("adduser"), QStringLiteral("TESBKR01"), QStringLiteral("O'Brien"),
             QStringLiteral("--email"), QStringLiteral("pat.obrien@example.com")}));

    QString address;
    int result = Lookup(QStringLiteral("O'Brien"), address);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(address, QStringLiteral("pat.obrien@example.com"));
    EXPECT_TRUE(EmailAddressLookup::IsUsable(result, address));

    result = Lookup(QStringLiteral("nobody"), address);
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(EmailAddressLookup::IsUsable(result, address));

    ASSERT_TRUE(
        Sim({QStringLiteral("condition"), QStringLiteral("TESBKR01"), QStringLiteral("down")}));
    result = Lookup(QStringLiteral("O'Brien"), address);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(EmailAddressLookup::IsUsable(result, address));
    EXPECT_TRUE(prompter.shown.isEmpty());
}

}  // namespace
