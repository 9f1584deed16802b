#include <QLabel>

#include "MonitorFixture.h"
#include "monitor/MatrixFilter.h"
#include "monitor/MatrixFilterBar.h"

// The filter box over the login matrix, as an administrator uses it on the real window
// against the simulated Broker: typed, held across scans and a failure, right-clicked
// through, and cleared.
namespace {

class MatrixFilterEndToEndTest : public MonitorFixture {
protected:
    CGridCtrl& View() { return window->Filter().View(); }
    QLineEdit* Box() { return window->FilterBar().Edit(); }
    QString Counts() {
        QLabel* label = window->FilterBar().CountLabel();
        return label->isVisible() ? label->text() : QString();
    }
    QStringList Shown(int row, int group) {
        QStringList cells;
        for (int k = 0; k < MatrixLayout::kGroupWidth; ++k)
            cells.append(View().GetItemText(row, group * MatrixLayout::kGroupWidth + k));
        return cells;
    }
    QStringList ShownUsers() {
        QStringList users;
        for (int row = 1; row < View().GetRowCount(); ++row)
            for (int group = 0; group < MatrixLayout::kGroupsPerRow; ++group)
                if (const QString pid = Shown(row, group)[0]; !pid.isEmpty())
                    users.append(Shown(row, group)[1]);
        return users;
    }
};

TEST_F(MatrixFilterEndToEndTest, FilterNarrowsTheMatrixAndClicksActOnTheSessionsShown) {
    StoreProfile();
    broker.AddUser(QStringLiteral("alice"), QStringLiteral("alice@example.com"));
    broker.AddUser(QStringLiteral("bob"), QStringLiteral("bob@example.com"));
    broker.AddUser(QStringLiteral("carol"), QStringLiteral("carol@example.com"));
    broker.AddUser(QStringLiteral("alan"), QStringLiteral("alan@example.com"));
    broker.AddUser(QStringLiteral("dana"), QStringLiteral("dana@example.com"));
    LogOn("alice", "PC1", "100", "2017/11/02 09:01:00");
    LogOn("bob", "PC2", "200", "2017/11/02 09:02:00");
    LogOn("carol", "LAB7", "300", "2017/11/02 09:03:00");
    LogOn("alan", "LAB8", "400", "2017/11/02 09:04:00");
    Open();
    ASSERT_EQ(Text(CQuandrixDlg::IDC_SESSION_COUNT), QStringLiteral("4"));
    EXPECT_EQ(Box()->placeholderText(), QStringLiteral("Filter sessions: user, machine, PID"));
    EXPECT_TRUE(Counts().isEmpty());

    // Edit > Filter Sessions puts the caret in the box; two words, any case, each matching
    // some cell of the entry.
    QAction* filterItem = MenuAction(QStringLiteral("Filter Sessions\tCtrl+L"));
    ASSERT_NE(filterItem, nullptr);
    window->activateWindow();
    filterItem->trigger();
    EXPECT_EQ(QApplication::focusWidget(), Box());
    QTest::keyClicks(Box(), QStringLiteral("lab A"));
    EXPECT_TRUE(View().isVisible());
    EXPECT_FALSE(Grid().isVisible());
    EXPECT_EQ(ShownUsers(), (QStringList{"CAROL", "ALAN"}));
    EXPECT_EQ(Counts(), QStringLiteral("Showing 2 of 4 sessions"));
    EXPECT_EQ(Text(CQuandrixDlg::IDC_SESSION_COUNT), QStringLiteral("4"));

    // One who matches logs on and flashes as in the matrix; one who does not stays hidden,
    // yet is counted and written to the history.
    LogOn("dana", "LAB9", "500", "2017/11/02 09:05:00");
    LogOn("bob", "PC5", "600", "2017/11/02 09:06:00");
    clock.Advance(60000);
    window->OnScanOn();
    EXPECT_EQ(ShownUsers(), (QStringList{"CAROL", "ALAN", "DANA"}));
    EXPECT_EQ(View().HasOverlay(1, 8), Grid().HasOverlay(2, 4)) << "the new session's flash";
    EXPECT_EQ(Counts(), QStringLiteral("Showing 3 of 6 sessions"));
    EXPECT_EQ(Text(CQuandrixDlg::IDC_SESSION_COUNT), QStringLiteral("6"));
    EXPECT_TRUE(HistoryLines().contains(
        "ADD : 600        BOB                  PC5                  2017/11/02 09:06:00"));
    // Printing and export keep the whole matrix: the matrix grid still holds every session.
    EXPECT_EQ(Entry(1, 1), (QStringList{"200", "BOB", "PC2", "2017/11/02 09:02:00"}));
    EXPECT_EQ(Entry(2, 2)[1], QStringLiteral("BOB"));

    // The Broker fails: its failure entry is shown whatever the filter says.
    broker.Condition({QStringLiteral("down")});
    window->OnScanOn();
    EXPECT_EQ(Shown(2, 0), (QStringList{"Error", "TESBKR01", "Fail Broker Connect", Now()}));
    // A failure entry is not a session: the label counts as the Sessions box does.
    EXPECT_EQ(Counts(), QStringLiteral("Showing 3 of 6 sessions"));

    // A right-click on Alan's user id where the filter shows it chooses his session.
    QString dialogTo;
    answerDialog = [&](QDialog& dialog) {
        dialogTo = dialog.findChild<QLineEdit*>(QStringLiteral("to"))->text();
        dialog.reject();
        return static_cast<int>(QDialog::Rejected);
    };
    QRect cell;
    ASSERT_TRUE(View().GetCellRect(1, 5, cell));
    QTest::mouseClick(View().viewport(), Qt::RightButton, {}, cell.center());
    QContextMenuEvent event(QContextMenuEvent::Mouse, cell.center(),
                            View().viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(View().viewport(), &event);
    ASSERT_TRUE(window->RowPopup()->isVisible());
    EXPECT_EQ(window->RowMenu(), (RowMenuState{true, true}));
    EXPECT_EQ(window->Watched(), (WatchedSession{"400", "ALAN", "LAB8", "2017/11/02 09:04:00"}));
    EXPECT_EQ(window->Engine().WatchedEntry(), CCellID(2, 2)) << "his Machine cell in the matrix";
    QAction* send = window->SendMessageAction();
    QTest::mouseClick(window->RowPopup(), Qt::LeftButton, {},
                      window->RowPopup()->actionGeometry(send).center());
    EXPECT_EQ(dialogsShown, QStringList{"Send Message to this User"});
    EXPECT_EQ(dialogTo, QStringLiteral("alan@example.com"));

    // QV_FILTER_SCREENSHOT=FILE.png keeps a picture of the filtered window.
    // Taken once the last failure entry's flash is over.
    if (const QString shot = qEnvironmentVariable("QV_FILTER_SCREENSHOT"); !shot.isEmpty()) {
        QTest::qWait(300);
        window->grab().save(shot);
    }

    // Escape in the box clears it: the whole matrix again.
    QTest::keyClick(Box(), Qt::Key_Escape);
    EXPECT_TRUE(Box()->text().isEmpty());
    EXPECT_TRUE(Grid().isVisible());
    EXPECT_FALSE(View().isVisible());
    EXPECT_TRUE(Counts().isEmpty());
}

}  // namespace
