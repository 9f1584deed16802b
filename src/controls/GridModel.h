#pragma once

#include <QFont>
#include <QList>
#include <QSet>
#include <QSize>
#include <QString>
#include <climits>
#include <functional>
#include <vector>

#include "controls/GridCell.h"
#include "controls/GridSizeList.h"
#include "controls/GridTextMetrics.h"
#include "controls/GridTypes.h"

// Gives the text of a cell; lets a grid that overrides its texts sort and size by them.
using CellTextFn = std::function<QString(int row, int col)>;
// Gives the size a cell needs.
using CellExtentFn = std::function<QSize(int row, int col)>;

// The grid's data without any window: the cell store with its fixed rows and columns, row
// heights and column widths, the selected-cell map, defaults that follow the font, sizing
// and the row sort. Every operation on a cell that does not exist answers with a neutral
// value (false, 0, -1, an empty text) and never creates cells.
class GridModel {
public:
    // What a view showing the model must follow as it happens: rows and columns that come or
    // go, the fixed rows and columns, and the emptying of the whole grid. Changes of cells are
    // not told one by one; they are noted as damage (below), and their writer asks the view
    // for a repaint (see GridView).
    class Observer {
    public:
        virtual ~Observer() = default;
        // Before the count changes to `rows` (`cols`); the cells beyond it are still there.
        virtual void RowCountAboutToChange(int rows) = 0;
        virtual void RowCountChanged(int oldRows) = 0;
        virtual void ColumnCountAboutToChange(int cols) = 0;
        virtual void ColumnCountChanged(int oldCols) = 0;
        // Before the fixed count becomes `rows` (`cols`), the grid having grown to it already.
        virtual void FixedRowCountAboutToChange(int rows) = 0;
        virtual void FixedColumnCountAboutToChange(int cols) = 0;
        virtual void FixedCountChanged() = 0;
        virtual void AboutToBeEmptied() = 0;
        virtual void Emptied() = 0;
    };

    explicit GridModel(const QFont& font = QFont());

    // One observer at most; a copy of the model has none.
    void SetObserver(Observer* observer) { m_observer.p = observer; }

    // --- structure
    int GetRowCount() const { return int(m_rows.size()); }
    int GetColumnCount() const { return m_columnCount; }
    int GetFixedRowCount() const { return m_fixedRows; }
    int GetFixedColumnCount() const { return m_fixedCols; }
    // Resize the store; new cells copy the format of the cell above them. Shrinking below
    // the fixed count lowers it. False for a negative count.
    bool SetRowCount(int rows);
    bool SetColumnCount(int cols);
    // Grow the store first when it is smaller than the fixed count. False for n < 0.
    bool SetFixedRowCount(int rows);
    bool SetFixedColumnCount(int cols);
    // Empty store, no sizes, all counts 0.
    void DeleteAllItems();

    bool IsValid(int row, int col) const {
        return row >= 0 && row < GetRowCount() && col >= 0 && col < m_columnCount;
    }
    bool IsValid(const CCellID& cell) const { return IsValid(cell.row, cell.col); }
    bool IsValid(const CCellRange& range) const {
        return range.IsValid() && range.maxRow < GetRowCount() && range.maxCol < m_columnCount;
    }
    bool IsFixed(int row, int col) const { return row < m_fixedRows || col < m_fixedCols; }
    const CGridCell* GetCell(int row, int col) const;

    // Grows with every change of the stored grid (cells, counts, sizes, font, selection),
    // so an owner can tell that nobody touched the grid since it last wrote it.
    quint64 ChangeCount() const { return m_changes; }
    // What changed since the damage was last cleared, for a view that repaints only that:
    // the rows whose cells changed, the first row from which rows came or went, or, for any
    // other change (sizes, fonts, a sort, the fixed rows), everything.
    bool EverythingDamaged() const { return m_damageAll; }
    int RowsDamagedFrom() const { return m_damageFrom; }  // INT_MAX: no row came or went
    bool RowDamaged(int row) const {
        return row >= 0 && size_t(row) < m_damagedRow.size() && m_damagedRow[size_t(row)];
    }
    // Marks a row as changed by something the model does not hold (an overlay, the focus).
    void DamageRow(int row);
    void ClearDamage();
    // The cell as a new row would have it: no text, state or colours, the default font and
    // the format of the cell above.
    bool ResetCell(int row, int col);

    // --- cell attributes
    bool SetItem(const GridItem& item);
    // Fills the fields chosen by item.mask from cell (item.row, item.col).
    bool GetItem(GridItem& item) const;
    bool SetItemText(int row, int col, const QString& text);
    bool SetItemTextAndFormat(int row, int col, const QString& text, quint32 format);
    QString GetItemText(int row, int col) const;
    // Keeps the selected-cell map in step with GVIS_SELECTED.
    bool SetItemState(int row, int col, quint32 state);
    quint32 GetItemState(int row, int col) const;
    bool SetItemFormat(int row, int col, quint32 format);
    quint32 GetItemFormat(int row, int col) const;
    bool SetItemImage(int row, int col, int image);
    int GetItemImage(int row, int col) const;
    bool SetItemBkColour(int row, int col, GridColour colour = kGridDefaultColour);
    GridColour GetItemBkColour(int row, int col) const;
    bool SetItemFgColour(int row, int col, GridColour colour = kGridDefaultColour);
    GridColour GetItemFgColour(int row, int col) const;
    bool SetItemFont(int row, int col, const QFont& font);
    // The default font for a cell that does not exist.
    QFont GetItemFont(int row, int col) const;
    bool SetItemData(int row, int col, qintptr lParam);
    qintptr GetItemData(int row, int col) const;

    // Without a cell (row or col negative): the grid-wide flag. With a cell: its
    // GVIS_MODIFIED bit, and setting it marks the grid too. A grid no longer modified
    // clears the bit everywhere.
    void SetModified(bool modified, int row = -1, int col = -1);
    bool GetModified() const { return m_modified; }
    bool IsCellEditable(bool gridEditable, int row, int col) const;

    // --- selection map
    bool IsCellSelected(int row, int col) const;
    int GetSelectedCount() const { return int(m_selected.size()); }
    QList<CCellID> GetSelectedCells() const;
    // The smallest range covering every selected cell; invalid when none is selected.
    CCellRange GetSelectionBounds() const;

    // --- sizes
    int GetRowHeight(int row) const;         // -1 out of range
    bool SetRowHeight(int row, int height);  // false out of range or negative
    int GetColumnWidth(int col) const;
    bool SetColumnWidth(int col, int width);
    qint64 GetFixedRowHeight() const { return m_heights.Offset(m_fixedRows); }
    qint64 GetFixedColumnWidth() const { return m_widths.Offset(m_fixedCols); }
    qint64 GetTotalHeight() const { return m_heights.Total(); }
    qint64 GetTotalWidth() const { return m_widths.Total(); }
    const GridSizeList& RowHeights() const { return m_heights; }
    const GridSizeList& ColumnWidths() const { return m_widths; }

    // --- font and defaults
    // Adopts a new grid font: it becomes the default, overwrites every cell's font, and
    // the margin and default sizes are measured from it. Existing sizes stay.
    void SetFont(const QFont& font, const GridTextMetrics& metrics);
    const QFont& GetDefaultFont() const { return m_defaultFont; }
    int GetMargin() const { return m_margin; }
    int GetDefaultRowHeight() const { return m_defaultRowHeight; }
    int GetDefaultColumnWidth() const { return m_defaultColumnWidth; }
    // Sizes of the images of the grid's image list, used to measure cells that show one.
    void SetImageSizes(const QList<QSize>& sizes) {
        Changed();
        m_imageSizes = sizes;
    }

    // --- sizing
    // Room a cell's text (and image) needs: fixed cells are measured semi-bold.
    QSize GetCellExtent(int row, int col, const GridTextMetrics& metrics,
                        const QString& text) const;
    // Extents measured with the model's own texts.
    CellExtentFn ExtentsOf(const GridTextMetrics& metrics) const;
    bool AutoSizeColumn(int col, const CellExtentFn& extent);
    bool AutoSizeRow(int row, const CellExtentFn& extent);
    // Every size from zero up to the largest extent of its cells.
    void AutoSize(const CellExtentFn& extent);

    // --- sort
    // Reorders rows [low, high) (high -1: to the end) by the text of column `col`, compared
    // without regard to case, in exactly the order a selection sort that keeps the earliest
    // of equal keys would leave them. Cells and heights move with their rows; focus and
    // selection map are left alone. False for a bad column or an empty span.
    bool SortTextItems(int col, bool ascending, int low, int high, const CellTextFn& text = {});

    // Per-character lower-case folding used by the sort.
    static QString FoldForSort(const QString& text);

    // --- paste
    // Clipboard text cut into rows (at each line feed) of cell texts (at each run of tabs and
    // commas), each trimmed. A line that is empty stands for one row with one empty cell,
    // except after the last line feed.
    static QList<QStringList> SplitPasteText(const QString& text);

private:
    void ResizeRows(int rows);
    void ResizeColumns(int cols);
    CGridCell* Cell(int row, int col);
    CGridCell NewCell(int row, int col) const;
    void SetState(CGridCell& cell, int row, int col, quint32 state);
    // A change of anything but a cell's attributes or the row count.
    void Changed() {
        ++m_changes;
        m_damageAll = true;
    }

    // Not copied with the model: the copy is shown by no one.
    struct ObserverSlot {
        Observer* p = nullptr;
        ObserverSlot() = default;
        ObserverSlot(const ObserverSlot&) {}
        ObserverSlot& operator=(const ObserverSlot&) { return *this; }
    };

    ObserverSlot m_observer;
    std::vector<std::vector<CGridCell>> m_rows;
    int m_columnCount = 0;
    int m_fixedRows = 0;
    int m_fixedCols = 0;
    GridSizeList m_heights;
    GridSizeList m_widths;
    QSet<quint64> m_selected;
    bool m_modified = false;
    quint64 m_changes = 0;
    bool m_damageAll = false;
    int m_damageFrom = INT_MAX;
    std::vector<bool> m_damagedRow;
    std::vector<int> m_damagedRows;  // where m_damagedRow is set

    QFont m_defaultFont;
    int m_margin = 0;
    int m_defaultColumnWidth = 30;
    int m_defaultRowHeight = 10;
    QList<QSize> m_imageSizes;
};
