#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include "FakeClock.h"
#include "RecordingPrompter.h"
#include "SmtpSink.h"
#include "TestFiles.h"
#include "app/SettingsKeys.h"
#include "controls/ReportCtrl.h"
#include "controls/RichEditCtrlEx.h"
#include "mail/EmailAddDlg.h"
#include "mail/EmailBCDSetDlg.h"
#include "mail/EmailBCGSetDlg.h"
#include "mail/EmailDeleteListDlg.h"
#include "mail/EmailSetDlg.h"
#include "mail/Mailer.h"
#include "platform/SettingsStore.h"

namespace {

// The settings dialogs offscreen against their own settings file; the small dialogs they
// open are answered by `answer`.
class EmailDialogsTest : public ::testing::Test {
protected:
    EmailDialogsTest()
        : m_oldPath(qgetenv("PATH")),
          store(work.filePath(QStringLiteral("profile.ini"))),
          settings(store),
          launcher(prompter),
          mailer(launcher, prompter, clock, work.path(), &mainWindow) {
        qputenv("PATH", QByteArray(QV_SIM_BIN_DIR) + ':' + m_oldPath);
    }
    ~EmailDialogsTest() override { qputenv("PATH", m_oldPath); }

    EmailDialogServices Services() {
        return {settings,
                mailer,
                prompter,
                [this](QDialog& dialog) {
                    shown.append(dialog.windowTitle());
                    return answer ? answer(dialog) : (dialog.reject(), dialog.result());
                },
                {}};
    }

    void StoreList(const char* section, const QStringList& entries) {
        const QString s = QString::fromLatin1(section);
        store.WriteInt(s, QStringLiteral("Count"), static_cast<quint32>(entries.size()));
        for (int i = 0; i < entries.size(); ++i) store.WriteText(s, QString::number(i), entries[i]);
    }
    QStringList StoredList(const char* section) {
        const QString s = QString::fromLatin1(section);
        QStringList out;
        const quint32 count = store.ReadInt(s, QStringLiteral("Count"), 0);
        for (quint32 i = 0; i < count; ++i) out.append(store.ReadText(s, QString::number(i)));
        return out;
    }
    QString Stored(const char* key) {
        return store.ReadText(QStringLiteral("Settings"), QString::fromLatin1(key));
    }

    // The list as "1:address" / "0:address", top to bottom.
    static QStringList Rows(const CReportCtrl& list) {
        QStringList rows;
        for (int row = 0; row < list.GetItemCount(); ++row)
            rows.append(QString::number(list.GetCheck(row) ? 1 : 0) + QLatin1Char(':') +
                        list.GetItemText(row, 0));
        return rows;
    }
    static void Click(QDialog& dialog, const char* name) {
        auto* button = dialog.findChild<QAbstractButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        ASSERT_TRUE(button->isEnabled()) << name;
        button->click();
    }
    static QLineEdit* Edit(QDialog& dialog, const char* name) {
        return dialog.findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    // The address dialog: types `text` and presses OK.
    static std::function<int(QDialog&)> TypeAddress(const QString& text) {
        return [text](QDialog& dialog) {
            EXPECT_EQ(dialog.windowTitle(), QString::fromLatin1(CEmailAddDlg::kTitle));
            dialog.findChild<QLineEdit*>(QStringLiteral("address"))->setText(text);
            dialog.accept();
            return dialog.result();
        };
    }

    QByteArray m_oldPath;
    QTemporaryDir work;
    QWidget mainWindow;
    SettingsStore store;
    AppSettings settings;
    FakeClock clock;
    RecordingPrompter prompter;
    CommandLauncher launcher;
    Mailer mailer;
    std::function<int(QDialog&)> answer;
    QStringList shown;
};

TEST_F(EmailDialogsTest, AlertSettingsOpenOnStoredValuesAndApplyWhatIsShown) {
    StoreList(RecipientSection::kAlerts,
              {"1:ops:desk@example.com", "no colon here", "0:night@example.com"});
    settings.SetText(Setting::ContigFailLimit, QStringLiteral("30"));
    {
        CEmailSetDlg dialog(Services());
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Email Alerts Setting"));
        // Defaults where nothing is stored; alerts shown on although nothing says so.
        EXPECT_EQ(Edit(dialog, "server")->text(), QStringLiteral("mail.example.com"));
        EXPECT_EQ(Edit(dialog, "port")->text(), QStringLiteral("25"));
        EXPECT_EQ(Edit(dialog, "subject")->text(), QStringLiteral("Quorvatel Alert"));
        EXPECT_EQ(dialog.findChild<CRichEditCtrlEx*>()->Text(),
                  QStringLiteral("Broker Connect Failed. Tries=[TRIES]"));
        EXPECT_TRUE(dialog.findChild<QCheckBox*>(QStringLiteral("alertsEnabled"))->isChecked());
        auto* limit = dialog.findChild<QComboBox*>(QStringLiteral("contigFailLimit"));
        EXPECT_EQ(limit->count(), 19);
        EXPECT_EQ(limit->itemText(18), QStringLiteral("24"));
        EXPECT_EQ(limit->currentIndex(), -1) << "30 is not offered";

        // Two rows: the whole text after the first colon is the address.
        CReportCtrl& list = dialog.Recipients();
        EXPECT_EQ(Rows(list), (QStringList{"1:ops:desk@example.com", "0:night@example.com"}));

        // An empty address goes in at the top, unchecked; Delete removes the selection at once.
        answer = TypeAddress(QString());
        Click(dialog, "add");
        EXPECT_EQ(Rows(list), (QStringList{"0:", "1:ops:desk@example.com", "0:night@example.com"}));
        list.SetItemSelected(2, true);
        Click(dialog, "delete");
        EXPECT_EQ(shown, QStringList{CEmailAddDlg::kTitle});
        EXPECT_EQ(Rows(list), (QStringList{"0:", "1:ops:desk@example.com"}));

        dialog.findChild<QCheckBox*>(QStringLiteral("alertsEnabled"))->setChecked(false);
        Edit(dialog, "port")->clear();
        Click(dialog, "apply");
        EXPECT_EQ(prompter.Texts(), QStringList{"Data Saved in Registry."});
        EXPECT_EQ(prompter.shown.last().kind, RecordingPrompter::Kind::Information);
        EXPECT_EQ(StoredList(RecipientSection::kAlerts),
                  (QStringList{"0:", "1:ops:desk@example.com"}));
        EXPECT_EQ(Stored("EmailAlertsEnabled"), QStringLiteral("0"));
        EXPECT_EQ(Stored("ContigFailLimit"), QStringLiteral("30")) << "kept, not emptied";
        EXPECT_EQ(Stored("EmailPort"), QString()) << "a blank box is stored blank";
        EXPECT_EQ(Stored("EmailServer"), QStringLiteral("mail.example.com"));

        limit->setCurrentIndex(limit->findText(QStringLiteral("12")));
        // Enter in a single-line box applies and closes.
        QTest::keyClick(Edit(dialog, "from"), Qt::Key_Return);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(Stored("ContigFailLimit"), QStringLiteral("12"));
    }
    // Reopened: the blank port shows its default again, the empty address is back.
    CEmailSetDlg again(Services());
    EXPECT_EQ(Edit(again, "port")->text(), QStringLiteral("25"));
    EXPECT_FALSE(again.findChild<QCheckBox*>(QStringLiteral("alertsEnabled"))->isChecked());
    EXPECT_EQ(again.findChild<QComboBox*>(QStringLiteral("contigFailLimit"))->currentText(),
              QStringLiteral("12"));
    EXPECT_EQ(Rows(again.Recipients()), (QStringList{"1:ops:desk@example.com", "0:"}));
}

TEST_F(EmailDialogsTest, BroadcastListsStaySortedSelectAllSwitchesAndDeleteAsksFirst) {
    StoreList(RecipientSection::kBrokerGoingDown,
              {"1:eve@example.com", "1:Bob@example.com", "1:dup@example.com", "1:dup@example.com",
               "1:amy@example.com", "1:cy@example.com"});
    CEmailBCDSetDlg dialog(Services());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Broadcast Broker Going Down Email Settings"));
    EXPECT_EQ(Edit(dialog, "subject")->text(), QStringLiteral("Tessamy Broker"));
    CReportCtrl& list = dialog.Recipients();
    EXPECT_EQ(Rows(list), (QStringList{"1:Bob@example.com", "1:amy@example.com", "1:cy@example.com",
                                       "1:dup@example.com", "1:eve@example.com"}));
    auto* selectAll = dialog.findChild<QRadioButton*>(QStringLiteral("selectAll"));
    EXPECT_TRUE(selectAll->isChecked());
    EXPECT_FALSE(dialog.findChild<QPushButton*>(QStringLiteral("import"))->isEnabled())
        << "no import without a file chooser";

    // A click clears every box; another ticks them all again.
    QTest::mouseClick(selectAll, Qt::LeftButton);
    EXPECT_FALSE(selectAll->isChecked());
    EXPECT_EQ(list.GetItemCount(CReportCtrl::RC_ITEM_CHECKED), 0);
    QTest::mouseClick(selectAll, Qt::LeftButton);
    EXPECT_EQ(list.GetItemCount(CReportCtrl::RC_ITEM_UNCHECKED), 0);

    // Three of five selected: the confirmation lists them; Cancel keeps them, OK removes them.
    for (int row : {0, 2, 4}) list.SetItemSelected(row, true);
    QStringList listed;
    answer = [&](QDialog& d) {
        auto& confirm = dynamic_cast<CEmailDeleteListDlg&>(d);
        listed = confirm.Listed();
        EXPECT_EQ(confirm.findChild<CReportCtrl*>()->GetCheckboxMode(), 0);
        confirm.reject();
        return confirm.result();
    };
    Click(dialog, "delete");
    EXPECT_EQ(list.GetItemCount(), 5);
    EXPECT_EQ(listed, (QStringList{"Bob@example.com", "cy@example.com", "eve@example.com"}));
    answer = [](QDialog& d) { return d.accept(), d.result(); };
    Click(dialog, "delete");
    EXPECT_EQ(Rows(list), (QStringList{"1:amy@example.com", "1:dup@example.com"}));

    // Nothing selected: nothing asked.
    list.clearSelection();
    shown.clear();
    Click(dialog, "delete");
    EXPECT_TRUE(shown.isEmpty());

    // An added address is ticked and sorted in; an empty one is stored as "1:".
    answer = TypeAddress(QStringLiteral("ann@example.com"));
    Click(dialog, "add");
    answer = TypeAddress(QString());
    Click(dialog, "add");
    EXPECT_EQ(Rows(list),
              (QStringList{"1:", "1:amy@example.com", "1:ann@example.com", "1:dup@example.com"}));
    list.SetCheck(1, false);
    EXPECT_TRUE(selectAll->isChecked()) << "single boxes leave the switch alone";
    Click(dialog, "apply");
    EXPECT_EQ(StoredList(RecipientSection::kBrokerGoingDown),
              (QStringList{"1:", "0:amy@example.com", "1:ann@example.com", "1:dup@example.com"}));
    EXPECT_EQ(store.ReadText(QStringLiteral("BCDEMAILLIST"), QStringLiteral("4")),
              QStringLiteral("1:amy@example.com"))
        << "entries past Count stay behind, unread";
    EXPECT_EQ(Stored("EmailBCDSubject"), QStringLiteral("Tessamy Broker"));

    // Shortened to two rows: Count 2, and two rows on reopening, SelectAll off.
    for (int row : {0, 1}) list.SetItemSelected(row, true);
    list.SetItemSelected(2, false);
    answer = [](QDialog& d) { return d.accept(), d.result(); };
    Click(dialog, "delete");
    Click(dialog, "apply");
    EXPECT_EQ(StoredList(RecipientSection::kBrokerGoingDown),
              (QStringList{"1:ann@example.com", "1:dup@example.com"}));
    list.SetCheck(0, false);
    Click(dialog, "close");
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    CEmailBCDSetDlg again(Services());
    EXPECT_EQ(Rows(again.Recipients()), (QStringList{"1:ann@example.com", "1:dup@example.com"}));
    EXPECT_TRUE(again.findChild<QRadioButton*>(QStringLiteral("selectAll"))->isChecked());
}

TEST_F(EmailDialogsTest, TestMailGoesToSelectedCheckedRowsOnlyAndStoresNothing) {
    ASSERT_TRUE(QDir(work.path()).mkdir(QStringLiteral("sink")));
    SmtpSink sink;
    ASSERT_TRUE(sink.Start(work.filePath(QStringLiteral("sink"))))
        << sink.ErrorText().toStdString();
    StoreList(RecipientSection::kGeneralMessage,
              {"1:a@example.com", "1:b@example.com", "0:c@example.com"});
    const QByteArray profile = ReadAll(work.filePath(QStringLiteral("profile.ini")));

    CEmailBCGSetDlg dialog(Services());
    EXPECT_EQ(dialog.findChild<CRichEditCtrlEx*>()->Text(), QString()) << "no default message";
    CReportCtrl& list = dialog.Recipients();
    // The blank boxes are named in order, the first one only.
    Click(dialog, "test");
    Edit(dialog, "server")->clear();
    Click(dialog, "test");
    EXPECT_EQ(prompter.Texts(), (QStringList{"Email Content is blank!", "Email Server is blank!"}));

    Edit(dialog, "server")->setText(QStringLiteral("127.0.0.1"));
    Edit(dialog, "port")->setText(QString::number(sink.Port()));
    Edit(dialog, "from")->setText(QStringLiteral("qv@example.com"));
    Edit(dialog, "subject")->setText(QStringLiteral("Weekly"));
    auto* content = dialog.findChild<CRichEditCtrlEx*>();
    content->setFocus();
    QTest::keyClicks(content, QStringLiteral("Tries=[TRIES]"));
    QTest::keyClick(content, Qt::Key_Return);
    QTest::keyClicks(content, QStringLiteral("50% done"));
    EXPECT_EQ(dialog.result(), 0) << "Return breaks the line in the message box";

    // Checked but none selected.
    prompter.shown.clear();
    Click(dialog, "test");
    EXPECT_EQ(prompter.Texts(), QStringList{"No email recipient selected and checked!"});
    // a: selected and checked; b: checked only; c: selected only.
    list.SetItemSelected(0, true);
    list.SetItemSelected(2, true);
    prompter.shown.clear();
    Click(dialog, "test");
    ASSERT_TRUE(sink.WaitForMessages(1));
    QList<SmtpSink::Message> messages = sink.Messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].rcptTos, QStringList{"a@example.com"});
    EXPECT_EQ(messages[0].Header("Subject"), QByteArray("Weekly TEST"));
    EXPECT_EQ(messages[0].Body().trimmed(),
              QByteArray("Tries=[TRIES]\n50% done").replace("\n", "\r\n"));
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.Texts().join('\n').toStdString();

    // A subject already holding TEST goes out as it is; the alert template is not filled in.
    CEmailSetDlg alert(Services());
    Edit(alert, "server")->setText(QStringLiteral("127.0.0.1"));
    Edit(alert, "port")->setText(QString::number(sink.Port()));
    Edit(alert, "subject")->setText(QStringLiteral("A TEST run"));
    EXPECT_EQ(alert.Recipients().GetItemCount(), 0);
    answer = TypeAddress(QStringLiteral("ops@example.com"));
    Click(alert, "add");
    alert.Recipients().SetCheck(0, true);
    alert.Recipients().SetItemSelected(0, true);
    Click(alert, "test");
    ASSERT_TRUE(sink.WaitForMessages(2));
    messages = sink.Messages();
    EXPECT_EQ(messages[1].rcptTos, QStringList{"ops@example.com"});
    EXPECT_EQ(messages[1].Header("Subject"), QByteArray("A TEST run"));
    EXPECT_EQ(messages[1].Body().trimmed(), QByteArray("Broker Connect Failed. Tries=[TRIES]"));

    EXPECT_EQ(ReadAll(work.filePath(QStringLiteral("profile.ini"))), profile)
        << "a test mail stores nothing";
}

// The keyboard as in any dialog: Tab goes through the controls as they stand, top to bottom,
// and leaves the list without touching its selection; Enter presses the focused button.
TEST_F(EmailDialogsTest, TabAndEnterWorkAsInAnyDialogAndDeleteTakesTheRowsSelected) {
    StoreList(RecipientSection::kAlerts, {"1:ops@example.com", "1:dba@example.com"});
    CEmailSetDlg alert(Services());
    alert.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&alert));
    QStringList order;
    for (QWidget* w; order.size() < 15; QTest::keyClick(w, Qt::Key_Tab))
        order.append((w = QApplication::focusWidget())->objectName());
    EXPECT_EQ(order, (QStringList{"alertsEnabled", "recoveryEnabled", "contigFailLimit", "server",
                                  "port", "from", "subject", "content", "recipients", "add",
                                  "delete", "test", "apply", "close", "alertsEnabled"}));
    CReportCtrl& list = alert.Recipients();
    EXPECT_EQ(list.GetItemCount(CReportCtrl::RC_ITEM_SELECTED), 0) << "Tab selected nothing";
    const auto top = [&](const char* name) {
        return alert.findChild<QWidget*>(QString::fromLatin1(name))->mapTo(&alert, QPoint()).y();
    };
    EXPECT_LE(top("add") - top("recipients"), 4) << "Add at the top";
    // Enter on Close closes without storing; on Add it adds.
    const auto press = [&](const char* name, Qt::Key key) {
        QWidget* button = alert.findChild<QWidget*>(QString::fromLatin1(name));
        button->setFocus();
        QTest::keyClick(button, key);
    };
    answer = TypeAddress(QStringLiteral("new@example.com"));
    press("add", Qt::Key_Return);
    EXPECT_EQ(list.GetItemCount(), 3);
    press("close", Qt::Key_Enter);
    EXPECT_EQ(alert.result(), QDialog::Rejected);
    EXPECT_TRUE(prompter.shown.isEmpty()) << "nothing applied";

    // Two addresses that differ in letter case: only the selected row goes.
    StoreList(RecipientSection::kBrokerGoingDown, {"1:Bob@x.org", "1:bob@x.org"});
    CEmailBCDSetDlg broadcast(Services());
    broadcast.Recipients().SetItemSelected(1, true);
    answer = [](QDialog& d) { return d.accept(), d.result(); };
    Click(broadcast, "delete");
    EXPECT_EQ(Rows(broadcast.Recipients()), QStringList{"1:Bob@x.org"});
    // Apply writes the file once, with everything in it.
    Click(broadcast, "apply");
    EXPECT_EQ(SettingsStore(store.FilePath()).ReadText(QStringLiteral("BCDEMAILLIST"), "0"),
              QStringLiteral("1:Bob@x.org"));
}

}  // namespace
