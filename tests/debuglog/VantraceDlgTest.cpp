#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/SettingsKeys.h"
#include "debuglog/VantraceDlg.h"
#include "platform/SettingsStore.h"

// The debug-logging dialog as the user meets it: what it opens on, and what Commit hands
// over and stores.
namespace {

class VantraceDlgTest : public ::testing::Test {
protected:
    VantraceDlgTest() : store(dir.filePath(QStringLiteral("q.conf"))), settings(store) {}

    template <typename T>
    static T* Find(const QDialog& d, const char* name) {
        return d.findChild<T*>(QString::fromLatin1(name));
    }
    static void Commit(QDialog& d) {
        QTest::mouseClick(d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
    }
    QString Stored(const SettingDef& def) const {
        return store.ReadText(QString::fromLatin1(Setting::kSection), QString::fromLatin1(def.key));
    }

    QTemporaryDir dir;
    SettingsStore store;
    AppSettings settings;
};

TEST_F(VantraceDlgTest, OpensOnAnEmptyStoreWithItsTextsAndCommitsUpperCase) {
    settings.SetText(Setting::Broker, QStringLiteral("TESBKR01"));
    settings.SetText(Setting::AdminUserId, QStringLiteral("admin"));
    settings.SetPassword(QStringLiteral("pw 1"));
    CVantraceDlg dlg(settings, QString(), QString(), false);

    EXPECT_EQ(dlg.windowTitle(),
              QStringLiteral("Vantrace Settings - overrides any current server logging "));
    EXPECT_TRUE(Find<QRadioButton>(dlg, "start")->isChecked());
    EXPECT_EQ(Find<QRadioButton>(dlg, "start")->text(), QStringLiteral(" Start Vantrace Logging"));
    EXPECT_EQ(Find<QRadioButton>(dlg, "stop")->text(), QStringLiteral(" Stop Vantrace Logging"));
    auto* form = dlg.findChild<QFormLayout*>();
    const char* edits[][3] = {{"broker", "Broker:", "TESBKR01"},
                              {"adminUserId", "Administrator UserId:", "admin"},
                              {"userId", "UserId:", ""},
                              {"machineName", "MachineName:", ""}};
    for (const auto& e : edits) {
        auto* edit = Find<QLineEdit>(dlg, e[0]);
        ASSERT_NE(edit, nullptr) << e[0];
        EXPECT_EQ(edit->text(), QString::fromLatin1(e[2])) << e[0];
        EXPECT_EQ(qobject_cast<QLabel*>(form->labelForField(edit))->text(),
                  QString::fromLatin1(e[1]));
    }
    EXPECT_FALSE(Find<QLineEdit>(dlg, "broker")->isEnabled());
    EXPECT_FALSE(Find<QLineEdit>(dlg, "adminUserId")->isEnabled());
    EXPECT_TRUE(Find<QLineEdit>(dlg, "password")->isHidden());
    EXPECT_EQ(Find<QLineEdit>(dlg, "password")->echoMode(), QLineEdit::Password);

    auto* level = Find<QComboBox>(dlg, "logLevel");
    auto* types = Find<QComboBox>(dlg, "transTypes");
    ASSERT_EQ(level->count(), 5);
    EXPECT_EQ(level->itemText(0), QStringLiteral("5"));
    EXPECT_EQ(level->itemText(4), QStringLiteral("1"));
    EXPECT_EQ(level->currentText(), QStringLiteral("5"));
    EXPECT_EQ(types->currentText(), QStringLiteral("(ALL)"));
    EXPECT_EQ(types->count(), 254);
    EXPECT_EQ(types->itemText(1), QStringLiteral("LIST_APPROVE_USER"));
    EXPECT_EQ(types->itemText(187), QStringLiteral("QUERY_ENTERPRISEPACKAGE")) << "no tab";
    EXPECT_EQ(types->itemText(253), QStringLiteral("QUERY_RPTSQL"));
    for (const char* note : {CVantraceDlg::kLevelNote, CVantraceDlg::kAllClientsNote}) {
        bool found = false;
        for (QLabel* l : dlg.findChildren<QLabel*>())
            found = found || l->text() == QString::fromLatin1(note);
        EXPECT_TRUE(found) << note;
    }
    EXPECT_EQ(dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->text(),
              QStringLiteral("Commit"));

    // Cancel stores nothing.
    dlg.reject();
    EXPECT_EQ(Stored(Setting::LogLevel), QString());
    EXPECT_EQ(Stored(Setting::TransTypes), QString());

    CVantraceDlg again(settings, QStringLiteral("pc042"), QStringLiteral("lnovak"), false);
    EXPECT_EQ(Find<QLineEdit>(again, "userId")->text(), QStringLiteral("lnovak"));
    QTest::keyClicks(Find<QLineEdit>(again, "machineName"), QStringLiteral("x"));
    Find<QComboBox>(again, "logLevel")->setCurrentText(QStringLiteral("4"));
    Find<QComboBox>(again, "transTypes")->setCurrentText(QStringLiteral("QUERY_ITEM"));
    Commit(again);
    EXPECT_EQ(again.result(), QDialog::Accepted);
    EXPECT_EQ(again.UserId(), QStringLiteral("LNOVAK"));
    EXPECT_EQ(again.Machine(), QStringLiteral("PC042X"));
    EXPECT_EQ(again.Password(), QStringLiteral("pw 1"));
    EXPECT_TRUE(again.Start());
    EXPECT_EQ(Stored(Setting::LogLevel), QStringLiteral("4"));
    EXPECT_EQ(Stored(Setting::TransTypes), QStringLiteral("QUERY_ITEM"));
}

TEST_F(VantraceDlgTest, StoredTypesReopenOnTheirEntryAndStopIsOfferedWhileActive) {
    const auto opened = [&](const QString& stored) {
        settings.SetText(Setting::TransTypes, stored);
        CVantraceDlg dlg(settings, QString(), QString(), true);
        EXPECT_TRUE(Find<QRadioButton>(dlg, "stop")->isChecked());
        return Find<QComboBox>(dlg, "transTypes")->currentText();
    };
    // A name that begins an earlier entry selects that one.
    EXPECT_EQ(opened(QStringLiteral("UPDATE_APPROVE")), QStringLiteral("UPDATE_APPROVE_USER"));
    EXPECT_EQ(opened(QStringLiteral("query_item")), QStringLiteral("QUERY_ITEM"));
    EXPECT_EQ(opened(QStringLiteral("(All)")), QStringLiteral("(ALL)"));
    EXPECT_EQ(opened(QStringLiteral("ALL")), QStringLiteral("(ALL)"));
    // Stored by an older version with the tab the list item once carried.
    EXPECT_EQ(opened(QStringLiteral("QUERY_ENTERPRISEPACKAGE\t")),
              QStringLiteral("QUERY_ENTERPRISEPACKAGE"));
    EXPECT_EQ(opened(QStringLiteral("NO_SUCH_TYPE")), QStringLiteral("(ALL)"));

    // "(ALL)" is stored as itself; Stop goes to the caller.
    settings.SetText(Setting::LogLevel, QStringLiteral("2"));
    CVantraceDlg dlg(settings, QString(), QString(), true);
    EXPECT_EQ(Find<QComboBox>(dlg, "logLevel")->currentText(), QStringLiteral("2"));
    Find<QComboBox>(dlg, "transTypes")->setCurrentIndex(0);
    Commit(dlg);
    EXPECT_FALSE(dlg.Start());
    EXPECT_EQ(dlg.TransTypes(), QStringLiteral("(ALL)"));
    EXPECT_EQ(Stored(Setting::TransTypes), QStringLiteral("(ALL)"));
    EXPECT_EQ(Stored(Setting::LogLevel), QStringLiteral("2"));
}

}  // namespace
