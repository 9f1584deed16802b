#pragma once

#include <QString>
#include <QTableView>

class ReportModel;

// The check-box list in which the e-mail dialogs show recipients: a report-style list with
// column headers, optional grid lines and check boxes, whole-row selection of several rows,
// and sorting by column with type-aware comparison (header clicks sort and then reverse).
// Space never toggles a box; a mouse click on a box does, and makes its row the selected one.
class CReportCtrl : public QTableView {
    Q_OBJECT
public:
    // Row state flags for counting and deleting: a row matches when the set holds RC_ITEM_ALL
    // or when the row has every state of the set.
    enum ItemState {
        RC_ITEM_ALL = 0x01,
        RC_ITEM_SELECTED = 0x02,
        RC_ITEM_UNSELECTED = 0x04,
        RC_ITEM_CHECKED = 0x08,
        RC_ITEM_UNCHECKED = 0x10,
        RC_ITEM_FOCUSED = 0x20,
        RC_ITEM_UNFOCUSED = 0x40,
    };
    // 0: no check boxes; 1: independent check boxes.
    enum CheckboxMode { RC_CHKBOX_NONE = 0, RC_CHKBOX_NORMAL = 1 };

    explicit CReportCtrl(QWidget* parent = nullptr);

    // "title, width, alignment;" per column (width 100 and left alignment when absent;
    // alignment 0 left, 1 centre, 2 right). Replaces all rows and columns; true when at
    // least one column was added.
    bool SetColumnHeader(const QString& headerText);
    void DeleteAllColumns();
    int GetColumnCount() const;
    void SetGridLines(bool on);
    void SetCheckboxMode(int mode);
    int GetCheckboxMode() const { return m_checkboxMode; }
    // In-place editing of a cell by a click on a row that is already selected and focused.
    void SetEditable(bool on);

    // Inserts a row holding `text` in column 0 at `index` (clamped); returns its index, or -1
    // when the list has no columns.
    int InsertItem(int index, const QString& text);
    bool SetItemText(int row, int column, const QString& text);
    QString GetItemText(int row, int column) const;
    bool SetCheck(int row, bool checked = true);
    bool GetCheck(int row) const;
    bool IsItemSelected(int row) const;
    void SetItemSelected(int row, bool selected);
    int GetItemCount(int flags = RC_ITEM_ALL) const;
    bool DeleteItem(int row);
    // Deletes every row matching `flags`; returns how many went.
    int DeleteAllItems(int flags = RC_ITEM_ALL);

    // Sorts every row by `column`; false when there is no such column.
    bool SortItems(int column, bool ascending = true);
    int GetSortColumn() const { return m_sortColumn; }
    bool IsSortAscending() const { return m_sortAscending; }

    // Order of two cell texts: hexadecimal numbers, then decimal numbers (an optional "%"
    // after them), then the locale's dates and times, then the texts themselves,
    // case-sensitively. A kind applies only when both texts are of it.
    static int CompareItemTexts(const QString& a, const QString& b);

signals:
    // The mouse changed the row's check box.
    void CheckChanged(int row);
    // The rows were sorted.
    void Sorted(int column, bool ascending);
    // In-place editing changed a cell's text.
    void CellEdited(int row, int column);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // Commits a cell being edited in place.
    void EndEdit();
    bool Matches(int row, int flags) const;
    // After the mouse: a changed box makes its row the only selected, focused one.
    void AfterMouse(int row, bool checkedBefore);
    void OnHeaderClicked(int column);

    ReportModel* m_model = nullptr;
    int m_checkboxMode = RC_CHKBOX_NONE;
    int m_sortColumn = -1;
    bool m_sortAscending = true;
};
