#pragma once

#include <QAccessible>
#include <QPointer>

class CGridCtrl;

// One cell of the grid as a screen reader sees it: its text as its name, what its colours
// mean as its description (the grid asks its owner), and its place in the table. A cell of a
// fixed row or column is a heading and has no place of its own in the table.
class GridAccessibleCell : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    GridAccessibleCell(CGridCtrl* grid, int row, int col);

    int GridRow() const { return m_row; }
    int GridColumn() const { return m_col; }

    // QAccessibleInterface
    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType t) override;

    // QAccessibleTableCellInterface
    bool isSelected() const override;
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override;
    int columnIndex() const override;
    int rowIndex() const override;
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

private:
    bool IsHeading() const;
    QList<QAccessibleInterface*> Headings(bool ofColumn) const;

    QPointer<CGridCtrl> m_grid;
    int m_row;
    int m_col;
};
