#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "TestFiles.h"
#include "app/SettingsKeys.h"
#include "platform/SettingsStore.h"

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString Path() const { return dir.filePath(QStringLiteral("Orvex/Quorvatel.conf")); }
};

TEST_F(SettingsStoreTest, FreshStoreGivesEveryDefault) {
    SettingsStore store(Path());
    AppSettings s(store);
    EXPECT_EQ(s.Text(Setting::Broker), QString());
    EXPECT_EQ(s.Text(Setting::AdminUserId), QString());
    EXPECT_EQ(s.Password(), QString());
    EXPECT_EQ(s.Int(Setting::Interval), 10u);
    EXPECT_TRUE(s.Flag(Setting::FilterBlankUserids));
    EXPECT_TRUE(s.Flag(Setting::FilterQuorvatelUserid));
    EXPECT_FALSE(s.Flag(Setting::FilterStaleUserids));
    EXPECT_TRUE(s.Flag(Setting::EnableHistoryLogging));
    // Alerts read as off by the main window, shown ticked by the alert settings dialog.
    EXPECT_EQ(s.Text(Setting::EmailAlertsEnabled), QStringLiteral("0"));
    EXPECT_EQ(s.TextOrFallback(Setting::EmailAlertsEnabled), QStringLiteral("1"));
    EXPECT_EQ(s.Text(Setting::TransTypes), QStringLiteral("(All)"));
    EXPECT_EQ(s.TextOrFallback(Setting::EmailPort), QStringLiteral("25"));
    EXPECT_EQ(s.TextOrFallback(Setting::Font_Desc),
              QStringLiteral("-10:0:0:0:400:0:0:0:0:3:2:1:34"));
    EXPECT_FALSE(QFileInfo::exists(Path())) << "reading must not create the profile";
}

TEST_F(SettingsStoreTest, EveryTypeRoundTripsAndReachesTheDiskAtOnce) {
    SettingsStore store(Path());
    AppSettings s(store);
    s.SetText(Setting::Broker, QStringLiteral("TESBKR01, east"));
    s.SetInt(Setting::Interval, 4294967295u);
    s.SetPassword(QStringLiteral("s3cr%t pass"));
    s.SetText(Setting::EmailContent, QStringLiteral("50% done; \"quoted\" = [TRIES]\nline 2"));

    // A second, independent reader of the same file sees every value.
    SettingsStore other(Path());
    AppSettings o(other);
    EXPECT_EQ(o.Text(Setting::Broker), QStringLiteral("TESBKR01, east"));
    EXPECT_EQ(o.Int(Setting::Interval), 4294967295u);
    EXPECT_EQ(o.Password(), QStringLiteral("s3cr%t pass"));
    EXPECT_EQ(o.Text(Setting::EmailContent),
              QStringLiteral("50% done; \"quoted\" = [TRIES]\nline 2"));

    const QByteArray onDisk = ReadAll(Path());
    EXPECT_TRUE(onDisk.contains("Interval=4294967295")) << onDisk.constData();
    EXPECT_FALSE(onDisk.contains("s3cr%t")) << "the password is stored scrambled";
    const QFileDevice::Permissions perms = QFile::permissions(Path());
    EXPECT_TRUE(perms.testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_FALSE(perms & (QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                          QFileDevice::ReadOther | QFileDevice::WriteOther))
        << "the profile holds the password: owner only";
}

TEST_F(SettingsStoreTest, StoredEmptyTextCountsAsAbsentAndUnnamedValueIsKept) {
    SettingsStore store(Path());
    store.WriteText(QStringLiteral("Settings"), QStringLiteral("EmailPort"), QString());
    EXPECT_EQ(store.ReadText(QStringLiteral("Settings"), QStringLiteral("EmailPort"),
                             QStringLiteral("25")),
              QStringLiteral("25"));
    store.WriteText(QStringLiteral("EMAILLIST"), QString(), QStringLiteral("x"));
    EXPECT_EQ(store.ReadText(QStringLiteral("EMAILLIST"), QString()), QStringLiteral("x"));
    EXPECT_TRUE(ReadAll(Path()).contains("[EMAILLIST]\nDefault=x"));
}

TEST_F(SettingsStoreTest, IntegersAreReadStrictly) {
    const char* bad[] = {"12abc", "-1", "4294967296", " 5", "+5", "", "0x10", "1.5"};
    for (const char* text : bad) {
        SettingsStore store(Path());
        store.WriteText(QStringLiteral("Settings"), QStringLiteral("Interval"),
                        QString::fromLatin1(text));
        EXPECT_EQ(store.ReadInt(QStringLiteral("Settings"), QStringLiteral("Interval"), 10), 10u)
            << text;
    }
    SettingsStore store(Path());
    store.WriteText(QStringLiteral("Settings"), QStringLiteral("Interval"), QStringLiteral("007"));
    EXPECT_EQ(store.ReadInt(QStringLiteral("Settings"), QStringLiteral("Interval"), 10), 7u);
}

TEST_F(SettingsStoreTest, GarbageFileNeverBreaksAReadAndLeavesEveryDefault) {
    QDir().mkpath(QFileInfo(Path()).absolutePath());
    QByteArray garbage("[Settings\nInterval=abc\nBroker\n[Unknown]\nx=y\n=\n[Settings]\nFilterBlankUserids=zz\n"
                       "EnableHistoryLogging=-3\nFilterStaleUserids=99999999999\n\x01\x02\xff\xfe=\x80\n"
                       "[EMAILLIST]\nCount=4000000000\n0=1\n1=junk\nInter");
    garbage.append('\0');
    garbage.append("trunc");
    ASSERT_TRUE(WriteAll(Path(), garbage));
    SettingsStore store(Path());
    AppSettings s(store);
    EXPECT_EQ(s.Int(Setting::Interval), 10u);
    EXPECT_TRUE(s.Flag(Setting::FilterBlankUserids));
    EXPECT_TRUE(s.Flag(Setting::EnableHistoryLogging));
    EXPECT_FALSE(s.Flag(Setting::FilterStaleUserids));
    for (const SettingDef* def : Setting::All()) {
        if (def->type == SettingType::Text) (void)s.Text(*def);
        else (void)s.Int(*def);
    }
}

}  // namespace
