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

QList<QAccessibleInterface*> GridAccessibleCell::columnHeaderCells() const {
    QList<QAccessibleInterface*> headings;
    auto* table = dynamic_cast<GridAccessible*>(parent());
    if (!table || !isValid()) return headings;
    for (int r = 0; r < m_grid->GetFixedRowCount(); ++r)
        if (QAccessibleInterface* cell = table->Cell(r, m_col)) headings.append(cell);
    return headings;
}

QList<QAccessibleInterface*> GridAccessibleCell::rowHeaderCells() const {
    QList<QAccessibleInterface*> headings;
    auto* table = dynamic_cast<GridAccessible*>(parent());
    if (!table || !isValid()) return headings;
    for (int c = 0; c < m_grid->GetFixedColumnCount(); ++c)
        if (QAccessibleInterface* cell = table->Cell(m_row, c)) headings.append(cell);
    return headings;
}

int GridAccessibleCell::columnIndex() const {
    return m_grid ? m_col - m_grid->GetFixedColumnCount() : -1;
}

int GridAccessibleCell::rowIndex() const {
    return m_grid ? m_row - m_grid->GetFixedRowCount() : -1;
}
