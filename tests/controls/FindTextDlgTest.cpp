#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/SettingsKeys.h"
#include "controls/FindTextDlg.h"
#include "platform/SettingsStore.h"

namespace {

class FindTest : public ::testing::Test {
protected:
    FindTest() : store(dir.filePath(QStringLiteral("q.conf"))), settings(store) {}

    template <typename T = QAbstractButton>
    static T* Child(const QDialog& dlg, const char* name) {
        return dlg.findChild<T*>(QString::fromLatin1(name));
    }

    QTemporaryDir dir;
    SettingsStore store;
    AppSettings settings;
};

TEST_F(FindTest, DialogTextsAndTheDisabledOptions) {
    CFindTextDlg dlg(settings, QStringLiteral("SMITH"));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Find"));
    EXPECT_EQ(dlg.findChild<QLabel*>()->text(), QStringLiteral("Fi&nd what:"));
    EXPECT_EQ(Child<QLineEdit>(dlg, "findText")->text(), QStringLiteral("SMITH"));
    const std::pair<const char*, const char*> options[] = {
        {"matchWholeWord", "Match &whole word only"},
        {"matchCase", "Match &case"},
        {"up", "&Up"},
        {"down", "&Down"}};
    for (const auto& [name, text] : options) {
        ASSERT_NE(Child(dlg, name), nullptr) << name;
        EXPECT_EQ(Child(dlg, name)->text(), QString::fromLatin1(text));
        EXPECT_FALSE(Child(dlg, name)->isEnabled()) << name;
    }
    EXPECT_EQ(Child<QGroupBox>(dlg, "direction")->title(), QStringLiteral("Direction"));
    EXPECT_TRUE(Child(dlg, "down")->isChecked());
    EXPECT_EQ(Child(dlg, "find")->text(), QStringLiteral("&Find"));
    EXPECT_TRUE(Child<QPushButton>(dlg, "find")->isDefault());
    EXPECT_EQ(Child(dlg, "cancel")->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(dlg.Direction(), 1);
    EXPECT_FALSE(dlg.MatchCase() || dlg.MatchWholeWord());
}

TEST_F(FindTest, FindIsEnabledOnlyWithTextAndStoresFindString) {
    CFindTextDlg cancelled(settings, QString());
    EXPECT_FALSE(Child(cancelled, "find")->isEnabled());
    QTest::keyClicks(Child<QLineEdit>(cancelled, "findText"), QStringLiteral("jo"));
    EXPECT_TRUE(Child(cancelled, "find")->isEnabled());
    QTest::keyClick(Child<QLineEdit>(cancelled, "findText"), Qt::Key_Backspace);
    QTest::keyClick(Child<QLineEdit>(cancelled, "findText"), Qt::Key_Backspace);
    EXPECT_FALSE(Child(cancelled, "find")->isEnabled());
    Child(cancelled, "cancel")->click();
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
    EXPECT_EQ(settings.Text(Setting::FindString), QString());

    CFindTextDlg dlg(settings, QString());
    dlg.show();
    QTest::keyClicks(Child<QLineEdit>(dlg, "findText"), QStringLiteral("smith"));
    QTest::keyClick(Child<QLineEdit>(dlg, "findText"), Qt::Key_Return);  // the default button
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.FindText(), QStringLiteral("smith"));
    EXPECT_EQ(settings.Text(Setting::FindString), QStringLiteral("smith"));
}

TEST_F(FindTest, SearchTextIsStoredAsTypedAndRememberedInUpperCase) {
    settings.SetText(Setting::SearchText, QStringLiteral("jones"));
    EXPECT_EQ(SearchTextForDialog(QString(), settings), QStringLiteral("jones"));
    EXPECT_EQ(SearchTextForDialog(QStringLiteral("TES01"), settings), QStringLiteral("TES01"));

    const QString remembered = AcceptSearchText(QStringLiteral("smith"), settings);
    EXPECT_EQ(settings.Text(Setting::SearchText), QStringLiteral("smith"));
    CFindTextDlg next(settings, SearchTextForDialog(remembered, settings));
    EXPECT_EQ(Child<QLineEdit>(next, "findText")->text(), QStringLiteral("SMITH"));

    EXPECT_EQ(AcceptSearchText(QString(), settings), QString());
    EXPECT_EQ(settings.Text(Setting::SearchText), QStringLiteral("smith")) << "empty: not stored";
}

// Two session rows of three groups (Pid, UserId, Machine, DateTime) under a heading row.
TEST(FindMatches, WholeTextIgnoringCaseExceptInTheFourthCell) {
    const QList<QStringList> rows{
        {"SMITH", "SMITH", "SMITH", "SMITH", "", "", "", "", "", "", "", ""},
        {"3312", "Smith", "PC-01", "2024/03/01_10:00:00", "4410", "jones", "smith", "x", "5120",
         "brown", "PC-03", "smith"},
        {"3313", "kim", "PC-04", "SMITH", "4411", "Smithson", "PC-SMITH", "x", "SMITH", "lee",
         "PC-06", "y"}};
    int maxColumnRead = -1;
    auto grid = [&](int columns) {
        return FindGrid{3, columns, 4, [&](int row, int column) {
                            maxColumnRead = qMax(maxColumnRead, column);
                            return rows[row].value(column);
                        }};
    };
    const QList<FindMatch> expected{{1, 0}, {1, 4}, {2, 0}, {2, 8}};
    EXPECT_EQ(FindMatches(SearchUpper(QStringLiteral("smith")), grid(12)), expected)
        << "heading row skipped; a lower-case fourth cell, Smithson, PC-SMITH: no match";
    EXPECT_TRUE(FindMatches(QStringLiteral("SMIT"), grid(12)).isEmpty());
    EXPECT_TRUE(FindMatches(QString(), grid(12)).isEmpty());

    maxColumnRead = -1;
    EXPECT_EQ(FindMatches(QStringLiteral("SMITH"), grid(10)), expected);
    EXPECT_EQ(maxColumnRead, 9) << "a short last group is read up to the last column only";
}

}  // namespace
