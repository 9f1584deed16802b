#include <gtest/gtest.h>

#include <QSignalSpy>
#include <functional>

#include "GridTestSupport.h"
#include "ScreenGrab.h"

TEST(GridCtrlTest, ShrinkingOrFixingTheFocusRowClearsTheFocus) {
    CGridCtrl grid(6, 4, 1, 1);
    QSignalSpy spy(&grid, &CGridCtrl::Notify);
    grid.SetFocusCell(4, 2);
    EXPECT_EQ(Received(spy), (NotifyCodes{{GVN_SELCHANGED, 4, 2}}));
    EXPECT_TRUE(grid.GetItemState(4, 2) & GVIS_FOCUSED);
    spy.clear();
    grid.SetRowCount(4);  // row 4 goes away
    EXPECT_EQ(Received(spy), (NotifyCodes{{GVN_SELCHANGING, 4, 2}}));
    EXPECT_EQ(grid.GetFocusCell(), CCellID(-1, -1));

    grid.SetFocusCell(2, 2);
    spy.clear();
    grid.SetFixedRowCount(3);  // the focus row becomes a heading
    EXPECT_EQ(Received(spy), (NotifyCodes{{GVN_SELCHANGING, 2, 2}}));
    EXPECT_FALSE(grid.GetItemState(2, 2) & GVIS_FOCUSED);
    EXPECT_EQ(grid.GetFixedRowCount(), 3);

    grid.SetFocusCell(3, 3);
    grid.SetColumnCount(3);
    EXPECT_EQ(grid.GetFocusCell(), CCellID(-1, -1));
    grid.SetFixedRowCount(9);  // grows the store first
    EXPECT_EQ(grid.GetRowCount(), 9);
}

TEST(GridCtrlTest, DeleteAllItemsEmptiesEverything) {
    auto grid = MakeShownGrid(40, 8);
    grid->SetItemText(5, 5, "x");
    grid->SetFocusCell(5, 5);
    grid->SelectRange(5, 1, 6, 7);
    grid->ShowOverlay(5, 5, 1, 2, 10000);
    grid->EnsureVisible(39, 7);
    ASSERT_GT(grid->verticalScrollBar()->value(), 0);
    QSignalSpy spy(grid.get(), &CGridCtrl::Notify);

    EXPECT_TRUE(grid->DeleteAllItems());
    EXPECT_EQ(Received(spy), (NotifyCodes{{GVN_SELCHANGING, 5, 5}}));
    EXPECT_EQ(grid->GetRowCount() + grid->GetColumnCount(), 0);
    EXPECT_EQ(grid->GetFixedRowCount() + grid->GetFixedColumnCount(), 0);
    EXPECT_EQ(grid->GetSelectedCount(), 0);
    EXPECT_EQ(grid->GetFocusCell(), CCellID(-1, -1));
    EXPECT_FALSE(grid->HasOverlay(5, 5));
    EXPECT_EQ(grid->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(grid->verticalScrollBar()->value(), 0);
    Snapshot(*grid);  // paints an empty grid

    // Every operation on a missing cell is harmless.
    EXPECT_FALSE(grid->RedrawRow(3));
    EXPECT_FALSE(grid->RedrawCell(-1, 0));
    EXPECT_FALSE(grid->InvalidateCellRect(CCellID(2, 2)));
    EXPECT_FALSE(grid->AutoSizeColumn(0));
    EXPECT_FALSE(grid->SortTextItems(0, true));
    grid->EnsureVisible(99, 99);
    grid->AutoSize();
    grid->SelectAllCells();
    EXPECT_EQ(grid->HitTestCell(QPoint(5, 5), true), CCellID(-1, -1));
}

TEST(GridCtrlTest, ScrollBarsUsePixelRangesAndStepByWholeRows) {
    auto grid = MakeShownGrid(41, 10, 400, 200);  // 800 x 820 pixels of cells
    QScrollBar* v = grid->verticalScrollBar();
    QScrollBar* h = grid->horizontalScrollBar();
    const int clientH = grid->viewport()->height();
    const int clientW = grid->viewport()->width();
    EXPECT_EQ(v->maximum(), 820 - clientH);
    EXPECT_EQ(v->pageStep(), clientH - 20);
    EXPECT_EQ(h->maximum(), 600 - clientW);

    grid->SetRowHeight(1, 35);
    grid->ResetScrollBars();
    v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(v->value(), 35);
    EXPECT_EQ(grid->GetTopLeftScrollCell(), CCellID(2, 1));
    v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(v->value(), 55);
    v->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(v->value(), 35);
    v->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(v->value(), v->maximum());
    v->triggerAction(QAbstractSlider::SliderToMinimum);
    v->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(v->value(), clientH - 20);

    // Drawing off: sizes change but the bars are left alone until drawing resumes.
    const int max = v->maximum();
    grid->SetRedraw(false);
    grid->SetRowCount(81);
    grid->ResetScrollBars();
    EXPECT_EQ(v->maximum(), max);
    grid->SetRedraw(true, true);
    EXPECT_EQ(v->maximum(), max + 40 * grid->GetDefaultRowHeight());
}

TEST(GridCtrlTest, EnsureVisibleMovesTheScrollBars) {
    auto grid = MakeShownGrid(41, 10, 400, 200);
    grid->EnsureVisible(30, 8);
    EXPECT_TRUE(grid->IsCellVisible(30, 8));
    QRect rect;
    ASSERT_TRUE(grid->GetCellRect(30, 8, rect));
    EXPECT_LE(rect.bottom(), grid->viewport()->height());
    EXPECT_EQ(grid->verticalScrollBar()->value() % 20, 0);  // whole rows
    EXPECT_EQ(grid->horizontalScrollBar()->value() % 60, 0);
    grid->EnsureVisible(1, 1);
    EXPECT_EQ(grid->GetTopLeftScrollCell(), CCellID(1, 1));
}

TEST(GridCtrlTest, FontChangesOverwriteEveryCellFont) {
    CGridCtrl grid(3, 3);
    grid.SetTextMetrics(std::make_unique<FixedTextMetrics>());
    QFont italic = grid.GetGridFont();
    italic.setItalic(true);
    grid.SetItemFont(0, 1, italic);
    grid.SetGridFont(grid.GetGridFont());  // the same font again still resets the cells
    EXPECT_FALSE(grid.GetItemFont(0, 1).italic());

    grid.SetItemFont(0, 1, italic);
    QFont big("DejaVu Sans", 20);
    grid.setFont(big);  // a font given the Qt way is adopted the same way
    EXPECT_EQ(grid.GetItemFont(0, 1), big);
    EXPECT_EQ(grid.GetGridFont(), big);
    EXPECT_EQ(grid.GetMargin(), 3);
    EXPECT_EQ(grid.GetDefaultRowHeight(), 21);
    EXPECT_EQ(grid.GetDefaultColumnWidth(), 90);
}

TEST(GridCtrlTest, HeadingSortKeepsFixedRowsAndDropsFocusAndSelection) {
    CGridCtrl grid(5, 2, 1, 0);
    const QStringList texts = {"Head", "b", "A", "a", "C"};
    for (int r = 0; r < 5; ++r) grid.SetItemText(r, 0, texts[r]);
    grid.SetFocusCell(2, 0);
    grid.SelectRange(2, 0, 2, 1);
    ASSERT_TRUE(grid.SortTextItems(0, false));
    QStringList sorted;
    for (int r = 0; r < 5; ++r) sorted << grid.GetItemText(r, 0);
    EXPECT_EQ(sorted, QStringList({"Head", "C", "b", "a", "A"}));
    EXPECT_EQ(grid.GetFocusCell(), CCellID(-1, -1));
    EXPECT_EQ(grid.GetSelectedCount(), 0);
}

// A grid that supplies its own texts is sorted, sized and read by them.
TEST(GridCtrlTest, OverriddenTextsDriveSortSizeAndGetItem) {
    class Reversed : public CGridCtrl {
    public:
        QString GetItemText(int row, int col) const override {
            QString t = CGridCtrl::GetItemText(row, col);
            std::reverse(t.begin(), t.end());
            return t;
        }
    };
    Reversed grid;
    grid.SetTextMetrics(std::make_unique<FixedTextMetrics>());
    grid.SetColumnCount(1);
    grid.SetRowCount(3);
    grid.SetItemText(0, 0, "za");
    grid.SetItemText(1, 0, "ab");
    grid.SetItemText(2, 0, "abcdefgh");
    ASSERT_TRUE(grid.SortTextItems(0, true, 0, 2));
    EXPECT_EQ(grid.Model().GetItemText(0, 0), "za");  // "az" < "ba"
    GridItem item;
    item.row = 1;
    item.col = 0;
    item.mask = GVIF_TEXT;
    ASSERT_TRUE(grid.GetItem(item));
    EXPECT_EQ(item.text, "ba");
    grid.AutoSizeColumn(0);
    EXPECT_EQ(grid.GetColumnWidth(0), 8 * 7 + 4 * 3);
}

// While drawing is off the screen keeps its picture; when it resumes, whatever changed
// meanwhile reaches the screen, however little of the grid is repainted.
TEST(GridCtrlTest, DrawingResumedShowsWhatChangedMeanwhile) {
    auto grid = MakeShownGrid(40, 8);
    QWidget* view = grid->viewport();
    const auto offAndOn = [&](const std::function<void()>& change) {
        grid->SetRedraw(false);
        change();
        QApplication::processEvents();  // nothing may reach the screen yet
        grid->SetRedraw(true, true);
        QApplication::processEvents();
        return ScreenShowsWidget(view);
    };
    EXPECT_TRUE(offAndOn([&] { grid->SetItemText(3, 2, "changed"); }));
    EXPECT_TRUE(offAndOn([&] { grid->SetItemBkColour(5, 4, 0x0000FF); }));
    EXPECT_TRUE(offAndOn([&] { grid->SetFocusCell(2, 3); }));
    EXPECT_TRUE(offAndOn([&] { grid->SetRowCount(6); }));  // rows gone from the screen
    EXPECT_TRUE(offAndOn([&] {
        grid->SetRowCount(12);
        grid->SetItemText(11, 1, "new");
    }));
    EXPECT_TRUE(offAndOn([&] { grid->SetItemText(0, 2, "heading"); }));
    // Without fixed rows, a change that is not a row's still repaints everything.
    EXPECT_TRUE(offAndOn([&] { grid->SetFixedRowCount(0); }));
    EXPECT_TRUE(offAndOn([&] { grid->SetColumnWidth(3, 90); }));
    EXPECT_TRUE(offAndOn([&] { grid->SetItemText(4, 4, "x"); }));
}
