#include "controls/GridAccessible.h"
#include "controls/GridCtrl.h"

// CGridCtrl: the focus cell, the selection and the notifications to the owner.

// ---------------------------------------------------------------- focus and selection

void CGridCtrl::NotifyOwner(int row, int col, int code) {
    GridNotify n;
    n.code = code;
    n.row = row;
    n.col = col;
    emit Notify(n);
}

void CGridCtrl::RedrawFixedHeadings(int row, int col, bool rowChanged, bool colChanged) {
    if (colChanged)
        for (int r = 0; r < GetFixedRowCount(); ++r) RedrawCell(r, col);
    if (rowChanged)
        for (int c = 0; c < GetFixedColumnCount(); ++c) RedrawCell(row, c);
}

CCellID CGridCtrl::SetFocusCell(int row, int col) {
    const CCellID cell(row, col);
    if (cell == m_focusCell) return m_focusCell;
    const CCellID prev = m_focusCell;
    m_focusCell = cell;
    if (IsValid(prev)) {
        NotifyOwner(prev.row, prev.col, GVN_SELCHANGING);
        m_model.SetItemState(prev.row, prev.col, GetItemState(prev.row, prev.col) & ~GVIS_FOCUSED);
        RedrawCell(prev);
        RedrawFixedHeadings(prev.row, prev.col, prev.row != cell.row, prev.col != cell.col);
    }
    if (IsValid(cell)) {
        m_model.SetItemState(cell.row, cell.col, GetItemState(cell.row, cell.col) | GVIS_FOCUSED);
        RedrawCell(cell);
        RedrawFixedHeadings(cell.row, cell.col, prev.row != cell.row, prev.col != cell.col);
        NotifyOwner(cell.row, cell.col, GVN_SELCHANGED);
        GridAccessible::FocusMoved(*this, cell.row, cell.col);
    }
    return prev;
}

void CGridCtrl::SelectRange(const CCellRange& range, bool forceRepaint) {
    SelectRange(range.minRow, range.minCol, range.maxRow, range.maxCol, forceRepaint);
}

void CGridCtrl::SelectRange(int minRow, int minCol, int maxRow, int maxCol, bool forceRepaint) {
    if (!m_enableSelection) return;
    Q_UNUSED(forceRepaint);  // every redraw is a repaint request anyway
    const CCellRange range(minRow, minCol, maxRow, maxCol);
    for (const CCellID& cell : m_model.GetSelectedCells()) {
        m_model.SetItemState(cell.row, cell.col, GetItemState(cell.row, cell.col) & ~GVIS_SELECTED);
        if (!range.InRange(cell.row, cell.col)) InvalidateCellRect(cell);
    }
    if (!m_singleSelection) {
        for (const CCellID& cell : std::as_const(m_prevSelection)) {
            if (m_model.SetItemState(cell.row, cell.col,
                                     GetItemState(cell.row, cell.col) | GVIS_SELECTED))
                InvalidateCellRect(cell);
        }
    }
    if (IsValid(range)) {
        for (int r = range.minRow; r <= range.maxRow; ++r) {
            for (int c = range.minCol; c <= range.maxCol; ++c) {
                const quint32 state = GetItemState(r, c);
                if (state & GVIS_SELECTED) continue;
                m_model.SetItemState(r, c, state | GVIS_SELECTED);
                InvalidateCellRect(CCellID(r, c));
            }
        }
    }
    GridAccessible::SelectionChanged(*this);
}

void CGridCtrl::ClearSelection() {
    SelectRange(-1, -1, -1, -1);
    SetFocusCell(-1, -1);
}

void CGridCtrl::SelectAllCells() {
    if (!m_enableSelection) return;
    SelectRange(GetFixedRowCount(), GetFixedColumnCount(), GetRowCount() - 1, GetColumnCount() - 1);
}

void CGridCtrl::SelectColumns(const CCellID& cell) {
    if (!m_enableSelection || !IsValid(cell) || cell.col < GetFixedColumnCount()) return;
    SelectRange(GetFixedRowCount(), std::min(m_selectionStartCell.col, cell.col), GetRowCount() - 1,
                std::max(m_selectionStartCell.col, cell.col));
}

void CGridCtrl::SelectRows(const CCellID& cell) {
    if (!m_enableSelection || !IsValid(cell) || cell.row < GetFixedRowCount()) return;
    if (m_listMode && m_singleSelection) {
        SelectRange(cell.row, GetFixedColumnCount(), cell.row, GetColumnCount() - 1);
    } else {
        SelectRange(std::min(m_selectionStartCell.row, cell.row), GetFixedColumnCount(),
                    std::max(m_selectionStartCell.row, cell.row), GetColumnCount() - 1);
    }
}

void CGridCtrl::SelectCells(const CCellID& cell) {
    if (!m_enableSelection || !IsValid(cell) || IsCellFixed(cell.row, cell.col)) return;
    SelectRange(
        std::min(m_selectionStartCell.row, cell.row), std::min(m_selectionStartCell.col, cell.col),
        std::max(m_selectionStartCell.row, cell.row), std::max(m_selectionStartCell.col, cell.col));
}

void CGridCtrl::ExtendSelection(const CCellID& cell) {
    switch (m_mouseMode) {
        case MOUSE_SELECT_ALL:
            SelectAllCells();
            break;
        case MOUSE_SELECT_COL:
            SelectColumns(cell);
            break;
        case MOUSE_SELECT_ROW:
            SelectRows(cell);
            break;
        case MOUSE_SELECT_CELLS:
            SelectCells(cell);
            break;
        default:
            break;
    }
}
