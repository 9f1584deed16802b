#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QFont>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include "controls/GridLayout.h"
#include "controls/GridModel.h"
#include "controls/GridOverlays.h"
#include "controls/GridPrintLayout.h"
#include "controls/GridTextMetrics.h"
#include "controls/GridTypes.h"
#include "controls/GridView.h"
#include "controls/PrinterDef.h"

class CInPlaceEdit;
class CViewPrintPreview;
class PrinterChooser;
class Prompter;
class QPainter;
class QPrinter;

// The owner-drawn grid that shows the login matrix: fixed heading rows and columns, cells
// with their own colours, fonts, formats and images, whole-cell scrolling, selection,
// keyboard and mouse handling, the clipboard and in-place editing. The data and all the
// arithmetic live in GridModel and GridLayout; this widget shows its model, follows the
// model's rows and columns as they change (whoever changes them), adapts events and paints.
// Setters never paint at once; they ask for a repaint, which Qt merges.
class CGridCtrl : public QAbstractScrollArea, public GridView, private GridModel::Observer {
    Q_OBJECT

public:
    // The gesture in progress.
    enum MouseMode {
        MOUSE_NOTHING = 0,
        MOUSE_SELECT_ALL = 1,
        MOUSE_SELECT_COL = 2,
        MOUSE_SELECT_ROW = 3,
        MOUSE_SELECT_CELLS = 4,
        MOUSE_OVER_ROW_DIVIDE = 6,
        MOUSE_SIZING_ROW = 7,
        MOUSE_OVER_COL_DIVIDE = 8,
        MOUSE_SIZING_COL = 9,
        MOUSE_PREPARE_EDIT = 10,
    };

    // First keys of BeginCellEdit besides characters and Qt::Key_* navigation keys.
    static constexpr int kEditByMouse = kGridEditByMouse;
    static constexpr int kEditByBackspace = kGridEditByBackspace;
    static constexpr int kEditByEnter = kGridEditByEnter;

    explicit CGridCtrl(int rows = 0, int cols = 0, int fixedRows = 0, int fixedCols = 0,
                       QWidget* parent = nullptr);
    ~CGridCtrl() override;

    // ------------------------------------------------------------ structure
    int GetRowCount() const { return m_model.GetRowCount(); }
    int GetColumnCount() const { return m_model.GetColumnCount(); }
    int GetFixedRowCount() const { return m_model.GetFixedRowCount(); }
    int GetFixedColumnCount() const { return m_model.GetFixedColumnCount(); }
    bool SetRowCount(int rows);
    bool SetColumnCount(int cols);
    bool SetFixedRowCount(int rows);
    bool SetFixedColumnCount(int cols);
    // Empties the grid: no cells, no selection, no focus, no overlays.
    bool DeleteAllItems();

    bool IsValid(int row, int col) const { return m_model.IsValid(row, col); }
    bool IsValid(const CCellID& cell) const { return m_model.IsValid(cell); }
    bool IsValid(const CCellRange& range) const { return m_model.IsValid(range); }
    bool IsCellFixed(int row, int col) const { return m_model.IsFixed(row, col); }

    // ------------------------------------------------------------ cells
    bool SetItem(const GridItem& item);
    bool GetItem(GridItem& item) const;  // the text through GetItemText
    bool SetItemText(int row, int col, const QString& text);
    bool SetItemTextAndFormat(int row, int col, const QString& text, quint32 format);
    virtual QString GetItemText(int row, int col) const;
    bool SetItemState(int row, int col, quint32 state);
    quint32 GetItemState(int row, int col) const { return m_model.GetItemState(row, col); }
    bool SetItemFormat(int row, int col, quint32 format);
    quint32 GetItemFormat(int row, int col) const { return m_model.GetItemFormat(row, col); }
    bool SetItemImage(int row, int col, int image);
    int GetItemImage(int row, int col) const { return m_model.GetItemImage(row, col); }
    bool SetItemBkColour(int row, int col, GridColour colour = kGridDefaultColour);
    GridColour GetItemBkColour(int row, int col) const { return m_model.GetItemBkColour(row, col); }
    bool SetItemFgColour(int row, int col, GridColour colour = kGridDefaultColour);
    GridColour GetItemFgColour(int row, int col) const { return m_model.GetItemFgColour(row, col); }
    bool SetItemFont(int row, int col, const QFont& font);
    QFont GetItemFont(int row, int col) const { return m_model.GetItemFont(row, col); }
    bool SetItemData(int row, int col, qintptr lParam);
    qintptr GetItemData(int row, int col) const { return m_model.GetItemData(row, col); }
    void SetModified(bool modified = true, int row = -1, int col = -1);
    bool GetModified() const { return m_model.GetModified(); }
    // False for a cell that does not exist.
    bool IsCellEditable(int row, int col) const;
    bool IsCellEditable(const CCellID& cell) const { return IsCellEditable(cell.row, cell.col); }
    bool IsCellSelected(int row, int col) const { return m_model.IsCellSelected(row, col); }
    // The cell as a new row would have it (see GridModel::ResetCell).
    bool ResetCell(int row, int col) { return m_model.ResetCell(row, col); }
    // Grows with every change of the stored grid; scrolling and overlays leave it alone.
    quint64 ChangeCount() const { return m_model.ChangeCount(); }

    // ------------------------------------------------------------ sizes
    int GetRowHeight(int row) const { return m_model.GetRowHeight(row); }
    bool SetRowHeight(int row, int height) { return m_model.SetRowHeight(row, height); }
    int GetColumnWidth(int col) const { return m_model.GetColumnWidth(col); }
    bool SetColumnWidth(int col, int width) { return m_model.SetColumnWidth(col, width); }
    int GetFixedRowHeight() const;
    int GetFixedColumnWidth() const;
    qint64 GetTotalHeight() const { return m_model.GetTotalHeight(); }
    qint64 GetTotalWidth() const { return m_model.GetTotalWidth(); }
    bool AutoSizeColumn(int col);
    bool AutoSizeRow(int row);
    void AutoSizeColumns();
    void AutoSize();
    // Room a cell needs; fixed cells are measured semi-bold.
    virtual QSize GetCellExtent(int row, int col) const;

    // ------------------------------------------------------------ sort
    // Clears selection and focus, then sorts the scrollable rows; fixed rows stay.
    bool SortTextItems(int col, bool ascending);
    bool SortTextItems(int col, bool ascending, int low, int high);
    int GetSortColumn() const { return m_sortColumn; }
    bool GetSortAscending() const { return m_sortAscending; }

    // ------------------------------------------------------------ geometry (client pixels)
    CCellID GetTopLeftScrollCell() const { return Layout().GetTopLeftScrollCell(); }
    bool GetCellOrigin(int row, int col, QPoint& origin) const;
    bool GetCellRect(int row, int col, QRect& rect) const;
    CCellID HitTestCell(const QPoint& point, bool allowFixed = false) const;
    CCellRange GetVisibleScrollRange(QRect* rect = nullptr) const;
    CCellRange GetFullyVisibleScrollRange() const { return Layout().GetFullyVisibleScrollRange(); }
    bool IsCellVisible(int row, int col) const;
    bool IsCellVisible(const CCellID& cell) const { return IsCellVisible(cell.row, cell.col); }
    void EnsureVisible(int row, int col) override;
    void EnsureVisible(const CCellID& cell) { EnsureVisible(cell.row, cell.col); }
    CCellRange GetSelectionBounds() const { return m_model.GetSelectionBounds(); }
    int GetSelectedCount() const { return m_model.GetSelectedCount(); }

    // ------------------------------------------------------------ redrawing and scrolling
    // Ask for a repaint of one cell or row; false when drawing is off or it is not shown.
    bool RedrawCell(int row, int col);
    bool RedrawCell(const CCellID& cell) { return RedrawCell(cell.row, cell.col); }
    bool RedrawRow(int row) override;
    bool InvalidateCellRect(const CCellID& cell);
    void ResetScrollBars();
    // With drawing off nothing is painted and the scroll bars are left alone; when it
    // resumes, only what changed meanwhile is repainted.
    void SetRedraw(bool allow, bool resetScrollBars = false) override;
    bool GetRedraw() const override { return m_allowDraw; }

    // ------------------------------------------------------------ appearance
    void SetTitle(const QString& title) { m_title = title; }
    QString GetTitle() const { return m_title; }
    void SetImageList(const QList<QPixmap>& images);
    const QList<QPixmap>& GetImageList() const { return m_images; }
    // 0 none, 1 horizontal, 2 vertical, 3 both.
    void SetGridLines(int mode);
    int GetGridLines() const { return m_gridLines; }
    void SetBkColor(GridColour colour);  // the default background of the cells
    GridColour GetBkColor() const { return m_bkColour; }
    void SetTextColor(GridColour colour);
    GridColour GetTextColor() const { return m_textColour; }
    void SetFixedBkColor(GridColour colour);
    GridColour GetFixedBkColor() const { return m_fixedBkColour; }
    void SetFixedTextColor(GridColour colour);
    GridColour GetFixedTextColor() const { return m_fixedTextColour; }
    void SetGridColor(GridColour colour);
    GridColour GetGridColor() const { return m_gridColour; }
    void SetShadowColor(GridColour colour);  // the area outside the cells
    GridColour GetShadowColor() const { return m_shadowColour; }
    // Adopts a font: it becomes every cell's font, and the margin and the default row
    // height and column width are measured from it.
    void SetGridFont(const QFont& font);
    QFont GetGridFont() const { return m_model.GetDefaultFont(); }
    int GetMargin() const { return m_model.GetMargin(); }
    int GetDefaultRowHeight() const { return m_model.GetDefaultRowHeight(); }
    int GetDefaultColumnWidth() const { return m_model.GetDefaultColumnWidth(); }
    // Replaces the text measuring (fixed metrics in tests).
    void SetTextMetrics(std::unique_ptr<GridTextMetrics> metrics);
    const GridTextMetrics& TextMetrics() const { return *m_metrics; }

    // ------------------------------------------------------------ options
    void SetEditable(bool editable = true) { m_editable = editable; }
    bool IsEditable() const { return m_editable; }
    void SetListMode(bool listMode = true);
    bool GetListMode() const { return m_listMode; }
    void SetSingleSelection(bool single = true) { m_singleSelection = single; }
    bool GetSingleSelection() const { return m_singleSelection; }
    void EnableSelection(bool enable = true);
    bool IsSelectable() const { return m_enableSelection; }
    void SetRowResize(bool allow = true) { m_allowRowResize = allow; }
    bool GetRowResize() const { return m_allowRowResize; }
    void SetColumnResize(bool allow = true) { m_allowColResize = allow; }
    bool GetColumnResize() const { return m_allowColResize; }
    void SetHeaderSort(bool sortOnClick = true) { m_sortOnClick = sortOnClick; }
    bool GetHeaderSort() const { return m_sortOnClick; }
    void SetHandleTabKey(bool handle = true) { m_handleTabKey = handle; }
    bool GetHandleTabKey() const { return m_handleTabKey; }

    // ------------------------------------------------------------ transient colours
    // Shows bk/fg over a cell from delayMs from now for durationMs, above its stored colours
    // (kGridDefaultColour: the grid's default). Several calls sequence a blink without
    // waiting. Stored colours are never touched; DeleteAllItems drops every overlay.
    void ShowOverlay(int row, int col, GridColour bk, GridColour fg, int durationMs,
                     int delayMs = 0);
    void ClearOverlays() override;
    bool HasOverlay(int row, int col) const { return m_overlays.Has(row, col); }

    // While the owner holds the timers (a scan cycle or command waits for a tool), the
    // drag's auto-scroll does nothing; it goes on when the last hold is released. Overlays
    // keep their timing.
    void HoldTimers(bool hold) override { m_timerHolds += hold ? 1 : -1; }
    bool TimersHeld() const { return m_timerHolds > 0; }

    // ------------------------------------------------------------ focus and selection
    // Returns the previous focus cell; tells the owner GVN_SELCHANGING / GVN_SELCHANGED.
    CCellID SetFocusCell(int row, int col);
    CCellID SetFocusCell(const CCellID& cell) { return SetFocusCell(cell.row, cell.col); }
    CCellID GetFocusCell() const { return m_focusCell; }
    void SelectRange(int minRow, int minCol, int maxRow, int maxCol, bool forceRepaint = false);
    void SelectRange(const CCellRange& range, bool forceRepaint = false);
    // No selection and no focus cell.
    void ClearSelection();
    void SelectAllCells();
    void SelectColumns(const CCellID& cell);
    void SelectRows(const CCellID& cell);
    void SelectCells(const CCellID& cell);
    // Selects by the current mouse mode from the selection start to `cell`.
    void ExtendSelection(const CCellID& cell);
    int GetMouseMode() const { return m_mouseMode; }

    // ------------------------------------------------------------ clipboard
    // Tab-separated columns and "\n"-separated rows of the selected cells' texts (an empty
    // selected cell gives one blank); none when nothing is selected.
    virtual std::optional<QString> BuildClipboardText() const;
    // Splits `text` into lines at "\n" and each line into tokens at runs of tabs and commas,
    // and stores token k of line j, trimmed, in cell (row + j, col + k). Tokens that fall
    // outside the grid or on a cell that cannot be edited are dropped. False when the
    // target cell is not there or cannot be edited.
    virtual bool PasteClipboardText(int row, int col, const QString& text);
    // Empties every selected, editable cell as if the user had deleted its text.
    virtual void ClearSelectedCells();
    virtual void OnEditCut();
    virtual void OnEditCopy();
    virtual void OnEditPaste();
    virtual void OnEditSelectAll();
    // Whether the owner's copy, cut, paste and select-all commands are available.
    bool CanCopy() const;
    bool CanCut() const;
    bool CanPaste() const;
    bool CanSelectAll() const { return m_enableSelection; }

    // ------------------------------------------------------------ editing
    // Scrolls the cell into view and, when it can be edited, opens the in-place editor.
    // firstKey: kEditByMouse, kEditByEnter or kEditByBackspace put the caret at the end
    // (Backspace also removes the last character); Tab, space and the Qt::Key_* navigation
    // keys select the whole text; any other character replaces the text.
    virtual void BeginCellEdit(int row, int col, int firstKey);
    // Stores an edited text, marking the cell modified when it differs.
    virtual void AcceptCellEdit(int row, int col, const QString& text);
    CInPlaceEdit* GetInPlaceEdit() const;

    // ------------------------------------------------------------ accessibility
    // What a cell's look means, in words, for a screen reader (see GridAccessible). The
    // grid does not know what its owner's colours stand for, so it asks the owner.
    using CellDescriber = std::function<QString(int row, int col)>;
    void SetCellDescriber(CellDescriber describer) { m_describer = std::move(describer); }
    QString CellDescription(int row, int col) const;

    // ------------------------------------------------------------ printing
    // The message box and printer set-up the print commands use; the real ones when unset.
    void SetPrintServices(Prompter* prompter, PrinterChooser* chooser);
    // Prints every page on the chosen printer, running the set-up first when none is chosen
    // yet. False when the set-up was cancelled or the job failed (the user has been told).
    bool Print();
    // Runs the printer set-up on the saved choice; false when cancelled.
    bool PrinterSetup();
    CPrinterDef& PrinterDef() { return m_printerDef; }
    // Opens the preview window, or brings the open one forward.
    void PrintPreview();
    bool IsPreviewActive() const { return m_previewActive; }
    CViewPrintPreview* Preview() const;
    // One whole job on `printer`: begin, every page, end. Print and the preview's page
    // layout both come here. False when the printer did not start or a page failed.
    bool PrintJob(QPrinter& printer, bool preview, bool* started = nullptr);
    // The print hooks: OnBeginPrinting measures the printer font and counts the pages into
    // info.maxPage; OnPrint prints info.currentPage; OnEndPrinting drops the printer font.
    // The three parts of a page draw into info.drawRect, in logical units.
    virtual void OnBeginPrinting(QPainter& dc, CPrintInfo& info);
    virtual void OnPrint(QPainter& dc, CPrintInfo& info);
    virtual void OnEndPrinting(QPainter& dc, CPrintInfo& info);
    virtual void PrintHeader(QPainter& dc, CPrintInfo& info);
    virtual void PrintColumnHeadings(QPainter& dc, CPrintInfo& info);
    virtual void PrintFooter(QPainter& dc, CPrintInfo& info);

    // The display-free parts, for tests and for owners that need more than the above. Owners
    // may write the model directly (the scanner does); the grid follows its rows and columns.
    const GridModel& Model() const { return m_model; }
    GridModel& Model() { return m_model; }
    GridLayout Layout() const;

signals:
    // Every notification for the owner, sent synchronously.
    void Notify(const GridNotify& notify);
    // Posted after each left-button release that began on a cell.
    void Command();
    // The preview's own Print: the owner prints as its print command does. Without an
    // owner listening the grid prints itself.
    void PrintRequested();

protected:
    // Virtual hooks.
    virtual void OnHeadingRowClick(const CCellID& cell);
    virtual void OnHeadingColumnClick(const CCellID& cell);
    virtual void CreateCellEditor(const QRect& rect, Qt::Alignment alignment, int row, int col,
                                  const QString& text, int firstKey);
    // Empty text and no state but the focus mark.
    virtual void EmptyCell(int row, int col);
    virtual void OnDraw(QPainter& painter, const QRect& clip);
    virtual bool DrawFixedCell(QPainter& painter, int row, int col, const QRect& rect, bool erase);
    virtual bool DrawCell(QPainter& painter, int row, int col, const QRect& rect, bool erase);
    // Fills what no cell paints: the heading and cell backgrounds up to `cells`, the area
    // the shown cells cover from (0, 0), and the shadow colour beyond it.
    void PaintEmptyArea(QPainter& painter, const QRect& clip, const QRect& cells);
    void NotifyOwner(int row, int col, int code);

    // Qt events.
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    // GridModel::Observer: the focus, overlays, interaction state and scroll bars follow the
    // model's rows and columns.
    void RowCountAboutToChange(int rows) override;
    void RowCountChanged(int oldRows) override;
    void ColumnCountAboutToChange(int cols) override;
    void ColumnCountChanged(int oldCols) override;
    void FixedRowCountAboutToChange(int rows) override;
    void FixedColumnCountAboutToChange(int cols) override;
    void FixedCountChanged() override;
    void AboutToBeEmptied() override;
    void Emptied() override;

    void ApplyFont(const QFont& font);
    CellExtentFn CellExtents() const;
    void AdoptSystemColours(bool initial);
    QColor Colour(GridColour colour) const;
    void RequestRepaint();
    // What changed while drawing was off: the damaged rows shown, or everything.
    void RepaintDamage();
    void ScrollBy(Qt::Orientation orientation, GridScroll step);
    void OnScrollAction(Qt::Orientation orientation, int action);
    void SetScrollPositions(int x, int y);
    void RedrawFixedHeadings(int row, int col, bool rowChanged, bool colChanged);
    // A cell's colours as painted now: a flash or blink over it (overlaid set), else its
    // stored colours (kGridDefaultColour standing for the grid's own).
    GridOverlays::Colours ShownColours(const CGridCell& cell, int row, int col,
                                       bool* overlaid = nullptr) const;
    // Takes the margins off the room [l, r] the text may use, and draws the cell's image,
    // if any, at its left, moving l past it.
    void DrawCellImage(QPainter& painter, const CGridCell& cell, int& l, int t, int& r);
    void DrawCellText(QPainter& painter, const QRect& rect, quint32 format, const QString& text,
                      const QFont& font);
    // The horizontal placement a cell's format asks for, shared by painting and the editor.
    static Qt::Alignment HorizontalAlignment(quint32 format);
    void OnOverlayTimer();
    void ScheduleOverlayTimer(qint64 now);
    qint64 Now() const { return m_clock.elapsed(); }
    // Rows [first, end) from logical y = 0, every column, with the grid lines of the mode.
    void PrintRowBand(QPainter& dc, int first, int end, bool headings);
    // A cell font as printing draws it: sized in screen pixels, which the page mapping scales.
    QFont PrintedFont(const QFont& font) const;
    QString PrintTitle() const;
    Prompter& PrintPrompter();
    void OnPreviewEnded();
    // Tells an accessibility client what changed while drawing was off.
    void AccessibleCatchUp();

    // Interaction.
    void LeftButtonDown(const QPoint& point, Qt::KeyboardModifiers modifiers);
    void LeftButtonUp(const QPoint& point);
    void EndDragByRightButton();
    void UpdateHover(const QPoint& point);
    QPoint Confined(const QPoint& point) const;
    void MoveTrackingBand(const QPoint& point);
    void HideTrackingBand();
    QRect TrackingBandRect() const;
    // A key of the keyboard table; false for any other key.
    bool HandleKey(int key, Qt::KeyboardModifiers modifiers);
    void OnAutoScroll();
    void StopAutoScroll() { m_autoScrollTimer.stop(); }
    void EndEditForScroll();
    void EditorFinished(int row, int col, const QString& text, int lastKey);

    GridModel m_model;
    std::unique_ptr<GridTextMetrics> m_metrics;

    // Colours and their system defaults.
    GridColour m_textColour = 0;
    GridColour m_bkColour = 0;
    GridColour m_shadowColour = 0;
    GridColour m_fixedTextColour = 0;
    GridColour m_fixedBkColour = 0;
    GridColour m_gridColour = 0xC0C0C0;
    GridColour m_sysText = 0;
    GridColour m_sysWindow = 0;
    GridColour m_sysFace = 0;
    GridColour m_sysShadow = 0;

    QString m_title;
    QList<QPixmap> m_images;
    int m_gridLines = 3;
    bool m_editable = true;
    bool m_listMode = false;
    bool m_singleSelection = false;
    bool m_allowDraw = true;
    int m_rowsAtPause = 0;      // the row count when drawing went off
    bool m_repaintAll = false;  // drawing off, something asked for more than a row's repaint
    bool m_enableSelection = true;
    bool m_sortOnClick = true;
    bool m_handleTabKey = true;
    bool m_allowRowResize = true;
    bool m_allowColResize = true;
    bool m_applyingFont = false;
    bool m_inResize = false;

    // Interaction state.
    CCellID m_focusCell;
    CCellID m_selectionStartCell;
    CCellID m_leftClickDownCell;
    QPoint m_leftClickDownPoint;
    QPoint m_lastMousePoint;
    int m_mouseMode = MOUSE_NOTHING;
    QList<CCellID> m_prevSelection;  // cells selected when a Ctrl-click began
    QBasicTimer m_autoScrollTimer;
    int m_timerHolds = 0;
    int m_resizeCaptureRange = 3;
    int m_sizingIndex = -1;  // column or row being resized
    int m_sizingOrigin = 0;  // its left or top edge
    bool m_bandShown = false;
    QPoint m_bandPoint;
    int m_wheelRemainder = 0;
    QPointer<CInPlaceEdit> m_editor;

    // Sort state of heading clicks.
    bool m_sortAscending = true;
    int m_sortColumn = -1;

    // Transient colours.
    GridOverlays m_overlays;
    QTimer m_overlayTimer;
    QElapsedTimer m_clock;
    qint64 m_overlayDue = 0;  // when the overlay timer fires
    qint64 m_paintNow = 0;

    CellDescriber m_describer;

    // Printing.
    CPrinterDef m_printerDef;
    Prompter* m_prompter = nullptr;
    PrinterChooser* m_printerChooser = nullptr;
    std::unique_ptr<Prompter> m_ownPrompter;
    std::unique_ptr<PrinterChooser> m_ownPrinterChooser;
    bool m_printing = false;  // cells drawn for paper: no fills of headings, no highlights
    QFont m_printerFont;
    GridPrintMetrics m_printMetrics;
    std::optional<GridPrintLayout> m_printLayout;
    QPointer<CViewPrintPreview> m_preview;
    bool m_previewActive = false;
};
