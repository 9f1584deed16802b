#include <gtest/gtest.h>

#include <QStringList>

#include "monitor/RowMenu.h"
#include "scan/MatrixLayout.h"

// The right-click on the matrix: which session it chooses and what the row menu allows.
namespace {

class RowMenuTest : public ::testing::Test {
protected:
    RowMenuTest() {
        rows.append(MatrixLayout::Headings());
        rows.append({"3312", "LNOVAK", "PC042", "2017/11/02 09:01:00", "Error", "TESBKR01",
                     "Fail Broker Connect", "2017/11/02 09:30:00", "", "", "", ""});
    }
    RightClick At(int row, int col) const {
        RightClick click;
        click.row = row;
        click.col = col;
        click.rowCount = static_cast<int>(rows.size());
        click.cellText = [this](int r, int c) {
            if (r < 0 || r >= rows.size() || c < 0 || c >= rows[r].size()) return QString();
            return rows[r][c];
        };
        return click;
    }
    QList<QStringList> rows;
};

const WatchedSession kNovak{"3312", "LNOVAK", "PC042", "2017/11/02 09:01:00"};

TEST_F(RowMenuTest, UserIdOrMachineCellChoosesItsSession) {
    RightClickOutcome out = RightClickOnCell(At(1, 1));
    EXPECT_EQ(out.menu, (RowMenuState{true, true}));
    EXPECT_EQ(out.watched, kNovak);
    EXPECT_EQ(out.position, CCellID(1, 2)) << "the Machine column is remembered";

    out = RightClickOnCell(At(1, 2));
    EXPECT_EQ(out.menu, (RowMenuState{true, true}));
    EXPECT_EQ(out.watched, kNovak);
    EXPECT_EQ(out.position, CCellID(1, 2));
    EXPECT_FALSE(out.clearWatchedKey);
}

TEST_F(RowMenuTest, OtherCellsAndFailureEntriesEnableNothing) {
    RightClick click = At(1, 3);  // DateTime
    click.watched = kNovak;
    RightClickOutcome out = RightClickOnCell(click);
    EXPECT_EQ(out.menu, (RowMenuState{false, false}));
    EXPECT_EQ(out.watched, kNovak) << "nothing is copied";
    EXPECT_EQ(out.position, CCellID(1, 3));

    EXPECT_EQ(RightClickOnCell(At(1, 0)).menu, (RowMenuState{false, false}));  // Pid
    out = RightClickOnCell(At(1, 5));  // UserId of the Error entry
    EXPECT_EQ(out.menu, (RowMenuState{false, false}));
    EXPECT_EQ(out.watched.pid, QStringLiteral("Error"));
    EXPECT_EQ(RightClickOnCell(At(1, 6)).menu, (RowMenuState{false, false}));
    EXPECT_EQ(RightClickOnCell(At(0, 1)).menu, (RowMenuState{false, false}));  // a heading
}

TEST_F(RowMenuTest, WhileTracingOnlyTheWatchedSessionCanBeChosenForDebugLogging) {
    rows[1][8] = QStringLiteral("4410");
    rows[1][9] = QStringLiteral("BOB");
    rows[1][10] = QStringLiteral("PC007");
    RightClick click = At(1, 9);
    click.traceActive = true;
    click.watchedKey = QStringLiteral("3312");
    EXPECT_EQ(RightClickOnCell(click).menu, (RowMenuState{false, true}));
    click = At(1, 1);
    click.traceActive = true;
    click.watchedKey = QStringLiteral("3312");
    EXPECT_EQ(RightClickOnCell(click).menu, (RowMenuState{true, true}));
    click.watchedKey.clear();  // tracing all clients
    click = At(1, 9);
    click.traceActive = true;
    EXPECT_EQ(RightClickOnCell(click).menu, (RowMenuState{true, true}));
}

TEST_F(RowMenuTest, BesideAnEmptyMatrixChoosesAllClients) {
    rows.removeLast();
    RightClick click = At(-1, -1);
    click.watched = kNovak;
    click.watchedKey = QStringLiteral("3312");
    RightClickOutcome out = RightClickOnCell(click);
    EXPECT_EQ(out.menu, (RowMenuState{true, false}));
    EXPECT_EQ(out.watched, WatchedSession{});
    EXPECT_TRUE(out.clearWatchedKey);
    EXPECT_EQ(out.position, CCellID(1, 2));

    // Not while debug logging runs, and not beside a matrix that has entries.
    click.traceActive = true;
    EXPECT_EQ(RightClickOnCell(click).menu, (RowMenuState{false, false}));
    EXPECT_FALSE(RightClickOnCell(click).clearWatchedKey);
    rows.append(QStringList(12, QString()));
    click = At(-1, -1);
    EXPECT_EQ(RightClickOnCell(click).menu, (RowMenuState{false, false}));
    EXPECT_FALSE(RightClickOnCell(click).clearWatchedKey);
}

}  // namespace
