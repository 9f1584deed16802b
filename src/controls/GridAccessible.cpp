#include "controls/GridAccessible.h"

#include <algorithm>

#include "controls/AccessibleClient.h"
#include "controls/GridAccessibleCell.h"
#include "controls/GridCtrl.h"

namespace {

QAccessibleInterface* GridFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("CGridCtrl") && object && object->isWidgetType())
        return new GridAccessible(static_cast<CGridCtrl*>(object));
    return nullptr;
}

}  // namespace

GridAccessible::GridAccessible(CGridCtrl* grid) : QAccessibleWidget(grid, QAccessible::Table) {}

GridAccessible::~GridAccessible() {
    for (QAccessible::Id id : std::as_const(m_cells)) QAccessible::deleteAccessibleInterface(id);
}

void GridAccessible::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(GridFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

CGridCtrl* GridAccessible::Grid() const {
    return static_cast<CGridCtrl*>(widget());
}

// ---------------------------------------------------------------- events

int GridAccessible::ChildIndex(const CGridCtrl& grid, int row, int col) {
    if (!grid.IsValid(row, col)) return -1;
    return row * grid.GetColumnCount() + col;
}

void GridAccessible::FocusMoved(CGridCtrl& grid, int row, int col) {
    if (!AccessibleClient::Listening() || !grid.hasFocus() || !grid.IsValid(row, col)) return;
    QAccessibleEvent event(&grid, QAccessible::Focus);
    event.setChild(ChildIndex(grid, row, col));
    AccessibleClient::Send(event);
}

void GridAccessible::SelectionChanged(CGridCtrl& grid) {
    if (!AccessibleClient::Listening()) return;
    QAccessibleEvent event(&grid, QAccessible::SelectionWithin);
    AccessibleClient::Send(event);
}

void GridAccessible::RowsWritten(CGridCtrl& grid, int first, int last) {
    if (!AccessibleClient::Listening()) return;
    first = std::max(first, grid.GetFixedRowCount());
    last = std::min(last, grid.GetRowCount() - 1);
    if (first > last || grid.GetColumnCount() <= grid.GetFixedColumnCount()) return;
    QAccessibleTableModelChangeEvent event(&grid, QAccessibleTableModelChangeEvent::DataChanged);
    event.setFirstRow(first - grid.GetFixedRowCount());
    event.setLastRow(last - grid.GetFixedRowCount());
    event.setFirstColumn(0);
    event.setLastColumn(grid.GetColumnCount() - grid.GetFixedColumnCount() - 1);
    AccessibleClient::Send(event);
    // The cell under the focus says so itself, for a reader that follows only the focus.
    const CCellID focus = grid.GetFocusCell();
    if (grid.hasFocus() && grid.IsValid(focus) && focus.row >= first && focus.row <= last) {
        QAccessibleEvent changed(&grid, QAccessible::NameChanged);
        changed.setChild(ChildIndex(grid, focus.row, focus.col));
        AccessibleClient::Send(changed);
    }
}

void GridAccessible::RowCountChanged(CGridCtrl& grid, int oldRows) {
    if (!AccessibleClient::Listening()) return;
    const int rows = grid.GetRowCount();
    const int fixed = grid.GetFixedRowCount();
    if (rows == oldRows || std::max(rows, oldRows) <= fixed) return;
    QAccessibleTableModelChangeEvent event(
        &grid, rows > oldRows ? QAccessibleTableModelChangeEvent::RowsInserted
                              : QAccessibleTableModelChangeEvent::RowsRemoved);
    event.setFirstRow(std::max(std::min(rows, oldRows), fixed) - fixed);
    event.setLastRow(std::max(rows, oldRows) - 1 - fixed);
    event.setFirstColumn(0);
    event.setLastColumn(std::max(0, grid.GetColumnCount() - grid.GetFixedColumnCount() - 1));
    AccessibleClient::Send(event);
}

void GridAccessible::Reset(CGridCtrl& grid) {
    if (!AccessibleClient::Listening()) return;
    QAccessibleTableModelChangeEvent event(&grid, QAccessibleTableModelChangeEvent::ModelReset);
    AccessibleClient::Send(event);
}

void GridAccessible::modelChange(QAccessibleTableModelChangeEvent* event) {
    if (event->modelChangeType() == QAccessibleTableModelChangeEvent::DataChanged) return;
    DropCellsOutside(Grid()->GetRowCount(), Grid()->GetColumnCount());
}

void GridAccessible::DropCellsOutside(int rows, int cols) {
    for (auto it = m_cells.begin(); it != m_cells.end();) {
        const int row = int(it.key() >> 32);
        const int col = int(it.key() & 0xFFFFFFFFu);
        if (row < rows && col < cols) {
            ++it;
            continue;
        }
        QAccessible::deleteAccessibleInterface(it.value());
        it = m_cells.erase(it);
    }
}

// ---------------------------------------------------------------- the tree

QString GridAccessible::text(QAccessible::Text t) const {
    QString text = QAccessibleWidget::text(t);
    // A grid without a name of its own goes by its title.
    if (t == QAccessible::Name && text.isEmpty()) text = Grid()->GetTitle();
    return text;
}

QAccessibleInterface* GridAccessible::Cell(int row, int col) const {
    CGridCtrl* grid = Grid();
    if (!grid->IsValid(row, col)) return nullptr;
    const quint64 key = Key(row, col);
    auto it = m_cells.constFind(key);
    if (it != m_cells.cend()) return QAccessible::accessibleInterface(*it);
    auto* cell = new GridAccessibleCell(grid, row, col);
    const QAccessible::Id id = QAccessible::registerAccessibleInterface(cell);
    m_cells.insert(key, id);
    return cell;
}

int GridAccessible::childCount() const {
    return Grid()->GetRowCount() * Grid()->GetColumnCount();
}

QAccessibleInterface* GridAccessible::child(int index) const {
    const int cols = Grid()->GetColumnCount();
    if (index < 0 || cols <= 0) return nullptr;
    return Cell(index / cols, index % cols);
}

int GridAccessible::indexOfChild(const QAccessibleInterface* child) const {
    auto* cell = dynamic_cast<const GridAccessibleCell*>(child);
    if (!cell || cell->parent() != this) return -1;
    return ChildIndex(*Grid(), cell->GridRow(), cell->GridColumn());
}

QAccessibleInterface* GridAccessible::childAt(int x, int y) const {
    CGridCtrl* grid = Grid();
    const QPoint point = grid->viewport()->mapFromGlobal(QPoint(x, y));
    if (!grid->viewport()->rect().contains(point)) return nullptr;
    const CCellID cell = grid->HitTestCell(point, true);
    return Cell(cell.row, cell.col);
}

QAccessibleInterface* GridAccessible::focusChild() const {
    const CCellID focus = Grid()->GetFocusCell();
    return Grid()->hasFocus() ? Cell(focus.row, focus.col) : nullptr;
}

void* GridAccessible::interface_cast(QAccessible::InterfaceType t) {
    if (t == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

// ---------------------------------------------------------------- the table

int GridAccessible::rowCount() const {
    return std::max(0, Grid()->GetRowCount() - Grid()->GetFixedRowCount());
}

int GridAccessible::columnCount() const {
    return std::max(0, Grid()->GetColumnCount() - Grid()->GetFixedColumnCount());
}

QAccessibleInterface* GridAccessible::cellAt(int row, int column) const {
    if (row < 0 || column < 0) return nullptr;
    return Cell(row + Grid()->GetFixedRowCount(), column + Grid()->GetFixedColumnCount());
}

// The texts of the heading cells of a row or column, joined.
QString GridAccessible::HeadingText(Qt::Orientation of, int index) const {
    CGridCtrl* grid = Grid();
    const bool column = of == Qt::Vertical;
    const int headings = column ? grid->GetFixedRowCount() : grid->GetFixedColumnCount();
    const int at = index + (column ? grid->GetFixedColumnCount() : grid->GetFixedRowCount());
    QStringList texts;
    for (int k = 0; k < headings; ++k) {
        const QString text =
            (column ? grid->GetItemText(k, at) : grid->GetItemText(at, k)).trimmed();
        if (!text.isEmpty()) texts.append(text);
    }
    return texts.join(QLatin1Char(' '));
}

QString GridAccessible::columnDescription(int column) const {
    return HeadingText(Qt::Vertical, column);
}

QString GridAccessible::rowDescription(int row) const {
    return HeadingText(Qt::Horizontal, row);
}

int GridAccessible::selectedCellCount() const {
    return Grid()->GetSelectedCount();
}

QList<QAccessibleInterface*> GridAccessible::selectedCells() const {
    QList<CCellID> cells = Grid()->Model().GetSelectedCells();
    std::sort(cells.begin(), cells.end(), [](const CCellID& a, const CCellID& b) {
        return a.row != b.row ? a.row < b.row : a.col < b.col;
    });
    QList<QAccessibleInterface*> result;
    for (const CCellID& cell : std::as_const(cells))
        if (QAccessibleInterface* iface = Cell(cell.row, cell.col)) result.append(iface);
    return result;
}

// The rows (or columns) every one of whose cells is selected.
QList<int> GridAccessible::FullySelected(Qt::Orientation of) const {
    CGridCtrl* grid = Grid();
    const bool rows = of == Qt::Horizontal;
    QHash<int, int> count;
    for (const CCellID& cell : grid->Model().GetSelectedCells())
        if (!grid->IsCellFixed(cell.row, cell.col)) ++count[rows ? cell.row : cell.col];
    const int full = rows ? columnCount() : rowCount();
    const int fixed = rows ? grid->GetFixedRowCount() : grid->GetFixedColumnCount();
    QList<int> result;
    for (auto it = count.cbegin(); it != count.cend(); ++it)
        if (it.value() == full) result.append(it.key() - fixed);
    std::sort(result.begin(), result.end());
    return result;
}

QList<int> GridAccessible::selectedRows() const {
    return FullySelected(Qt::Horizontal);
}

QList<int> GridAccessible::selectedColumns() const {
    return FullySelected(Qt::Vertical);
}

bool GridAccessible::isRowSelected(int row) const {
    const int r = row + Grid()->GetFixedRowCount();
    if (row < 0 || r >= Grid()->GetRowCount() || columnCount() == 0) return false;
    for (int c = Grid()->GetFixedColumnCount(); c < Grid()->GetColumnCount(); ++c)
        if (!Grid()->IsCellSelected(r, c)) return false;
    return true;
}

bool GridAccessible::isColumnSelected(int column) const {
    const int c = column + Grid()->GetFixedColumnCount();
    if (column < 0 || c >= Grid()->GetColumnCount() || rowCount() == 0) return false;
    for (int r = Grid()->GetFixedRowCount(); r < Grid()->GetRowCount(); ++r)
        if (!Grid()->IsCellSelected(r, c)) return false;
    return true;
}

// Selecting replaces the selection, as a click does.
bool GridAccessible::selectRow(int row) {
    CGridCtrl* grid = Grid();
    const int r = row + grid->GetFixedRowCount();
    if (row < 0 || r >= grid->GetRowCount() || !grid->IsSelectable()) return false;
    grid->SelectRange(r, grid->GetFixedColumnCount(), r, grid->GetColumnCount() - 1);
    return true;
}

bool GridAccessible::selectColumn(int column) {
    CGridCtrl* grid = Grid();
    const int c = column + grid->GetFixedColumnCount();
    if (column < 0 || c >= grid->GetColumnCount() || !grid->IsSelectable() || grid->GetListMode())
        return false;
    grid->SelectRange(grid->GetFixedRowCount(), c, grid->GetRowCount() - 1, c);
    return true;
}

void GridAccessible::Deselect(int minRow, int minCol, int maxRow, int maxCol) {
    CGridCtrl* grid = Grid();
    for (int r = minRow; r <= maxRow; ++r)
        for (int c = minCol; c <= maxCol; ++c)
            if (grid->IsCellSelected(r, c)) {
                grid->SetItemState(r, c, grid->GetItemState(r, c) & ~GVIS_SELECTED);
                grid->RedrawCell(r, c);
            }
    SelectionChanged(*grid);
}

bool GridAccessible::unselectRow(int row) {
    CGridCtrl* grid = Grid();
    const int r = row + grid->GetFixedRowCount();
    if (row < 0 || r >= grid->GetRowCount()) return false;
    Deselect(r, grid->GetFixedColumnCount(), r, grid->GetColumnCount() - 1);
    return true;
}

bool GridAccessible::unselectColumn(int column) {
    CGridCtrl* grid = Grid();
    const int c = column + grid->GetFixedColumnCount();
    if (column < 0 || c >= grid->GetColumnCount()) return false;
    Deselect(grid->GetFixedRowCount(), c, grid->GetRowCount() - 1, c);
    return true;
}
