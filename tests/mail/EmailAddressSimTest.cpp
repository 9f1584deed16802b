#include <gtest/gtest.h>

#include "FakeClock.h"
#include "RecordingPrompter.h"
#include "SimBroker.h"
#include "app/SettingsKeys.h"
#include "mail/EmailAddressLookup.h"
#include "platform/SettingsStore.h"
#include "scan/HistoryLog.h"

namespace {

// The stand-in SQL tool against a simulated Broker of its own.
class EmailAddressSimTest : public ::testing::Test {
protected:
    EmailAddressSimTest()
        : store(broker.Root() + QStringLiteral("/settings.ini")),
          settings(store),
          history(clock, broker.WorkDir()),
          launcher(prompter),
          lookup(launcher, prompter, history, settings, broker.WorkDir()) {
        lookup.SetConnection(QString::fromLatin1(SimBroker::kBroker),
                             QString::fromLatin1(SimBroker::kAdmin),
                             QString::fromLatin1(SimBroker::kPassword));
    }

    int Lookup(const QString& user, QString& address) {
        address.clear();
        return lookup.RunSqlGetEmailAddr(EmailAddressLookup::StatementFor(user), address);
    }

    SimBroker broker;
    SettingsStore store;
    AppSettings settings;
    FakeClock clock;
    HistoryLog history;
    RecordingPrompter prompter;
    CommandLauncher launcher;
    EmailAddressLookup lookup;
};

TEST_F(EmailAddressSimTest, FindsAddressesNamesWithQuotesAndNothingWhenTheBrokerIsDown) {
    broker.Create();
    broker.AddUser(QStringLiteral("O'Brien"), QStringLiteral("pat.obrien@example.com"));
    ASSERT_FALSE(HasFailure());

    QString address;
    int result = Lookup(QStringLiteral("O'Brien"), address);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(address, QStringLiteral("pat.obrien@example.com"));
    EXPECT_TRUE(EmailAddressLookup::IsUsable(result, address));

    result = Lookup(QStringLiteral("nobody"), address);
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(EmailAddressLookup::IsUsable(result, address));

    broker.Condition({QStringLiteral("down")});
    ASSERT_FALSE(HasFailure());
    result = Lookup(QStringLiteral("O'Brien"), address);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(EmailAddressLookup::IsUsable(result, address));
    EXPECT_TRUE(prompter.shown.isEmpty());
}

}  // namespace
