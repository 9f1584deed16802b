#include <gtest/gtest.h>

#include <QClipboard>
#include <QSignalSpy>

#include "GridTestSupport.h"
#include "controls/InPlaceEdit.h"

namespace {

QPoint CellPoint(const CGridCtrl& grid, int row, int col) {
    QRect rect;
    EXPECT_TRUE(grid.GetCellRect(row, col, rect)) << row << "," << col;
    return rect.center();
}

void Click(CGridCtrl& grid, int row, int col, Qt::MouseButton button = Qt::LeftButton,
           Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::mouseClick(grid.viewport(), button, mods, CellPoint(grid, row, col));
}

// A pointer move with no button held, delivered at once.
void Hover(QWidget* viewport, const QPoint& point) {
    QMouseEvent move(QEvent::MouseMove, point, viewport->mapToGlobal(point), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
}

void FillNumbers(CGridCtrl& grid) {
    for (int r = 0; r < grid.GetRowCount(); ++r)
        for (int c = 0; c < grid.GetColumnCount(); ++c)
            grid.SetItemText(r, c, QString::number(r * 100 + c));
}

QStringList Column(const CGridCtrl& grid, int col) {
    QStringList out;
    for (int r = 0; r < grid.GetRowCount(); ++r) out << grid.GetItemText(r, col);
    return out;
}

}  // namespace

TEST(GridCtrlInputTest, ListModeClickMovesFocusSelectsTheRowAndPostsTheCommand) {
    auto grid = MakeShownGrid(6, 5);
    grid->SetListMode(true);
    grid->SetSingleSelection(true);
    grid->SetFocusCell(1, 1);
    QSignalSpy notify(grid.get(), &CGridCtrl::Notify);
    QSignalSpy command(grid.get(), &CGridCtrl::Command);

    Click(*grid, 2, 2);
    EXPECT_EQ(Received(notify), (NotifyCodes{{GVN_SELCHANGING, 1, 1}, {GVN_SELCHANGED, 2, 2}}));
    EXPECT_EQ(grid->GetSelectionBounds(), CCellRange(2, 1, 2, 4));
    EXPECT_EQ(grid->GetSelectedCount(), 4);
    QApplication::processEvents();
    EXPECT_EQ(command.count(), 1);

    notify.clear();
    Click(*grid, 3, 3, Qt::RightButton);
    EXPECT_EQ(Received(notify),
              (NotifyCodes{{GVN_SELCHANGING, 2, 2}, {GVN_SELCHANGED, 3, 3}, {NM_RCLICK, 3, 3}}));
    EXPECT_EQ(grid->GetSelectionBounds(), CCellRange(3, 1, 3, 4));
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_NOTHING);

    // Outside the cells nothing is selected and no command follows.
    QApplication::processEvents();
    EXPECT_EQ(command.count(), 2);  // the right click posted one too
    command.clear();
    notify.clear();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(380, 180));
    QApplication::processEvents();
    EXPECT_EQ(command.count(), 0);
    EXPECT_TRUE(notify.isEmpty());
}

TEST(GridCtrlInputTest, CellModeDragAndCtrlClickSelections) {
    auto grid = MakeShownGrid(8, 6);
    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, CellPoint(*grid, 2, 2));
    QTest::mouseMove(grid->viewport(), CellPoint(*grid, 4, 3));
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, CellPoint(*grid, 4, 3));
    EXPECT_EQ(grid->GetSelectionBounds(), CCellRange(2, 2, 4, 3));
    EXPECT_EQ(grid->GetFocusCell(), CCellID(4, 3));

    // Ctrl keeps the earlier selection; Shift extends from the focus cell.
    Click(*grid, 6, 5, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(grid->GetSelectedCount(), 7);
    Click(*grid, 7, 5, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(grid->GetSelectionBounds(), CCellRange(6, 5, 7, 5));

    // Headings select whole columns and rows; the corner selects everything.
    Click(*grid, 0, 2);
    EXPECT_EQ(grid->GetSelectionBounds(), CCellRange(1, 2, 7, 2));
    Click(*grid, 3, 0);
    EXPECT_EQ(grid->GetSelectionBounds(), CCellRange(3, 1, 3, 5));
    Click(*grid, 0, 0);
    EXPECT_EQ(grid->GetSelectedCount(), 7 * 5);

    grid->EnableSelection(false);
    Click(*grid, 5, 5);
    EXPECT_EQ(grid->GetSelectedCount(), 0);
}

TEST(GridCtrlInputTest, RightButtonDuringALeftDragEndsItWithARightClick) {
    auto grid = MakeShownGrid(8, 6);
    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, CellPoint(*grid, 2, 2));
    QTest::mouseMove(grid->viewport(), CellPoint(*grid, 3, 3));
    ASSERT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_SELECT_CELLS);
    QSignalSpy notify(grid.get(), &CGridCtrl::Notify);
    QTest::mousePress(grid->viewport(), Qt::RightButton, {}, CellPoint(*grid, 3, 3));
    EXPECT_EQ(Received(notify), (NotifyCodes{{NM_RCLICK, 3, 3}}));
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_NOTHING);
    QTest::mouseMove(grid->viewport(), CellPoint(*grid, 5, 5));
    EXPECT_EQ(grid->GetSelectionBounds(), CCellRange(2, 2, 3, 3));  // the drag is over
    QTest::mouseRelease(grid->viewport(), Qt::RightButton, {}, CellPoint(*grid, 5, 5));
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, CellPoint(*grid, 5, 5));
}

TEST(GridCtrlInputTest, ClickingTheFocusCellEditsOnlyWhenEditable) {
    auto grid = MakeShownGrid(12, 5, 400, 190);
    FillNumbers(*grid);
    grid->SetFocusCell(9, 2);  // rows 1..9 are shown; row 9 only partly
    QSignalSpy notify(grid.get(), &CGridCtrl::Notify);
    grid->SetEditable(false);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(150, 185));
    EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);
    EXPECT_TRUE(notify.isEmpty());
    EXPECT_GT(grid->verticalScrollBar()->value(), 0);  // scrolled fully into view
    QRect rect;
    ASSERT_TRUE(grid->GetCellRect(9, 2, rect));
    EXPECT_LE(rect.bottom(), grid->viewport()->height());

    grid->SetEditable(true);
    Click(*grid, 9, 2);
    ASSERT_NE(grid->GetInPlaceEdit(), nullptr);
    EXPECT_EQ(grid->GetInPlaceEdit()->text(), "902");
    EXPECT_EQ(Received(notify), (NotifyCodes{{GVN_BEGINLABELEDIT, 9, 2}}));

    grid->SetItemState(9, 3, GVIS_READONLY);  // read-only cells never open an editor
    grid->BeginCellEdit(9, 3, 'x');
    EXPECT_EQ(grid->GetInPlaceEdit()->Row(), 9);
    EXPECT_EQ(grid->GetInPlaceEdit()->Column(), 2);
}

TEST(GridCtrlInputTest, HeadingClicksSortAscendingThenDescending) {
    auto grid = MakeShownGrid(5, 4);
    grid->SetListMode(true);
    const QStringList col1 = {"Head", "b", "A", "a", "C"};
    const QStringList col2 = {"Head", "3", "1", "4", "2"};
    for (int r = 0; r < 5; ++r) {
        grid->SetItemText(r, 1, col1[r]);
        grid->SetItemText(r, 2, col2[r]);
    }
    Click(*grid, 0, 1);
    EXPECT_EQ(Column(*grid, 1), QStringList({"Head", "A", "a", "b", "C"}));
    Click(*grid, 0, 1);
    EXPECT_EQ(Column(*grid, 1), QStringList({"Head", "C", "b", "a", "A"}));
    Click(*grid, 0, 2);
    EXPECT_EQ(Column(*grid, 2), QStringList({"Head", "1", "2", "3", "4"}));
    EXPECT_EQ(grid->GetSortColumn(), 2);
    EXPECT_TRUE(grid->GetSortAscending());

    grid->SetHeaderSort(false);
    Click(*grid, 0, 2);
    EXPECT_EQ(Column(*grid, 2), QStringList({"Head", "1", "2", "3", "4"}));
}

TEST(GridCtrlInputTest, CopyGivesTabsBlanksAndLineFeeds) {
    auto grid = MakeShownGrid(6, 6);
    const QStringList texts = {"a", "", "c", "d", "e", "f"};
    for (int i = 0; i < 6; ++i) grid->SetItemText(2 + i / 3, 1 + i % 3, texts[i]);
    grid->SelectRange(2, 1, 3, 3);
    EXPECT_EQ(grid->BuildClipboardText(), QString("a\t \tc\nd\te\tf"));
    grid->SetFocusCell(2, 1);
    QTest::keyClick(grid.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "a\t \tc\nd\te\tf");
    EXPECT_TRUE(grid->CanCopy());

    // Unselected cells inside the bounds leave only their separators.
    grid->SetItemState(2, 3, 0);
    grid->SetItemState(3, 2, 0);
    EXPECT_EQ(grid->BuildClipboardText(), QString("a\t \t\nd\t\tf"));
    grid->SelectRange(-1, -1, -1, -1);
    EXPECT_FALSE(grid->BuildClipboardText().has_value());
    EXPECT_FALSE(grid->CanCopy());
}

TEST(GridCtrlInputTest, PasteSplitsLinesAndTokens) {
    auto grid = MakeShownGrid(9, 4);
    FillNumbers(*grid);
    grid->SetItemState(6, 1, GVIS_SELECTED);
    QSignalSpy notify(grid.get(), &CGridCtrl::Notify);
    ASSERT_TRUE(grid->PasteClipboardText(5, 1, "1,2\n\n3"));
    EXPECT_EQ(grid->GetItemText(5, 1), "1");
    EXPECT_EQ(grid->GetItemText(5, 2), "2");
    EXPECT_EQ(grid->GetItemText(6, 1), "");
    EXPECT_EQ(grid->GetItemText(7, 1), "3");
    EXPECT_EQ(grid->GetItemText(5, 3), "503");  // nothing more on that line
    EXPECT_TRUE(grid->GetItemState(6, 1) & GVIS_MODIFIED);
    EXPECT_FALSE(grid->IsCellSelected(6, 1));
    EXPECT_EQ(Received(notify), (NotifyCodes{{GVN_BEGINLABELEDIT, 5, 1},
                                             {GVN_ENDLABELEDIT, 5, 1},
                                             {GVN_BEGINLABELEDIT, 5, 2},
                                             {GVN_ENDLABELEDIT, 5, 2},
                                             {GVN_BEGINLABELEDIT, 6, 1},
                                             {GVN_ENDLABELEDIT, 6, 1},
                                             {GVN_BEGINLABELEDIT, 7, 1},
                                             {GVN_ENDLABELEDIT, 7, 1}}));

    // Runs of separators count as one; blanks around tokens go; the overflow is dropped,
    // and so are tokens aimed at read-only cells.
    grid->SetItemState(1, 3, GVIS_READONLY);
    ASSERT_TRUE(grid->PasteClipboardText(1, 1, "\t x ,, y\t,z,w,v\r\nq\n"));
    EXPECT_EQ(grid->GetItemText(1, 1), "x");
    EXPECT_EQ(grid->GetItemText(1, 2), "y");
    EXPECT_EQ(grid->GetItemText(1, 3), "103");
    EXPECT_EQ(grid->GetItemText(2, 1), "q");
    ASSERT_TRUE(grid->PasteClipboardText(8, 3, "a,b,c\nd\ne"));
    EXPECT_EQ(grid->GetItemText(8, 3), "a");

    EXPECT_FALSE(grid->PasteClipboardText(1, 3, "x"));  // read-only target
    EXPECT_FALSE(grid->PasteClipboardText(9, 0, "x"));
    grid->SetEditable(false);
    EXPECT_FALSE(grid->PasteClipboardText(2, 2, "x"));

    // Ctrl+V pastes at the focus cell.
    grid->SetEditable(true);
    QApplication::clipboard()->setText("7\t8");
    grid->SetFocusCell(3, 2);
    EXPECT_TRUE(grid->CanPaste());
    QTest::keyClick(grid.get(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(grid->GetItemText(3, 2), "7");
    EXPECT_EQ(grid->GetItemText(3, 3), "8");
}

TEST(GridCtrlInputTest, CutAndDeleteEmptyEditableCells) {
    auto grid = MakeShownGrid(5, 4);
    FillNumbers(*grid);
    grid->SetFocusCell(2, 1);
    grid->SelectRange(2, 1, 2, 3);
    grid->SetItemState(2, 3, GVIS_SELECTED | GVIS_READONLY);
    QTest::keyClick(grid.get(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "201\t202\t203");
    EXPECT_EQ(grid->GetItemText(2, 1), "");
    EXPECT_EQ(grid->GetItemText(2, 2), "");
    EXPECT_EQ(grid->GetItemText(2, 3), "203");
    EXPECT_TRUE(grid->GetItemState(2, 1) & GVIS_FOCUSED);  // still the focus cell

    grid->SetFocusCell(3, 2);
    QSignalSpy notify(grid.get(), &CGridCtrl::Notify);
    QTest::keyClick(grid.get(), Qt::Key_Delete);
    EXPECT_EQ(grid->GetItemText(3, 2), "");
    EXPECT_TRUE(grid->GetItemState(3, 2) & GVIS_MODIFIED);
    EXPECT_EQ(Received(notify),
              (NotifyCodes{{GVN_BEGINLABELEDIT, 3, 2}, {GVN_ENDLABELEDIT, 3, 2}}));

    grid->SetEditable(false);
    grid->SetFocusCell(4, 2);
    QTest::keyClick(grid.get(), Qt::Key_Delete);
    EXPECT_EQ(grid->GetItemText(4, 2), "402");
    EXPECT_FALSE(grid->CanCut());
}

TEST(GridCtrlInputTest, KeyboardMovesStopAtTheEdgesAndTabWraps) {
    auto grid = MakeShownGrid(4, 4);
    grid->setFocus();
    grid->SetFocusCell(3, 3);
    QTest::keyClick(grid.get(), Qt::Key_Down);
    EXPECT_EQ(grid->GetFocusCell(), CCellID(3, 3));
    QTest::keyClick(grid.get(), Qt::Key_Tab);
    EXPECT_EQ(grid->GetFocusCell(), CCellID(3, 3));  // the last cell
    QTest::keyClick(grid.get(), Qt::Key_Right);
    EXPECT_EQ(grid->GetFocusCell(), CCellID(3, 3));

    grid->SetFocusCell(1, 3);
    QTest::keyClick(grid.get(), Qt::Key_Tab);
    EXPECT_EQ(grid->GetFocusCell(), CCellID(2, 1));  // wraps to the first scrollable column
    QTest::keyClick(grid.get(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(grid->GetFocusCell(), CCellID(1, 3));
    QTest::keyClick(grid.get(), Qt::Key_Up);
    EXPECT_EQ(grid->GetFocusCell(), CCellID(1, 3));  // not into the heading row
    QTest::keyClick(grid.get(), Qt::Key_Left);
    QTest::keyClick(grid.get(), Qt::Key_Left);
    QTest::keyClick(grid.get(), Qt::Key_Left);
    EXPECT_EQ(grid->GetFocusCell(), CCellID(1, 1));
    QTest::keyClick(grid.get(), Qt::Key_End);
    EXPECT_EQ(grid->GetFocusCell(), CCellID(3, 1));
    QTest::keyClick(grid.get(), Qt::Key_Home);
    EXPECT_EQ(grid->GetFocusCell(), CCellID(1, 1));
    // Moving selects the new focus cell; Shift extends from where it began.
    QTest::keyClick(grid.get(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(grid.get(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(grid->GetSelectionBounds(), CCellRange(1, 1, 2, 2));
}

TEST(GridCtrlInputTest, PageKeysAndArrowsScrollByWholeRows) {
    auto grid = MakeShownGrid(41, 4, 300, 200);  // 9 rows of 20 below the heading
    grid->setFocus();
    grid->SetFocusCell(1, 1);
    QTest::keyClick(grid.get(), Qt::Key_PageDown);
    EXPECT_EQ(grid->verticalScrollBar()->value(), grid->verticalScrollBar()->pageStep());
    const int moved = grid->GetTopLeftScrollCell().row - 1;
    EXPECT_EQ(grid->GetFocusCell(), CCellID(1 + moved, 1));
    QTest::keyClick(grid.get(), Qt::Key_PageUp);
    EXPECT_EQ(grid->GetFocusCell(), CCellID(1, 1));
    EXPECT_EQ(grid->verticalScrollBar()->value(), 0);
    for (int i = 0; i < 12; ++i) QTest::keyClick(grid.get(), Qt::Key_Down);
    EXPECT_EQ(grid->GetFocusCell(), CCellID(13, 1));
    EXPECT_TRUE(grid->IsCellVisible(13, 1));
    EXPECT_EQ(grid->verticalScrollBar()->value() % 20, 0);
}

TEST(GridCtrlInputTest, DividerDragsResizeAndARelaseWhereItBeganChangesNothing) {
    auto grid = MakeShownGrid(5, 5);
    QWidget* vp = grid->viewport();
    const QPoint divider(119, 10);  // right edge of column 1 in the heading row
    Hover(vp, divider);
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_OVER_COL_DIVIDE);
    QTest::mousePress(vp, Qt::LeftButton, {}, divider);
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_SIZING_COL);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, divider);
    EXPECT_EQ(grid->GetColumnWidth(1), 60);

    Hover(vp, divider);
    QTest::mousePress(vp, Qt::LeftButton, {}, divider);
    QTest::mouseMove(vp, QPoint(150, 10));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(150, 10));
    EXPECT_EQ(grid->GetColumnWidth(1), 90);

    // Just right of a column's left edge the divider belongs to the column before it, and
    // the pointer cannot go left of that column.
    Hover(vp, QPoint(151, 10));
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(151, 10));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(5, 10));
    EXPECT_EQ(grid->GetColumnWidth(1), 0);

    // Rows the same way along the heading column; not when row resizing is off.
    const QPoint rowDivider(30, 59);  // bottom of row 2
    Hover(vp, rowDivider);
    QTest::mousePress(vp, Qt::LeftButton, {}, rowDivider);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(30, 70));
    EXPECT_EQ(grid->GetRowHeight(2), 30);
    grid->SetRowResize(false);
    Hover(vp, QPoint(30, 69));
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_NOTHING);
}

TEST(GridCtrlInputTest, DoubleClickOnADividerAutoSizes) {
    auto grid = MakeShownGrid(4, 4);
    grid->SetItemText(2, 2, "a much longer text");
    QWidget* vp = grid->viewport();
    const QPoint divider(179, 10);  // right edge of column 2
    Hover(vp, divider);
    QTest::mouseDClick(vp, Qt::LeftButton, {}, divider);
    EXPECT_EQ(grid->GetColumnWidth(2), 18 * 7 + 4 * 3);
}

TEST(GridCtrlInputTest, EscapeInTheEditorLeavesTheCellUnmodified) {
    auto grid = MakeShownGrid(5, 5);
    grid->SetItemText(2, 2, "old");
    grid->setFocus();
    grid->SetFocusCell(2, 2);
    QSignalSpy notify(grid.get(), &CGridCtrl::Notify);
    QTest::keyClick(grid.get(), Qt::Key_X);
    CInPlaceEdit* editor = grid->GetInPlaceEdit();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "x");  // a typed key replaces the text
    QTest::keyClick(editor, Qt::Key_Y);
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(grid->GetItemText(2, 2), "old");
    EXPECT_FALSE(grid->GetItemState(2, 2) & GVIS_MODIFIED);
    EXPECT_FALSE(grid->GetModified());
    EXPECT_EQ(Received(notify),
              (NotifyCodes{{GVN_BEGINLABELEDIT, 2, 2}, {GVN_ENDLABELEDIT, 2, 2}}));
    QTRY_VERIFY(grid->GetInPlaceEdit() == nullptr);

    // Enter keeps the edit and marks the cell.
    QTest::keyClick(grid.get(), Qt::Key_Return);
    editor = grid->GetInPlaceEdit();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->cursorPosition(), 3);
    QTest::keyClick(editor, Qt::Key_Exclam);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(grid->GetItemText(2, 2), "old!");
    EXPECT_TRUE(grid->GetItemState(2, 2) & GVIS_MODIFIED);
}

TEST(GridCtrlInputTest, EditingContinuesInTheNextCellAfterTabOrAnArrow) {
    auto grid = MakeShownGrid(5, 5);
    FillNumbers(*grid);
    grid->setFocus();
    grid->SetFocusCell(2, 2);
    QTest::keyClick(grid.get(), Qt::Key_Backspace);  // caret at the end, last character gone
    CInPlaceEdit* editor = grid->GetInPlaceEdit();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "20");
    QTest::keyClick(editor, Qt::Key_Tab);
    EXPECT_EQ(grid->GetItemText(2, 2), "20");
    QTRY_VERIFY(grid->GetInPlaceEdit() && grid->GetInPlaceEdit()->Column() == 3);
    editor = grid->GetInPlaceEdit();
    EXPECT_EQ(grid->GetFocusCell(), CCellID(2, 3));
    EXPECT_EQ(editor->selectedText(), "203");
    QTest::keyClick(editor, Qt::Key_Down);  // arrows leave an editor opened from the keyboard
    QTRY_VERIFY(grid->GetInPlaceEdit() && grid->GetInPlaceEdit()->Row() == 3);
    EXPECT_EQ(grid->GetFocusCell(), CCellID(3, 3));

    // Opened by the mouse, arrows move the caret instead.
    grid->setFocus();
    QTRY_VERIFY(grid->GetInPlaceEdit() == nullptr);
    Click(*grid, 3, 3);
    editor = grid->GetInPlaceEdit();
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->ExitsOnArrows());
    QTest::keyClick(editor, Qt::Key_Left);
    QTest::keyClick(editor, Qt::Key_Up);
    EXPECT_EQ(grid->GetInPlaceEdit(), editor);
    EXPECT_EQ(grid->GetFocusCell(), CCellID(3, 3));
    // Typing past the edge widens the editor.
    const int width = editor->width();
    for (int i = 0; i < 20; ++i) QTest::keyClick(editor, Qt::Key_W);
    EXPECT_GT(editor->width(), width);
    EXPECT_LE(editor->x() + editor->width(), grid->viewport()->width());
}

TEST(GridCtrlInputTest, WheelScrollsTheUsersLineCount) {
    auto grid = MakeShownGrid(41, 4, 300, 200);
    QWheelEvent down(QPointF(50, 50), grid->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                     QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid->viewport(), &down);
    QApplication::processEvents();
    EXPECT_EQ(grid->verticalScrollBar()->value(), QApplication::wheelScrollLines() * 20);
}

TEST(GridCtrlInputTest, DraggingOutOfTheWindowAutoScrolls) {
    auto grid = MakeShownGrid(41, 4, 300, 200);
    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, CellPoint(*grid, 2, 1));
    QTest::mouseMove(grid->viewport(), QPoint(100, 260));
    QTRY_VERIFY(grid->verticalScrollBar()->value() > 0);
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, QPoint(100, 260));
    const int value = grid->verticalScrollBar()->value();
    EXPECT_GT(grid->GetSelectionBounds().maxRow, 9);
    QTest::qWait(80);
    EXPECT_EQ(grid->verticalScrollBar()->value(), value);  // stops with the button
}

// Clicks, keys and clipboard work on grids without scrollable cells.
TEST(GridCtrlInputTest, NothingBreaksOnEmptyOrHeadingOnlyGrids) {
    for (int rows : {0, 1}) {
        auto grid = MakeShownGrid(rows, rows ? 4 : 0);
        grid->SetListMode(rows == 1);
        QWidget* vp = grid->viewport();
        for (const QPoint& p : {QPoint(5, 5), QPoint(70, 10), QPoint(119, 10), QPoint(300, 150)}) {
            Hover(vp, p);
            QTest::mouseClick(vp, Qt::LeftButton, {}, p);
            QTest::mouseDClick(vp, Qt::LeftButton, {}, p);
            QTest::mouseClick(vp, Qt::RightButton, {}, p);
        }
        for (int key :
             {Qt::Key_Down, Qt::Key_Tab, Qt::Key_End, Qt::Key_PageDown, Qt::Key_Delete, Qt::Key_A})
            QTest::keyClick(grid.get(), Qt::Key(key));
        QTest::keyClick(grid.get(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(grid.get(), Qt::Key_X, Qt::ControlModifier);
        QApplication::clipboard()->setText("1,2,3\n4");
        grid->OnEditPaste();
        grid->OnEditCopy();
        EXPECT_EQ(grid->GetSelectedCount(), 0);
        EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);
        QApplication::processEvents();
    }
}
