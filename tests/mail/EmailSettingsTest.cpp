#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <QCheckBox>

#include "FakeClock.h"
#include "RecordingPrompter.h"
#include "app/RecipientListStore.h"
#include "app/SettingsKeys.h"
#include "mail/EmailSetDlg.h"
#include "mail/EmailSettings.h"
#include "mail/Mailer.h"
#include "mail/RecipientList.h"
#include "platform/SettingsStore.h"

namespace {

class EmailSettingsTest : public ::testing::Test {
protected:
    EmailSettingsTest() : store(dir.filePath(QStringLiteral("settings.ini"))), settings(store) {}

    void Set(const SettingDef& def, const QString& value) { settings.SetText(def, value); }

    QTemporaryDir dir;
    SettingsStore store;
    AppSettings settings;
};

TEST_F(EmailSettingsTest, FreshStoreGivesPlaceholdersDefaultsAndAlertsOff) {
    const EmailSettings s = LoadEmailSettings(settings);
    EXPECT_FALSE(s.alertsEnabled);
    EXPECT_TRUE(s.recoveryEnabled);
    EXPECT_EQ(s.contigFailLimit, 6);
    EXPECT_EQ(s.server, QStringLiteral("mail.example.com"));
    EXPECT_EQ(s.port, QStringLiteral("25"));
    EXPECT_EQ(s.from, QStringLiteral("quorvatel@example.com"));
    EXPECT_EQ(s.subject, QStringLiteral("Quorvatel Alert"));
    EXPECT_EQ(s.content, QStringLiteral("Broker Connect Failed. Tries=[TRIES]"));
    EXPECT_TRUE(s.alertRecipients.IsEmpty());

    // Stored empty texts count as absent.
    Set(Setting::EmailServer, QString());
    Set(Setting::ContigFailLimit, QString());
    EXPECT_EQ(LoadEmailSettings(settings).server, QStringLiteral("mail.example.com"));
    EXPECT_EQ(LoadEmailSettings(settings).contigFailLimit, 6);
}

TEST_F(EmailSettingsTest, AlertSwitchIsExactAndLimitFollowsAtoi) {
    const QList<std::pair<QString, bool>> switches{
        {QStringLiteral("1"), true},     {QStringLiteral("0"), false},
        {QStringLiteral(" 1"), false},   {QStringLiteral("1 "), false},
        {QStringLiteral("true"), false}, {QStringLiteral("01"), false}};
    for (const auto& [text, on] : switches) {
        Set(Setting::EmailAlertsEnabled, text);
        EXPECT_EQ(LoadEmailSettings(settings).alertsEnabled, on) << text.toStdString();
    }
    // Recovery mail is on unless switched off.
    Set(Setting::EmailRecoveryEnabled, QStringLiteral("0"));
    EXPECT_FALSE(LoadEmailSettings(settings).recoveryEnabled);
    Set(Setting::EmailRecoveryEnabled, QString());
    EXPECT_TRUE(LoadEmailSettings(settings).recoveryEnabled);
    const QList<std::pair<QString, int>> limits{{QStringLiteral("12"), 12},
                                                {QStringLiteral(" 9x"), 9},
                                                {QStringLiteral("x9"), 0},
                                                {QStringLiteral("-3"), -3}};
    for (const auto& [text, limit] : limits) {
        Set(Setting::ContigFailLimit, text);
        EXPECT_EQ(LoadEmailSettings(settings).contigFailLimit, limit) << text.toStdString();
    }
}

TEST_F(EmailSettingsTest, RecipientListFollowsTheStoredEntriesUpToCount) {
    const QString section = QString::fromLatin1(RecipientSection::kAlerts);
    store.WriteInt(section, QStringLiteral("Count"), 6);
    store.WriteText(section, QStringLiteral("0"), QStringLiteral("1:ops@example.com"));
    store.WriteText(section, QStringLiteral("1"), QStringLiteral("no colon here"));
    store.WriteText(section, QStringLiteral("2"), QStringLiteral("0:odd:name@example.com"));
    store.WriteText(section, QStringLiteral("3"), QStringLiteral("1:"));
    store.WriteText(section, QStringLiteral("4"), QStringLiteral("0:ops@example.com"));
    // Entry 5 is absent; entry 6 lies beyond Count.
    store.WriteText(section, QStringLiteral("6"), QStringLiteral("1:beyond@example.com"));

    CMapStrToEmailObj map;
    map.SetAt(QStringLiteral("stale@example.com"),
              CEmailObj(QStringLiteral("stale@example.com"), 1));
    LoadRecipientList(store, section, map);
    EXPECT_EQ(map.GetCount(), 3);
    CEmailObj r;
    ASSERT_TRUE(map.Lookup(QStringLiteral("ops@example.com"), r));
    EXPECT_EQ(r.Checked, 0) << "a repeated address keeps the later entry";
    ASSERT_TRUE(map.Lookup(QStringLiteral("odd:name@example.com"), r));
    EXPECT_FALSE(r.IsChecked());
    ASSERT_TRUE(map.Lookup(QString(), r));
    EXPECT_TRUE(r.IsChecked());
    EXPECT_FALSE(map.Contains(QStringLiteral("stale@example.com")));
    EXPECT_FALSE(map.Contains(QStringLiteral("OPS@example.com"))) << "keys are case-sensitive";

    EXPECT_EQ(LoadEmailSettings(settings).alertRecipients, map);
}

// The alert settings dialog shows the recovery switch on while nothing is stored, and Apply
// stores what the box shows for the main window to load.
TEST_F(EmailSettingsTest, AlertDialogStoresTheRecoverySwitchOnApply) {
    RecordingPrompter prompter;
    FakeClock clock;
    CommandLauncher launcher{prompter};
    Mailer mailer{launcher, prompter, clock, dir.path()};
    const EmailDialogServices services{settings, mailer, prompter, {}, {}};
    {
        CEmailSetDlg dialog(services);
        auto* box = dialog.findChild<QCheckBox*>(QStringLiteral("recoveryEnabled"));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), QStringLiteral("   Send email when the Broker answers again"));
        EXPECT_TRUE(box->isChecked());
        box->setChecked(false);
        EXPECT_TRUE(LoadEmailSettings(settings).recoveryEnabled) << "nothing stored before Apply";
        dialog.Apply();
    }
    EXPECT_EQ(settings.Text(Setting::EmailRecoveryEnabled), QStringLiteral("0"));
    EXPECT_FALSE(LoadEmailSettings(settings).recoveryEnabled);
    CEmailSetDlg again(services);
    EXPECT_FALSE(again.findChild<QCheckBox*>(QStringLiteral("recoveryEnabled"))->isChecked());
}

}  // namespace
