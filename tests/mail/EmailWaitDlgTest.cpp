#include <gtest/gtest.h>

#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include "FakeClock.h"
#include "mail/EmailWaitDlg.h"

namespace {

TEST(EmailWaitDlgTest, ShowsItselfDisablesTheMainWindowAndGivesItBackOnClose) {
    QWidget mainWindow;
    mainWindow.show();
    FakeClock clock;
    {
        CEmailWaitDlg wait(&mainWindow, clock);
        EXPECT_TRUE(wait.isVisible());
        EXPECT_FALSE(wait.isModal());
        EXPECT_EQ(wait.windowTitle(), QStringLiteral("Sending Email...."));
        EXPECT_FALSE(mainWindow.isEnabled());
        EXPECT_TRUE(wait.isEnabled());
        EXPECT_EQ(wait.ProgressBar()->minimum(), 0);
        EXPECT_EQ(wait.ProgressBar()->maximum(), 100);
        EXPECT_FALSE(wait.CancelButton()->isVisible());
        EXPECT_FALSE(wait.CancelButton()->isEnabled());

        wait.SetStatusText(CEmailWaitDlg::SendingText(QStringLiteral("50% <b>x</b>")));
        EXPECT_EQ(wait.StatusText(), QStringLiteral("Sending Email .... 50% <b>x</b>"));

        // Neither Escape nor the close box interrupts a send.
        QTest::keyClick(&wait, Qt::Key_Escape);
        wait.close();
        EXPECT_TRUE(wait.isVisible());

        wait.Close();
        EXPECT_FALSE(wait.isVisible());
        EXPECT_TRUE(mainWindow.isEnabled());
    }
    EXPECT_TRUE(mainWindow.isEnabled());

    // A window that was already disabled by someone else stays disabled.
    mainWindow.setEnabled(false);
    { CEmailWaitDlg wait(&mainWindow, clock); }
    EXPECT_FALSE(mainWindow.isEnabled());
}

TEST(EmailWaitDlgTest, BarOnlyMovesForwardAndPausesOnceAtTheEnd) {
    QWidget mainWindow;
    FakeClock clock;
    CEmailWaitDlg wait(&mainWindow, clock);
    wait.SetProgress(50);
    EXPECT_EQ(wait.ProgressBar()->value(), 50);
    wait.SetProgress(0);
    wait.SetProgress(-5);
    wait.SetProgress(30);
    wait.SetProgress(50);
    EXPECT_EQ(wait.Position(), 50);
    EXPECT_EQ(wait.ProgressBar()->value(), 50);
    EXPECT_EQ(clock.TotalSleptMs(), 0);

    wait.SetProgress(250);  // counts as the end
    EXPECT_EQ(wait.Position(), 100);
    EXPECT_EQ(wait.ProgressBar()->value(), 100);
    EXPECT_EQ(clock.TotalSleptMs(), 500);
    wait.SetProgress(100);  // already there: no second pause
    EXPECT_EQ(clock.TotalSleptMs(), 500);

    CEmailWaitDlg closed(&mainWindow, clock);
    closed.Close();
    closed.SetProgress(100);
    EXPECT_EQ(closed.Position(), 0);
    EXPECT_EQ(clock.TotalSleptMs(), 500);
}

}  // namespace
