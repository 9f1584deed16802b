#include "controls/GridAccessibleCell.h"

#include <QWidget>
#include <QWindow>

#include "controls/GridAccessible.h"
#include "controls/GridCtrl.h"

GridAccessibleCell::GridAccessibleCell(CGridCtrl* grid, int row, int col)
    : m_grid(grid), m_row(row), m_col(col) {}

bool GridAccessibleCell::isValid() const {
    return m_grid && m_grid->IsValid(m_row, m_col);
}

QWindow* GridAccessibleCell::window() const {
    return m_grid ? m_grid->window()->windowHandle() : nullptr;
}

QAccessibleInterface* GridAccessibleCell::parent() const {
    return m_grid ? QAccessible::queryAccessibleInterface(m_grid.data()) : nullptr;
}

bool GridAccessibleCell::IsHeading() const {
    return m_grid && m_grid->IsCellFixed(m_row, m_col);
}

QString GridAccessibleCell::text(QAccessible::Text t) const {
    if (!isValid()) return QString();
    switch (t) {
        case QAccessible::Name:
            // Headings and cells carry blanks for their width; a reader need not hear them.
            return m_grid->GetItemText(m_row, m_col).trimmed();
        case QAccessible::Description:
            return IsHeading() ? QString() : m_grid->CellDescription(m_row, m_col);
        default:
            return QString();
    }
}

QRect GridAccessibleCell::rect() const {
    QRect cell;
    if (!isValid() || !m_grid->GetCellRect(m_row, m_col, cell)) return QRect();
    return QRect(m_grid->viewport()->mapToGlobal(cell.topLeft()), cell.size());
}

QAccessible::Role GridAccessibleCell::role() const {
    if (!m_grid || !IsHeading()) return QAccessible::Cell;
    return m_row < m_grid->GetFixedRowCount() ? QAccessible::ColumnHeader : QAccessible::RowHeader;
}

QAccessible::State GridAccessibleCell::state() const {
    QAccessible::State s;
    if (!isValid()) {
        s.invalid = true;
        return s;
    }
    if (!m_grid->IsCellVisible(m_row, m_col)) {
        s.invisible = true;
        s.offscreen = true;
    }
    if (IsHeading()) return s;
    s.selectable = m_grid->IsSelectable();
    s.selected = m_grid->IsCellSelected(m_row, m_col);
    if (m_grid->IsSelectable()) s.multiSelectable = !m_grid->GetSingleSelection();
    s.focusable = true;
    s.focused = m_grid->hasFocus() && m_grid->GetFocusCell() == CCellID(m_row, m_col);
    s.readOnly = !m_grid->IsCellEditable(m_row, m_col);
    s.editable = !s.readOnly;
    return s;
}

void* GridAccessibleCell::interface_cast(QAccessible::InterfaceType t) {
    if (t == QAccessible::TableCellInterface && !IsHeading())
        return static_cast<QAccessibleTableCellInterface*>(this);
    return nullptr;
}

bool GridAccessibleCell::isSelected() const {
    return isValid() && m_grid->IsCellSelected(m_row, m_col);
}

// The heading cells of the cell's column (the fixed rows) or of its row (the fixed columns).
QList<QAccessibleInterface*> GridAccessibleCell::Headings(bool ofColumn) const {
    QList<QAccessibleInterface*> headings;
    auto* table = dynamic_cast<GridAccessible*>(parent());
    if (!table || !isValid()) return headings;
    const int count = ofColumn ? m_grid->GetFixedRowCount() : m_grid->GetFixedColumnCount();
    for (int k = 0; k < count; ++k)
        if (QAccessibleInterface* cell = ofColumn ? table->Cell(k, m_col) : table->Cell(m_row, k))
            headings.append(cell);
    return headings;
}

QList<QAccessibleInterface*> GridAccessibleCell::columnHeaderCells() const {
    return Headings(true);
}

QList<QAccessibleInterface*> GridAccessibleCell::rowHeaderCells() const {
    return Headings(false);
}

int GridAccessibleCell::columnIndex() const {
    return m_grid ? m_col - m_grid->GetFixedColumnCount() : -1;
}

int GridAccessibleCell::rowIndex() const {
    return m_grid ? m_row - m_grid->GetFixedRowCount() : -1;
}
