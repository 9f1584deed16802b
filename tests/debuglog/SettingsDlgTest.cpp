#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/SettingsKeys.h"
#include "debuglog/AboutDlg.h"
#include "debuglog/SettingsDlg.h"
#include "platform/SettingsStore.h"

namespace {

class SettingsDlgTest : public ::testing::Test {
protected:
    SettingsDlgTest() : store(Path()), settings(store) {}
    QString Path() const { return dir.filePath(QStringLiteral("q.conf")); }

    static QLineEdit* Edit(const QDialog& d, const char* name) {
        return d.findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    static QCheckBox* Box(const QDialog& d, const char* name) {
        return d.findChild<QCheckBox*>(QString::fromLatin1(name));
    }
    static void Type(const QDialog& d, const char* name, const QString& text) {
        Edit(d, name)->selectAll();
        QTest::keyClicks(Edit(d, name), text);
    }
    static QPushButton* Button(const QDialog& d, QDialogButtonBox::StandardButton which) {
        return d.findChild<QDialogButtonBox*>()->button(which);
    }

    QTemporaryDir dir;
    SettingsStore store;
    AppSettings settings;
};

TEST_F(SettingsDlgTest, EmptyStoreShowsDefaultsWithTheExactTexts) {
    CSettingsDlg dlg(settings);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Monitor Settings"));
    const char* edits[][3] = {{"broker", "Broker:", ""},
                              {"adminUserId", "Administrator User ID:", ""},
                              {"password", "Password:", ""},
                              {"interval", "Scanning Interval (secs):", "10"}};
    auto* form = dlg.findChild<QFormLayout*>();
    for (const auto& e : edits) {
        ASSERT_NE(Edit(dlg, e[0]), nullptr) << e[0];
        EXPECT_EQ(Edit(dlg, e[0])->text(), QString::fromLatin1(e[2])) << e[0];
        auto* label = qobject_cast<QLabel*>(form->labelForField(Edit(dlg, e[0])));
        EXPECT_EQ(label->text(), QString::fromLatin1(e[1]));
    }
    EXPECT_EQ(Edit(dlg, "password")->echoMode(), QLineEdit::Password);

    const std::tuple<const char*, const char*, bool> boxes[] = {
        {"filterBlankUserids", "  Filter out rows with blank userids", true},
        {"filterQuorvatelUserid", "  Filter out this Quorvatel userid", true},
        {"filterStaleUserids", "  Filter out stale userids (with dates < currentdate)", false}};
    for (const auto& [name, text, checked] : boxes) {
        ASSERT_NE(Box(dlg, name), nullptr) << name;
        EXPECT_EQ(Box(dlg, name)->text(), QString::fromLatin1(text));
        EXPECT_EQ(Box(dlg, name)->isChecked(), checked) << name;
    }
    EXPECT_EQ(Button(dlg, QDialogButtonBox::Ok)->text(), QStringLiteral("OK"));
    EXPECT_EQ(Button(dlg, QDialogButtonBox::Cancel)->text(), QStringLiteral("Cancel"));

    Type(dlg, "broker", QStringLiteral("X"));
    Button(dlg, QDialogButtonBox::Cancel)->click();
    EXPECT_FALSE(QFileInfo::exists(Path())) << "Cancel writes nothing";
}

TEST_F(SettingsDlgTest, OkStoresWhatIsShownAndHandsItToTheWindow) {
    settings.SetText(Setting::Broker, QStringLiteral("OLDBKR"));
    settings.SetPassword(QStringLiteral("old pw"));
    settings.SetInt(Setting::Interval, 45);
    settings.SetInt(Setting::FilterStaleUserids, 1);

    CSettingsDlg dlg(settings);
    EXPECT_EQ(Edit(dlg, "broker")->text(), QStringLiteral("OLDBKR"));
    EXPECT_EQ(Edit(dlg, "password")->text(), QStringLiteral("old pw")) << "unscrambled";
    EXPECT_EQ(Edit(dlg, "interval")->text(), QStringLiteral("45"));
    EXPECT_TRUE(Box(dlg, "filterStaleUserids")->isChecked());
    Type(dlg, "broker", QStringLiteral("TESBKR02"));
    Type(dlg, "adminUserId", QStringLiteral("admin"));
    Type(dlg, "password", QStringLiteral("n3w %1 pw"));
    Type(dlg, "interval", QStringLiteral(" 25 secs"));
    Box(dlg, "filterBlankUserids")->setChecked(false);
    Box(dlg, "filterStaleUserids")->setChecked(false);
    Button(dlg, QDialogButtonBox::Ok)->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);

    SettingsStore reread(Path());
    AppSettings s(reread);
    EXPECT_EQ(s.Text(Setting::Broker), QStringLiteral("TESBKR02"));
    EXPECT_EQ(s.Text(Setting::AdminUserId), QStringLiteral("admin"));
    EXPECT_EQ(s.Password(), QStringLiteral("n3w %1 pw"));
    EXPECT_NE(s.Text(Setting::AdminPswd), QStringLiteral("n3w %1 pw")) << "stored scrambled";
    EXPECT_EQ(s.Int(Setting::Interval), 25u);
    EXPECT_FALSE(s.Flag(Setting::FilterBlankUserids));
    EXPECT_TRUE(s.Flag(Setting::FilterQuorvatelUserid));
    EXPECT_FALSE(s.Flag(Setting::FilterStaleUserids));

    EXPECT_EQ(dlg.Broker(), QStringLiteral("TESBKR02"));
    EXPECT_EQ(dlg.Password(), QStringLiteral("n3w %1 pw"));
    EXPECT_EQ(dlg.Interval(), 25u);
    EXPECT_FALSE(dlg.FilterBlankUserids());
    EXPECT_TRUE(dlg.FilterQuorvatelUserid());
}

TEST(SettingsDlgInterval, LeadingDecimalNumberElseZero) {
    const std::pair<const char*, quint32> cases[] = {
        {" +7", 7}, {"12abc", 12}, {"abc", 0}, {"", 0}, {"-5", 0}, {"99999999999", 2147483647u}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(CSettingsDlg::IntervalFromText(QString::fromLatin1(text)), value) << text;
}

TEST(AboutDlg, ShowsIconVersionAndDescription) {
    CAboutDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(dlg.findChild<QLabel*>(QStringLiteral("version"))->text(),
              QStringLiteral("Version 4.01"));
    EXPECT_EQ(dlg.findChild<QLabel*>(QStringLiteral("description"))->text(),
              QStringLiteral("Realtime Tessamy client Log on/off\nmonitoring with vantrace "
                             "logging\ninterface."));
    EXPECT_FALSE(dlg.findChild<QLabel*>(QStringLiteral("icon"))->pixmap().isNull());
    EXPECT_EQ(dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->text(),
              QStringLiteral("OK"));
}

}  // namespace
