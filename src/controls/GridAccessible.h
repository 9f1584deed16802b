#pragma once

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>

class CGridCtrl;

// What a screen reader sees of the grid: a table whose cells are the grid's cells. The fixed
// rows are the column headings and the fixed columns the row headings; the table's rows and
// columns are the others. Children are every cell of the grid, row by row, headings
// included. Cell interfaces are made when first asked for and kept by position, so a cell
// that moves is simply read anew.
//
// The grid reports its changes through the static functions below. Each does nothing unless
// an accessibility client is active, so a grid nobody listens to pays nothing for them.
class GridAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit GridAccessible(CGridCtrl* grid);
    ~GridAccessible() override;

    // Registers the factory that gives every CGridCtrl this interface; once is enough.
    static void Install();

    // --- what the grid reports (coordinates are the grid's own)
    // The focus cell moved; told to the client only while the grid has the keyboard focus.
    static void FocusMoved(CGridCtrl& grid, int row, int col);
    static void SelectionChanged(CGridCtrl& grid);
    // Rows [first, last] of the grid were written over.
    static void RowsWritten(CGridCtrl& grid, int first, int last);
    // The row count went from `oldRows` to the grid's current count.
    static void RowCountChanged(CGridCtrl& grid, int oldRows);
    // Anything else: the whole table may differ.
    static void Reset(CGridCtrl& grid);

    // The child index of a grid cell, -1 when it is not there.
    static int ChildIndex(const CGridCtrl& grid, int row, int col);

    // The cell interface of a grid cell; nullptr when it is not there.
    QAccessibleInterface* Cell(int row, int col) const;
    CGridCtrl* Grid() const;

    // QAccessibleInterface
    QAccessible::Role role() const override { return QAccessible::Table; }
    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;
    void* interface_cast(QAccessible::InterfaceType t) override;

    // QAccessibleTableInterface (table coordinates: headings not counted)
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override { return int(selectedColumns().size()); }
    int selectedRowCount() const override { return int(selectedRows().size()); }
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override;
    QList<int> selectedRows() const override;
    bool isColumnSelected(int column) const override;
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int column) override;
    bool unselectRow(int row) override;
    bool unselectColumn(int column) override;
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

private:
    static quint64 Key(int row, int col) { return (quint64(quint32(row)) << 32) | quint32(col); }
    // Drops the cell interfaces of cells the grid no longer has.
    void DropCellsOutside(int rows, int cols);
    void Deselect(int minRow, int minCol, int maxRow, int maxCol);
    // Qt::Vertical: a column's headings (the fixed rows); Qt::Horizontal: a row's.
    QString HeadingText(Qt::Orientation of, int index) const;
    // Qt::Horizontal: rows; Qt::Vertical: columns.
    QList<int> FullySelected(Qt::Orientation of) const;

    mutable QHash<quint64, QAccessible::Id> m_cells;
};
