#include <gtest/gtest.h>

#include <QSignalSpy>

#include "GridTestSupport.h"

using namespace TestColours;

// Cell (r, c) of the test grids starts at x = 60 c, y = 20 r (no scrolling).

TEST(GridCtrlDrawTest, FocusedSelectedCellKeepsItsBackgroundInsideABlackFrame) {
    auto grid = MakeShownGrid(5, 5);
    grid->SetItemBkColour(2, 2, GridRgb(0, 255, 0));
    grid->SetFocusCell(2, 2);
    grid->SetItemState(2, 2, grid->GetItemState(2, 2) | GVIS_SELECTED);
    grid->SetItemState(2, 3, GVIS_SELECTED);
    const QImage img = Snapshot(*grid);
    // Frame on the cell's edges, leaving its last column and row to the grid lines.
    EXPECT_EQ(Pixel(img, 120, 45), QColor(Qt::black));
    EXPECT_EQ(Pixel(img, 150, 40), QColor(Qt::black));
    EXPECT_EQ(Pixel(img, 178, 45), QColor(Qt::black));
    EXPECT_EQ(Pixel(img, 150, 58), QColor(Qt::black));
    EXPECT_EQ(Pixel(img, 150, 50), QColor(0, 255, 0));
    EXPECT_EQ(Pixel(img, 179, 50), QColor(0xC0, 0xC0, 0xC0));  // grid line
    // A cell that is only selected shows the highlight colour.
    EXPECT_EQ(Pixel(img, 210, 50), Highlight);
    // A drop-highlighted cell gets a frame too.
    grid->SetItemState(3, 1, GVIS_DROPHILITED);
    grid->RedrawCell(3, 1);
    const QImage dropped = Snapshot(*grid);
    EXPECT_EQ(Pixel(dropped, 60, 65), QColor(Qt::black));
    EXPECT_EQ(Pixel(dropped, 90, 70), Base);
}

TEST(GridCtrlDrawTest, HeadingsOfTheFocusRowAndColumnAreSunken) {
    auto grid = MakeShownGrid(5, 5);
    // No focus: every heading raised, light on top and dark below.
    QImage img = Snapshot(*grid);
    EXPECT_EQ(Pixel(img, 150, 0), Light);
    EXPECT_EQ(Pixel(img, 150, 19), Shadow);
    EXPECT_EQ(Pixel(img, 10, 40), Light);
    EXPECT_EQ(Pixel(img, 59, 50), Shadow);
    EXPECT_EQ(Pixel(img, 150, 10), Button);  // the heading's face

    grid->SetFocusCell(2, 2);
    img = Snapshot(*grid);
    EXPECT_EQ(Pixel(img, 150, 0), Shadow);     // column heading: dark on top
    EXPECT_EQ(Pixel(img, 150, 19), Midlight);  // and light below
    EXPECT_EQ(Pixel(img, 120, 10), Shadow);
    EXPECT_EQ(Pixel(img, 10, 40), Shadow);  // row heading
    EXPECT_EQ(Pixel(img, 59, 50), Midlight);
    EXPECT_EQ(Pixel(img, 210, 0), Light);  // other headings stay raised
    EXPECT_EQ(Pixel(img, 10, 60), Light);

    grid->SetFocusCell(3, 3);  // the old headings rise again
    img = Snapshot(*grid);
    EXPECT_EQ(Pixel(img, 150, 0), Light);
    EXPECT_EQ(Pixel(img, 210, 0), Shadow);
}

TEST(GridCtrlDrawTest, DefaultColouredCellsFollowTheGridBackground) {
    auto grid = MakeShownGrid(4, 4);
    grid->SetItemBkColour(1, 2, GridRgb(10, 20, 30));
    grid->SetBkColor(0xE0FFFF);  // stored as 0x00BBGGRR
    QImage img = Snapshot(*grid);
    EXPECT_EQ(Pixel(img, 90, 30), QColor(255, 255, 224));
    EXPECT_EQ(Pixel(img, 150, 30), QColor(10, 20, 30));
    grid->SetBkColor(GridRgb(1, 2, 3));
    img = Snapshot(*grid);
    EXPECT_EQ(Pixel(img, 90, 30), QColor(1, 2, 3));
    EXPECT_EQ(Pixel(img, 150, 30), QColor(10, 20, 30));
}

TEST(GridCtrlDrawTest, AreaOutsideTheCellsShowsTheShadowColour) {
    auto grid = MakeShownGrid(4, 4);  // cells cover 240 x 80 of 400 x 200
    QImage img = Snapshot(*grid);
    EXPECT_EQ(Pixel(img, 300, 30), Dark);
    EXPECT_EQ(Pixel(img, 100, 150), Dark);
    EXPECT_EQ(Pixel(img, 239, 30), QColor(0xC0, 0xC0, 0xC0));
    grid->SetShadowColor(GridRgb(7, 8, 9));
    img = Snapshot(*grid);
    EXPECT_EQ(Pixel(img, 300, 30), QColor(7, 8, 9));
}

TEST(GridCtrlDrawTest, GridLineModes) {
    auto grid = MakeShownGrid(4, 4);
    struct Case {
        int mode;
        bool vertical;
        bool horizontal;
    };
    for (const Case& c :
         {Case{0, false, false}, Case{1, false, true}, Case{2, true, false}, Case{3, true, true}}) {
        grid->SetGridLines(c.mode);
        const QImage img = Snapshot(*grid);
        const QColor line(0xC0, 0xC0, 0xC0);
        EXPECT_EQ(Pixel(img, 119, 30) == line, c.vertical) << c.mode;
        EXPECT_EQ(Pixel(img, 100, 39) == line, c.horizontal) << c.mode;
        EXPECT_EQ(Pixel(img, 100, 30), Base) << c.mode;
    }
}

TEST(GridCtrlDrawTest, SystemColourChangeMovesOnlyColoursLeftAtTheirDefault) {
    auto grid = MakeShownGrid(3, 3);
    grid->SetFixedBkColor(GridRgb(1, 1, 1));
    QPalette pal = TestPalette();
    pal.setColor(QPalette::Base, QColor(240, 240, 240));
    pal.setColor(QPalette::Button, QColor(100, 100, 100));
    pal.setColor(QPalette::Dark, QColor(50, 60, 70));
    grid->setPalette(pal);
    EXPECT_EQ(grid->GetBkColor(), GridRgb(240, 240, 240));
    EXPECT_EQ(grid->GetShadowColor(), GridRgb(50, 60, 70));
    EXPECT_EQ(grid->GetFixedBkColor(), GridRgb(1, 1, 1));
    const QImage img = Snapshot(*grid);
    EXPECT_EQ(Pixel(img, 90, 30), QColor(240, 240, 240));
    EXPECT_EQ(Pixel(img, 300, 150), QColor(50, 60, 70));
}

TEST(GridCtrlDrawTest, OverlayShowsThenExpiresLeavingTheStoredColours) {
    auto grid = MakeShownGrid(4, 4);
    grid->SetItemBkColour(2, 1, GridRgb(0, 0, 255));
    grid->ShowOverlay(2, 1, GridRgb(250, 100, 150), kGridDefaultColour, 150);
    grid->ShowOverlay(2, 2, GridRgb(0, 255, 0), 0, 100, 10000);  // not yet on
    EXPECT_TRUE(grid->HasOverlay(2, 1));
    QImage img = Snapshot(*grid);
    EXPECT_EQ(Pixel(img, 90, 50), QColor(250, 100, 150));
    EXPECT_EQ(Pixel(img, 150, 50), Base);
    EXPECT_EQ(grid->GetItemBkColour(2, 1), GridRgb(0, 0, 255));

    QTRY_VERIFY_WITH_TIMEOUT(!grid->HasOverlay(2, 1), 5000);
    img = Snapshot(*grid);
    EXPECT_EQ(Pixel(img, 90, 50), QColor(0, 0, 255));
    EXPECT_EQ(grid->GetItemBkColour(2, 1), GridRgb(0, 0, 255));

    grid->DeleteAllItems();  // drops the pending one too
    EXPECT_FALSE(grid->HasOverlay(2, 2));
    grid->ShowOverlay(0, 0, 1, 1, 100);  // no cells: nothing
    EXPECT_FALSE(grid->HasOverlay(0, 0));
}
