#include <gtest/gtest.h>

#include "controls/GridLayout.h"

namespace {

// One fixed row 20 high and one fixed column 40 wide; 20 scrollable rows of 10 and 5
// scrollable columns of 50: 290 x 220 pixels in all.
GridModel SampleModel() {
    GridModel m;
    m.SetColumnCount(6);
    m.SetRowCount(21);
    m.SetFixedRowCount(1);
    m.SetFixedColumnCount(1);
    m.SetRowHeight(0, 20);
    for (int r = 1; r < 21; ++r) m.SetRowHeight(r, 10);
    m.SetColumnWidth(0, 40);
    for (int c = 1; c < 6; ++c) m.SetColumnWidth(c, 50);
    return m;
}

GridLayout At(const GridModel& m, int scrollX = 0, int scrollY = 0) {
    return GridLayout(m, GridViewport{200, 100, scrollX, scrollY});
}

}  // namespace

TEST(GridLayoutTest, TopLeftRoundsScrollPositionsUpToWholeCells) {
    const GridModel m = SampleModel();
    EXPECT_EQ(At(m).GetTopLeftScrollCell(), CCellID(1, 1));
    EXPECT_EQ(At(m, 50, 10).GetTopLeftScrollCell(), CCellID(2, 2));
    EXPECT_EQ(At(m, 51, 15).GetTopLeftScrollCell(), CCellID(3, 3));
    EXPECT_EQ(At(m, 100000, 100000).GetTopLeftScrollCell(), CCellID(20, 5));  // never past the last
    EXPECT_EQ(At(GridModel()).GetTopLeftScrollCell(), CCellID(0, 0));
}

TEST(GridLayoutTest, HitTestsFixedAreaScrolledCellsAndMisses) {
    const GridModel m = SampleModel();
    const GridLayout l = At(m);
    EXPECT_EQ(l.HitTestCell({10, 5}, true), CCellID(0, 0));
    EXPECT_EQ(l.HitTestCell({10, 5}, false), CCellID(-1, -1));
    EXPECT_EQ(l.HitTestCell({10, 25}, false), CCellID(1, -1));
    EXPECT_EQ(l.HitTestCell({40, 20}, false), CCellID(1, 1));
    EXPECT_EQ(l.HitTestCell({239, 99}, false), CCellID(8, 4));
    EXPECT_EQ(l.HitTestCell({290, 30}, true), CCellID(2, -1));  // right of the last column
    EXPECT_EQ(l.HitTestCell({-1, 300}, true), CCellID(-1, -1));
    EXPECT_EQ(At(m, 50, 30).HitTestCell({45, 21}, false), CCellID(4, 2));
    EXPECT_EQ(At(GridModel()).HitTestCell({0, 0}, true), CCellID(-1, -1));
}

TEST(GridLayoutTest, CellRectsOfFixedShownAndScrolledOutCells) {
    const GridModel m = SampleModel();
    QRect r;
    ASSERT_TRUE(At(m).GetCellRect(2, 3, r));
    EXPECT_EQ(r, QRect(140, 30, 50, 10));
    EXPECT_EQ(r.right(), 189);  // the last pixel of the cell

    const GridLayout scrolled = At(m, 50, 15);    // top-left scrollable cell (3, 2)
    EXPECT_FALSE(scrolled.GetCellRect(2, 3, r));  // row scrolled out
    EXPECT_FALSE(scrolled.GetCellRect(5, 1, r));  // column scrolled out
    ASSERT_TRUE(scrolled.GetCellRect(5, 0, r));   // a fixed column scrolls only vertically
    EXPECT_EQ(r, QRect(0, 40, 40, 10));
    ASSERT_TRUE(scrolled.GetCellRect(0, 0, r));
    EXPECT_EQ(r, QRect(0, 0, 40, 20));
    EXPECT_FALSE(scrolled.GetCellRect(21, 0, r));
}

TEST(GridLayoutTest, VisibleRangesAndVisibility) {
    const GridModel m = SampleModel();
    QRect rect;
    const GridLayout l = At(m);
    EXPECT_EQ(l.GetVisibleScrollRange(&rect), CCellRange(1, 1, 8, 4));
    EXPECT_EQ(rect, QRect(0, 0, 200, 100));
    // Row 8 ends exactly at the client bottom; column 4 runs past the right edge.
    EXPECT_EQ(l.GetFullyVisibleScrollRange(), CCellRange(1, 1, 8, 3));
    EXPECT_TRUE(l.IsCellVisible(8, 4));   // partly visible counts
    EXPECT_FALSE(l.IsCellVisible(9, 1));  // starts at the client bottom
    EXPECT_FALSE(l.IsCellVisible(1, 5));
    EXPECT_FALSE(l.IsCellVisible(1, 6));

    // Everything fits: the running edges stop at the last cell.
    const GridLayout wide(m, GridViewport{1000, 1000, 0, 0});
    EXPECT_EQ(wide.GetVisibleScrollRange(&rect), CCellRange(1, 1, 20, 5));
    EXPECT_EQ(rect, QRect(0, 0, 290, 220));
}

TEST(GridLayoutTest, DividersLieNearCellEdgesInTheHeadings) {
    const GridModel m = SampleModel();
    const GridLayout l = At(m);
    // Columns, in the heading row: column 1 spans x 40..89.
    EXPECT_TRUE(l.IsOnDivider(Qt::Horizontal, {88, 5}, 3));          // its right edge
    EXPECT_TRUE(l.IsOnDivider(Qt::Horizontal, {42, 5}, 3));          // its left edge
    EXPECT_FALSE(l.IsOnDivider(Qt::Horizontal, {65, 5}, 3));         // its middle
    EXPECT_FALSE(l.IsOnDivider(Qt::Horizontal, {2, 5}, 3));          // the grid's left edge
    EXPECT_FALSE(l.IsOnDivider(Qt::Horizontal, {88, 25}, 3));        // below the headings
    EXPECT_FALSE(l.IsOnDivider(Qt::Horizontal, {295, 5}, 3));        // right of the last column
    EXPECT_TRUE(At(m, 50).IsOnDivider(Qt::Horizontal, {42, 5}, 3));  // scrolled: column 2
    // Rows, in the heading column: row 1 spans y 20..29.
    EXPECT_TRUE(l.IsOnDivider(Qt::Vertical, {10, 28}, 3));
    EXPECT_TRUE(l.IsOnDivider(Qt::Vertical, {10, 18}, 3));  // bottom of the heading row
    EXPECT_FALSE(l.IsOnDivider(Qt::Vertical, {10, 1}, 3));  // the grid's top edge
    EXPECT_FALSE(l.IsOnDivider(Qt::Vertical, {10, 24}, 3));
    EXPECT_FALSE(l.IsOnDivider(Qt::Vertical, {50, 28}, 3));  // right of the headings
    EXPECT_FALSE(At(GridModel()).IsOnDivider(Qt::Vertical, {0, 0}, 3));
}

TEST(GridLayoutTest, ScrollRangesNeedRoomAndAScrollableCell) {
    GridModel m = SampleModel();
    GridScrollRanges ranges;
    ASSERT_TRUE(At(m).ComputeScrollRanges(ranges));
    EXPECT_EQ(ranges.hMax, 90);
    EXPECT_EQ(ranges.vMax, 120);
    EXPECT_EQ(ranges.hPage, 160);
    EXPECT_EQ(ranges.vPage, 80);
    ASSERT_TRUE(GridLayout(m, GridViewport{1000, 1000, 0, 0}).ComputeScrollRanges(ranges));
    EXPECT_EQ(ranges.hMax, 0);
    EXPECT_EQ(ranges.vMax, 0);

    EXPECT_FALSE(GridLayout(m, GridViewport{40, 100, 0, 0}).ComputeScrollRanges(ranges));
    m.SetRowCount(1);  // only the heading row left
    EXPECT_FALSE(At(m).ComputeScrollRanges(ranges));
}

TEST(GridLayoutTest, LineStepsMoveByWholeRowsAndColumns) {
    GridModel m = SampleModel();
    m.SetRowHeight(1, 30);
    m.SetColumnWidth(1, 70);
    EXPECT_EQ(At(m).Scrolled(Qt::Vertical, GridScroll::LineForward, 500), 30);
    EXPECT_EQ(At(m, 0, 30).Scrolled(Qt::Vertical, GridScroll::LineForward, 500), 40);
    EXPECT_EQ(At(m, 0, 40).Scrolled(Qt::Vertical, GridScroll::LineBack, 500), 30);
    EXPECT_EQ(At(m, 0, 30).Scrolled(Qt::Vertical, GridScroll::LineBack, 500), 0);
    EXPECT_EQ(At(m, 0, 0).Scrolled(Qt::Vertical, GridScroll::LineBack, 500), 0);
    EXPECT_EQ(At(m).Scrolled(Qt::Horizontal, GridScroll::LineForward, 60), 60);  // clamped
    EXPECT_EQ(At(m, 60).Scrolled(Qt::Horizontal, GridScroll::LineForward, 60), 60);
    EXPECT_EQ(At(m, 0, 50).Scrolled(Qt::Vertical, GridScroll::PageForward, 100), 100);
    EXPECT_EQ(At(m, 0, 90).Scrolled(Qt::Vertical, GridScroll::PageBack, 100), 10);
    EXPECT_EQ(At(m, 0, 90).Scrolled(Qt::Vertical, GridScroll::ToStart, 100), 0);
    EXPECT_EQ(At(m, 0, 90).Scrolled(Qt::Vertical, GridScroll::ToEnd, 100), 100);
}

TEST(GridLayoutTest, EnsureVisibleScrollsByWholeRowsAndColumns) {
    const GridModel m = SampleModel();
    GridScrollRanges ranges;
    ASSERT_TRUE(At(m).ComputeScrollRanges(ranges));
    // Four rows down; one column right, then one more because the cell still runs past
    // the right edge, which the range clamps.
    EXPECT_EQ(At(m).EnsureVisible(12, 5, ranges), QPoint(90, 40));
    EXPECT_EQ(At(m, 90, 40).EnsureVisible(1, 1, ranges), QPoint(0, 0));
    EXPECT_EQ(At(m).EnsureVisible(3, 2, ranges), QPoint(0, 0));  // already in view
    // A partly shown last row gets one more step.
    GridModel tall = SampleModel();
    tall.SetRowHeight(8, 15);
    EXPECT_EQ(At(tall).EnsureVisible(8, 1, ranges), QPoint(0, 10));
    EXPECT_EQ(At(m, 30, 20).EnsureVisible(-1, 40, ranges), QPoint(30, 20));  // no such cell
}
