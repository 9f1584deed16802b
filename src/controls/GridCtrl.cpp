#include "controls/GridCtrl.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPrinter>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTimerEvent>
#include <QWheelEvent>
#include <algorithm>
#include <ctime>

#include "controls/FontTextMetrics.h"
#include "controls/InPlaceEdit.h"
#include "controls/ViewPrintPreview.h"
#include "platform/MessageBoxPrompter.h"
#include "platform/PrinterChooser.h"
#include "platform/WaitCursor.h"

namespace {

GridColour ToGridColour(const QColor& c) {
    return GridRgb(c.red(), c.green(), c.blue());
}

// A rectangle from its edges: left and top inside it, right and bottom just outside. The
// cell drawing keeps a cell's right and bottom at its last pixel (x + w - 1), so the text
// area made from them leaves that column and row to the grid lines and heading borders.
QRect Ltrb(int left, int top, int right, int bottom) {
    return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

// The horizontal placement a cell's format asks for, shared by painting and the editor.
Qt::Alignment HorizontalAlignment(quint32 format) {
    if (format & DT_RIGHT) return Qt::AlignRight;
    if (format & DT_CENTER) return Qt::AlignHCenter;
    return Qt::AlignLeft;
}

}  // namespace

CGridCtrl::CGridCtrl(int rows, int cols, int fixedRows, int fixedCols, QWidget* parent)
    : QAbstractScrollArea(parent), m_metrics(std::make_unique<FontTextMetrics>()) {
    m_model.SetObserver(this);
    m_clock.start();
    setFocusPolicy(Qt::StrongFocus);
    // Every pixel is painted by OnDraw, so Qt need not erase first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(true);  // the pointer over a divider shows the resize arrows
    AdoptSystemColours(true);
    ApplyFont(QApplication::font("QMessageBox"));

    m_overlayTimer.setSingleShot(true);
    m_overlayTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_overlayTimer, &QTimer::timeout, this, &CGridCtrl::OnOverlayTimer);
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this](int action) { OnScrollAction(Qt::Horizontal, action); });
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this](int action) { OnScrollAction(Qt::Vertical, action); });

    SetRowCount(rows);
    SetColumnCount(cols);
    SetFixedRowCount(fixedRows);
    SetFixedColumnCount(fixedCols);
}

CGridCtrl::~CGridCtrl() {
    delete m_preview.data();
    if (m_editor) {
        m_editor->Abandon();
        delete m_editor.data();
    }
}

GridLayout CGridCtrl::Layout() const {
    return GridLayout(m_model,
                      GridViewport{viewport()->width(), viewport()->height(),
                                   horizontalScrollBar()->value(), verticalScrollBar()->value()});
}

void CGridCtrl::RequestRepaint() {
    if (m_allowDraw)
        viewport()->update();
    else
        m_repaintAll = true;  // when drawing resumes
}

// ---------------------------------------------------------------- structure

bool CGridCtrl::SetRowCount(int rows) {
    if (rows < 0) return false;
    if (rows == GetRowCount()) return true;
    return m_model.SetRowCount(rows);
}

bool CGridCtrl::SetColumnCount(int cols) {
    if (cols < 0) return false;
    if (cols == GetColumnCount()) return true;
    return m_model.SetColumnCount(cols);
}

bool CGridCtrl::SetFixedRowCount(int rows) {
    if (rows < 0) return false;
    return m_model.SetFixedRowCount(rows);
}

bool CGridCtrl::SetFixedColumnCount(int cols) {
    if (cols < 0) return false;
    return m_model.SetFixedColumnCount(cols);
}

bool CGridCtrl::DeleteAllItems() {
    m_model.DeleteAllItems();
    return true;
}

void CGridCtrl::RowCountAboutToChange(int rows) {
    if (m_focusCell.row >= rows) SetFocusCell(-1, -1);
}

void CGridCtrl::RowCountChanged(int oldRows) {
    if (GetRowCount() < oldRows) m_overlays.Prune(GetRowCount(), GetColumnCount());
    if (m_allowDraw) {
        ResetScrollBars();
        RequestRepaint();
    }
}

void CGridCtrl::ColumnCountAboutToChange(int cols) {
    if (m_focusCell.col >= cols) SetFocusCell(-1, -1);
}

void CGridCtrl::ColumnCountChanged(int oldCols) {
    if (GetColumnCount() < oldCols) m_overlays.Prune(GetRowCount(), GetColumnCount());
    if (m_allowDraw) {
        ResetScrollBars();
        RequestRepaint();
    }
}

void CGridCtrl::FixedRowCountAboutToChange(int rows) {
    if (m_focusCell.row < rows) SetFocusCell(-1, -1);
}

void CGridCtrl::FixedColumnCountAboutToChange(int cols) {
    if (m_focusCell.col < cols) SetFocusCell(-1, -1);
}

void CGridCtrl::FixedCountChanged() {
    RequestRepaint();
}

void CGridCtrl::AboutToBeEmptied() {
    ClearSelection();
}

void CGridCtrl::Emptied() {
    m_focusCell = CCellID();
    m_selectionStartCell = CCellID();
    m_leftClickDownCell = CCellID();
    m_prevSelection.clear();
    ClearOverlays();
    // An empty grid has nothing to scroll; stale ranges would keep showing scroll bars.
    if (m_allowDraw) {
        horizontalScrollBar()->setRange(0, 0);
        verticalScrollBar()->setRange(0, 0);
    }
    ResetScrollBars();
    RequestRepaint();
}

// ---------------------------------------------------------------- cells

bool CGridCtrl::SetItem(const GridItem& item) {
    return m_model.SetItem(item);
}

bool CGridCtrl::GetItem(GridItem& item) const {
    if (!m_model.GetItem(item)) return false;
    if (item.mask & GVIF_TEXT) item.text = GetItemText(item.row, item.col);
    return true;
}

bool CGridCtrl::SetItemText(int row, int col, const QString& text) {
    return m_model.SetItemText(row, col, text);
}

bool CGridCtrl::SetItemTextAndFormat(int row, int col, const QString& text, quint32 format) {
    return m_model.SetItemTextAndFormat(row, col, text, format);
}

QString CGridCtrl::GetItemText(int row, int col) const {
    return m_model.GetItemText(row, col);
}

bool CGridCtrl::SetItemState(int row, int col, quint32 state) {
    return m_model.SetItemState(row, col, state);
}

bool CGridCtrl::SetItemFormat(int row, int col, quint32 format) {
    return m_model.SetItemFormat(row, col, format);
}

bool CGridCtrl::SetItemImage(int row, int col, int image) {
    return m_model.SetItemImage(row, col, image);
}

bool CGridCtrl::SetItemBkColour(int row, int col, GridColour colour) {
    return m_model.SetItemBkColour(row, col, colour);
}

bool CGridCtrl::SetItemFgColour(int row, int col, GridColour colour) {
    return m_model.SetItemFgColour(row, col, colour);
}

bool CGridCtrl::SetItemFont(int row, int col, const QFont& font) {
    return m_model.SetItemFont(row, col, font);
}

bool CGridCtrl::SetItemData(int row, int col, qintptr lParam) {
    return m_model.SetItemData(row, col, lParam);
}

void CGridCtrl::SetModified(bool modified, int row, int col) {
    m_model.SetModified(modified, row, col);
}

bool CGridCtrl::IsCellEditable(int row, int col) const {
    return m_model.IsCellEditable(m_editable, row, col);
}

// The focus mark stays: the cell is still the focus cell and keeps its frame.
void CGridCtrl::EmptyCell(int row, int col) {
    if (!IsValid(row, col)) return;
    m_model.SetItemState(row, col, GetItemState(row, col) & GVIS_FOCUSED);
    m_model.SetItemText(row, col, QString());
}

// ---------------------------------------------------------------- sizes and sorting

int CGridCtrl::GetFixedRowHeight() const {
    return ClampToInt(m_model.GetFixedRowHeight());
}

int CGridCtrl::GetFixedColumnWidth() const {
    return ClampToInt(m_model.GetFixedColumnWidth());
}

QSize CGridCtrl::GetCellExtent(int row, int col) const {
    return m_model.GetCellExtent(row, col, *m_metrics, GetItemText(row, col));
}

// Sizing goes through the virtual GetCellExtent, so grids that supply their own texts or
// extents are sized by them.
CellExtentFn CGridCtrl::CellExtents() const {
    return [this](int r, int c) { return GetCellExtent(r, c); };
}

bool CGridCtrl::AutoSizeColumn(int col) {
    if (!m_model.AutoSizeColumn(col, CellExtents())) return false;
    ResetScrollBars();
    return true;
}

bool CGridCtrl::AutoSizeRow(int row) {
    if (!m_model.AutoSizeRow(row, CellExtents())) return false;
    ResetScrollBars();
    return true;
}

void CGridCtrl::AutoSizeColumns() {
    for (int c = 0; c < GetColumnCount(); ++c) AutoSizeColumn(c);
}

void CGridCtrl::AutoSize() {
    m_model.AutoSize(CellExtents());
    if (m_allowDraw) {
        ResetScrollBars();
        RequestRepaint();
    }
}

bool CGridCtrl::SortTextItems(int col, bool ascending) {
    ClearSelection();
    SetFocusCell(-1, -1);
    return SortTextItems(col, ascending, GetFixedRowCount(), -1);
}

bool CGridCtrl::SortTextItems(int col, bool ascending, int low, int high) {
    WaitCursor wait;
    return m_model.SortTextItems(col, ascending, low, high,
                                 [this](int r, int c) { return GetItemText(r, c); });
}

// ---------------------------------------------------------------- geometry

bool CGridCtrl::GetCellOrigin(int row, int col, QPoint& origin) const {
    return Layout().GetCellOrigin(row, col, origin);
}

bool CGridCtrl::GetCellRect(int row, int col, QRect& rect) const {
    return Layout().GetCellRect(row, col, rect);
}

CCellID CGridCtrl::HitTestCell(const QPoint& point, bool allowFixed) const {
    return Layout().HitTestCell(point, allowFixed);
}

CCellRange CGridCtrl::GetVisibleScrollRange(QRect* rect) const {
    return Layout().GetVisibleScrollRange(rect);
}

bool CGridCtrl::IsCellVisible(int row, int col) const {
    return Layout().IsCellVisible(row, col);
}

void CGridCtrl::EnsureVisible(int row, int col) {
    GridScrollRanges ranges;
    ranges.hMax = horizontalScrollBar()->maximum();
    ranges.vMax = verticalScrollBar()->maximum();
    const QPoint p = Layout().EnsureVisible(row, col, ranges);
    SetScrollPositions(p.x(), p.y());
}

// ---------------------------------------------------------------- scrolling

void CGridCtrl::SetScrollPositions(int x, int y) {
    horizontalScrollBar()->setValue(x);
    verticalScrollBar()->setValue(y);
}

void CGridCtrl::ScrollBy(Qt::Orientation orientation, GridScroll step) {
    QScrollBar* bar = orientation == Qt::Horizontal ? horizontalScrollBar() : verticalScrollBar();
    bar->setValue(Layout().Scrolled(orientation, step, bar->maximum()));
}

// Scroll bar clicks move by whole rows and columns, as the keyboard does; only the thumb
// moves freely.
void CGridCtrl::OnScrollAction(Qt::Orientation orientation, int action) {
    if (!hasFocus()) setFocus(Qt::OtherFocusReason);
    GridScroll step;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            step = GridScroll::LineBack;
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            step = GridScroll::LineForward;
            break;
        case QAbstractSlider::SliderPageStepSub:
            step = GridScroll::PageBack;
            break;
        case QAbstractSlider::SliderPageStepAdd:
            step = GridScroll::PageForward;
            break;
        case QAbstractSlider::SliderToMinimum:
            step = GridScroll::ToStart;
            break;
        case QAbstractSlider::SliderToMaximum:
            step = GridScroll::ToEnd;
            break;
        default:
            return;
    }
    QScrollBar* bar = orientation == Qt::Horizontal ? horizontalScrollBar() : verticalScrollBar();
    // The bar still holds the old value here; its tentative new one is replaced.
    bar->setSliderPosition(Layout().Scrolled(orientation, step, bar->maximum()));
}

void CGridCtrl::scrollContentsBy(int, int) {
    EndEditForScroll();
    RequestRepaint();
}

// Scrolling or resizing moves cells from under an open editor; the grid takes the focus
// back, which ends the edit.
void CGridCtrl::EndEditForScroll() {
    if (m_editor && m_editor->hasFocus()) setFocus(Qt::OtherFocusReason);
}

void CGridCtrl::ResetScrollBars() {
    if (!m_allowDraw) return;
    // Showing or hiding a bar resizes the viewport, which changes the ranges again.
    for (int pass = 0; pass < 3; ++pass) {
        const QSize before = viewport()->size();
        GridScrollRanges ranges;
        if (!Layout().ComputeScrollRanges(ranges)) return;
        verticalScrollBar()->setPageStep(std::max(1, ranges.vPage));
        horizontalScrollBar()->setPageStep(std::max(1, ranges.hPage));
        verticalScrollBar()->setRange(0, ranges.vMax);
        horizontalScrollBar()->setRange(0, ranges.hMax);
        if (viewport()->size() == before) return;
    }
}

void CGridCtrl::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    // Showing or hiding a scroll bar resizes the viewport, which comes back here.
    if (m_inResize) return;
    m_inResize = true;
    EndEditForScroll();
    ResetScrollBars();
    m_inResize = false;
}

// ---------------------------------------------------------------- redrawing

bool CGridCtrl::InvalidateCellRect(const CCellID& cell) {
    if (!m_allowDraw) {
        m_model.DamageRow(cell.row);  // repainted when drawing resumes
        return false;
    }
    QRect rect;
    if (!Layout().GetCellRect(cell.row, cell.col, rect)) return false;
    // Visible as in IsCellVisible: it starts inside the client area.
    if (rect.x() >= viewport()->width() || rect.y() >= viewport()->height()) return false;
    viewport()->update(rect.adjusted(0, 0, 1, 1));
    return true;
}

bool CGridCtrl::RedrawCell(int row, int col) {
    return InvalidateCellRect(CCellID(row, col));
}

bool CGridCtrl::RedrawRow(int row) {
    bool all = true;
    for (int c = 0; c < GetColumnCount(); ++c) all = RedrawCell(row, c) && all;
    return all && GetColumnCount() > 0;
}

void CGridCtrl::SetRedraw(bool allow, bool resetScrollBars) {
    const bool resuming = allow && !m_allowDraw;
    if (!allow && m_allowDraw) {
        // From here on the screen keeps what it shows; what changes is noted, so that only
        // that is repainted when drawing resumes.
        m_model.ClearDamage();
        m_repaintAll = false;
    }
    m_allowDraw = allow;
    if (!allow) return;
    if (resetScrollBars) ResetScrollBars();
    if (resuming && !m_repaintAll)
        RepaintDamage();
    else
        viewport()->update();
}

void CGridCtrl::RepaintDamage() {
    const int from = m_model.RowsDamagedFrom();
    // A change that is not a row's, or one in the headings, may show anywhere.
    bool all = m_model.EverythingDamaged() || from <= GetFixedRowCount();
    for (int r = 0; r < GetFixedRowCount() && !all; ++r) all = m_model.RowDamaged(r);
    if (all) {
        viewport()->update();
        return;
    }
    const int width = viewport()->width();
    const int height = viewport()->height();
    const CCellRange vis = Layout().GetVisibleScrollRange();
    const GridSizeList& heights = m_model.RowHeights();
    int top = GetFixedRowHeight();
    if (vis.minRow < 0) {
        // No scrollable row is shown: only rows that came or went change the picture.
        if (from != INT_MAX) viewport()->update(0, top, width, height - top);
        return;
    }
    // The rows whose cells changed, and from the row before the first one that came or went
    // (the last row when rows were taken away) down to the bottom.
    QRegion damage;
    for (int r = vis.minRow; r <= vis.maxRow && r < GetRowCount() && top < height; ++r) {
        const int rh = heights.Get(r);
        if (r >= from - 1) {
            damage += QRect(0, top, width, height - top);
            break;
        }
        if (m_model.RowDamaged(r)) damage += QRect(0, top, width, rh + 1);
        top += rh;
    }
    if (!damage.isEmpty()) viewport()->update(damage);
}

// ---------------------------------------------------------------- appearance

void CGridCtrl::SetImageList(const QList<QPixmap>& images) {
    m_images = images;
    QList<QSize> sizes;
    sizes.reserve(images.size());
    for (const QPixmap& p : images) sizes.append(p.size());
    m_model.SetImageSizes(sizes);
    RequestRepaint();
}

void CGridCtrl::SetGridLines(int mode) {
    m_gridLines = mode;
    RequestRepaint();
}

void CGridCtrl::SetBkColor(GridColour colour) {
    m_bkColour = colour;
    RequestRepaint();
}

void CGridCtrl::SetTextColor(GridColour colour) {
    m_textColour = colour;
    RequestRepaint();
}

void CGridCtrl::SetFixedBkColor(GridColour colour) {
    m_fixedBkColour = colour;
    RequestRepaint();
}

void CGridCtrl::SetFixedTextColor(GridColour colour) {
    m_fixedTextColour = colour;
    RequestRepaint();
}

void CGridCtrl::SetGridColor(GridColour colour) {
    m_gridColour = colour;
    RequestRepaint();
}

void CGridCtrl::SetShadowColor(GridColour colour) {
    m_shadowColour = colour;
    RequestRepaint();
}

void CGridCtrl::SetListMode(bool listMode) {
    m_listMode = listMode;
}

void CGridCtrl::EnableSelection(bool enable) {
    ClearSelection();
    m_enableSelection = enable;
    ClearSelection();
}

void CGridCtrl::SetGridFont(const QFont& font) {
    m_applyingFont = true;
    setFont(font);
    m_applyingFont = false;
    ApplyFont(font);
}

void CGridCtrl::ApplyFont(const QFont& font) {
    m_model.SetFont(font, *m_metrics);
    RequestRepaint();
}

void CGridCtrl::SetTextMetrics(std::unique_ptr<GridTextMetrics> metrics) {
    if (!metrics) return;
    m_metrics = std::move(metrics);
    ApplyFont(m_model.GetDefaultFont());
}

QColor CGridCtrl::Colour(GridColour c) const {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

// Colours still at their system default follow a change of the system colours; colours
// the owner chose stay.
void CGridCtrl::AdoptSystemColours(bool initial) {
    const QPalette pal = palette();
    const GridColour text = ToGridColour(pal.color(QPalette::WindowText));
    const GridColour window = ToGridColour(pal.color(QPalette::Base));
    const GridColour face = ToGridColour(pal.color(QPalette::Button));
    const GridColour shadow = ToGridColour(pal.color(QPalette::Dark));
    if (initial || m_textColour == m_sysText) m_textColour = text;
    if (initial || m_bkColour == m_sysWindow) m_bkColour = window;
    if (initial || m_shadowColour == m_sysShadow) m_shadowColour = shadow;
    if (initial || m_fixedTextColour == m_sysText) m_fixedTextColour = text;
    if (initial || m_fixedBkColour == m_sysFace) m_fixedBkColour = face;
    m_sysText = text;
    m_sysWindow = window;
    m_sysFace = face;
    m_sysShadow = shadow;
}

void CGridCtrl::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        AdoptSystemColours(false);
        RequestRepaint();
    } else if (event->type() == QEvent::FontChange && !m_applyingFont) {
        ApplyFont(font());
    }
}

// ---------------------------------------------------------------- overlays

void CGridCtrl::ShowOverlay(int row, int col, GridColour bk, GridColour fg, int durationMs,
                            int delayMs) {
    if (!IsValid(row, col) || durationMs <= 0) return;
    const qint64 now = Now();
    const qint64 start = now + std::max(0, delayMs);
    m_overlays.Add(row, col, {bk, fg}, start, start + durationMs);
    if (start <= now) InvalidateCellRect(CCellID(row, col));
    ScheduleOverlayTimer(now);
}

void CGridCtrl::ClearOverlays() {
    if (!m_overlays.IsEmpty()) RequestRepaint();
    m_overlays.Clear();
    m_overlayTimer.stop();
}

// The timer is re-armed only when the next change comes earlier than planned, so that
// flashing thousands of cells in a row stays cheap.
void CGridCtrl::ScheduleOverlayTimer(qint64 now) {
    const std::optional<qint64> next = m_overlays.NextChange();
    if (!next) {
        m_overlayTimer.stop();
        return;
    }
    if (m_overlayTimer.isActive() && m_overlayDue <= *next) return;
    m_overlayDue = *next;
    m_overlayTimer.start(int(std::clamp<qint64>(*next - now, 0, INT_MAX)));
}

void CGridCtrl::OnOverlayTimer() {
    const qint64 now = Now();
    for (const CCellID& cell : m_overlays.Advance(now)) InvalidateCellRect(cell);
    m_overlayTimer.stop();
    ScheduleOverlayTimer(now);
}

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
    if (!IsValid(range)) return;
    for (int r = range.minRow; r <= range.maxRow; ++r) {
        for (int c = range.minCol; c <= range.maxCol; ++c) {
            const quint32 state = GetItemState(r, c);
            if (state & GVIS_SELECTED) continue;
            m_model.SetItemState(r, c, state | GVIS_SELECTED);
            InvalidateCellRect(CCellID(r, c));
        }
    }
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

// ---------------------------------------------------------------- painting

void CGridCtrl::paintEvent(QPaintEvent* event) {
    if (!m_allowDraw) {
        // The screen keeps the old picture (the viewport paints opaquely); all of it is
        // painted again when drawing resumes.
        m_repaintAll = true;
        return;
    }
    QPainter painter(viewport());
    m_paintNow = Now();
    // Rect by rect: rows repainted far apart cost no more than those rows.
    for (const QRect& rect : event->region()) OnDraw(painter, rect);
    if (m_bandShown) {
        // The resize tracking band inverts what lies under it.
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.fillRect(TrackingBandRect(), Qt::white);
    }
}

void CGridCtrl::PaintEmptyArea(QPainter& p, const QRect& clip, const QRect& cells) {
    // K: the area being painted, V: the area the cells cover, both with exclusive edges.
    const int kl = clip.left(), kt = clip.top(), kr = clip.left() + clip.width(),
              kb = clip.top() + clip.height();
    const int vr = cells.width(), vb = cells.height();
    const int w = GetFixedColumnWidth(), h = GetFixedRowHeight();
    const QColor fixedBk = Colour(m_fixedBkColour);
    if (kl < w && kt < vb) p.fillRect(Ltrb(kl, kt, w, vb), fixedBk);
    if (kt < h && w < kr && kl < vr) p.fillRect(Ltrb(w - 1, kt, vr, h), fixedBk);
    const QRect body = Ltrb(std::max(kl, w), std::max(kt, h), std::min(kr, vr), std::min(kb, vb));
    if (!body.isEmpty()) p.fillRect(body, Colour(m_bkColour));
    const QColor shadow = Colour(m_shadowColour);
    if (vr < kr) p.fillRect(Ltrb(vr, kt, kr, kb), shadow);
    if (vb < kb && kl < vr) p.fillRect(Ltrb(kl, vb, vr, kb), shadow);
}

void CGridCtrl::OnDraw(QPainter& p, const QRect& clip) {
    if (clip.isEmpty()) return;
    QRect visibleRect;
    const CCellRange vis = Layout().GetVisibleScrollRange(&visibleRect);
    PaintEmptyArea(p, clip, visibleRect);

    const GridSizeList& widths = m_model.ColumnWidths();
    const GridSizeList& heights = m_model.RowHeights();
    const int fixedRows = GetFixedRowCount(), fixedCols = GetFixedColumnCount();
    const int w = GetFixedColumnWidth(), h = GetFixedRowHeight();
    const int clipTop = clip.top(), clipBottom = clip.bottom();
    const int clipLeft = clip.left(), clipRight = clip.right();

    // The corner of fixed rows and columns.
    for (int r = 0, top = 0; r < fixedRows; top += heights.Get(r), ++r)
        for (int c = 0, left = 0; c < fixedCols; left += widths.Get(c), ++c)
            DrawFixedCell(p, r, c, QRect(left, top, widths.Get(c), heights.Get(r)), false);

    // Walks rows [r0, r1] from y0 and columns [c0, c1] from x0, drawing those in the clip.
    auto drawBlock = [&](int r0, int r1, int y0, int c0, int c1, int x0, bool fixed) {
        int top = y0;
        for (int r = r0; r <= r1 && r < GetRowCount(); ++r) {
            const int rh = heights.Get(r);
            if (top > clipBottom) break;
            if (top + rh - 1 < clipTop) {
                top += rh;
                continue;
            }
            int left = x0;
            for (int c = c0; c <= c1 && c < GetColumnCount(); ++c) {
                const int cw = widths.Get(c);
                if (left > clipRight) break;
                if (left + cw - 1 >= clipLeft) {
                    const QRect rect(left, top, cw, rh);
                    if (fixed)
                        DrawFixedCell(p, r, c, rect, false);
                    else
                        DrawCell(p, r, c, rect, false);
                }
                left += cw;
            }
            top += rh;
        }
    };
    if (vis.minRow >= 0 && vis.maxRow >= vis.minRow)
        drawBlock(vis.minRow, vis.maxRow, h, 0, fixedCols - 1, 0, true);
    if (vis.minCol >= 0 && vis.maxCol >= vis.minCol)
        drawBlock(0, fixedRows - 1, 0, vis.minCol, vis.maxCol, w, true);
    if (vis.IsValid()) drawBlock(vis.minRow, vis.maxRow, h, vis.minCol, vis.maxCol, w, false);

    // Grid lines between the scrollable cells; fixed cells have their own borders.
    if (!vis.IsValid() || m_gridLines <= 0) return;
    p.setPen(QPen(Colour(m_gridColour), 0));
    if (m_gridLines == 2 || m_gridLines == 3) {
        int x = w;
        for (int c = vis.minCol; c <= vis.maxCol; ++c) {
            x += widths.Get(c);
            p.drawLine(x - 1, h, x - 1, visibleRect.height() - 1);
        }
    }
    if (m_gridLines == 1 || m_gridLines == 3) {
        int y = h;
        for (int r = vis.minRow; r <= vis.maxRow; ++r) {
            y += heights.Get(r);
            p.drawLine(w, y - 1, visibleRect.width() - 1, y - 1);
        }
    }
    p.setPen(Qt::NoPen);
}

void CGridCtrl::DrawCellText(QPainter& p, const QRect& rect, quint32 format, const QString& text,
                             const QFont& font) {
    if (text.isEmpty() || rect.isEmpty()) return;
    int flags = HorizontalAlignment(format).toInt();
    if (format & DT_SINGLELINE) {
        flags |= Qt::TextSingleLine;
        if (format & DT_VCENTER)
            flags |= Qt::AlignVCenter;
        else if (format & DT_BOTTOM)
            flags |= Qt::AlignBottom;
        else
            flags |= Qt::AlignTop;
    } else {
        flags |= Qt::AlignTop;
        if (format & DT_WORDBREAK) flags |= Qt::TextWordWrap;
    }
    if (!(format & DT_NOPREFIX)) flags |= Qt::TextShowMnemonic;
    if (format & DT_NOCLIP) flags |= Qt::TextDontClip;
    const QFont drawn = m_printing ? PrintedFont(font) : font;
    if (!(p.font() == drawn)) p.setFont(drawn);
    p.drawText(rect, flags, text);
}

bool CGridCtrl::DrawFixedCell(QPainter& p, int row, int col, const QRect& cellRect, bool) {
    if (!m_allowDraw) return false;
    const CGridCell* cell = m_model.GetCell(row, col);
    if (!cell) return false;
    // Paper shows the stored colours: the flashes and blinks are only for the screen.
    const std::optional<GridOverlays::Colours> overlay =
        m_printing ? std::nullopt : m_overlays.At(row, col, m_paintNow);
    GridColour bk = overlay ? overlay->bk : cell->bkClr;
    GridColour fg = overlay ? overlay->fg : cell->fgClr;
    if (bk == kGridDefaultColour) bk = m_fixedBkColour;
    if (fg == kGridDefaultColour) fg = m_fixedTextColour;
    if (!m_printing) p.fillRect(cellRect, Colour(bk));

    QFont font = cell->font;
    const bool focusValid = IsValid(m_focusCell);
    const bool heading = focusValid && (row == m_focusCell.row || col == m_focusCell.col);
    if (heading) font.setWeight(QFont::DemiBold);

    // l, t: the cell's first pixel column and row; r, b: its last.
    int l = cellRect.left(), t = cellRect.top();
    int r = cellRect.left() + cellRect.width() - 1, b = cellRect.top() + cellRect.height() - 1;
    const QPalette& pal = palette();
    if (!heading) {
        // Raised: light top and left edges, dark right and bottom edges.
        p.setPen(QPen(pal.color(QPalette::Light), 0));
        p.drawLine(l, t, r - 1, t);
        p.drawLine(l, t, l, b - 1);
        p.setPen(QPen(pal.color(QPalette::Shadow), 0));
        p.drawLine(r, t, r, b);
        p.drawLine(l + 1, b, r, b);
        l += 1, t += 1, r -= 1, b -= 1;
    } else {
        // Sunken: the heading of the focus cell's row or column.
        p.setPen(QPen(pal.color(QPalette::Shadow), 0));
        p.drawLine(l, t, r, t);
        p.drawLine(l, t, l, b);
        p.setPen(QPen(pal.color(QPalette::Midlight), 0));
        p.drawLine(r, t + 1, r, b);
        p.drawLine(l + 1, b, r, b);
        l += 1, t += 1;  // the rectangle grew by one at right and bottom, then shrank by one
    }
    const int margin = GetMargin();
    l += margin;
    r -= margin;
    if (cell->image >= 0 && cell->image < m_images.size()) {
        const QPixmap& image = m_images[cell->image];
        p.drawPixmap(l, t, image);
        l += margin + image.width() + 1;
    }
    p.setPen(Colour(fg));
    DrawCellText(p, Ltrb(l, t, r, b), cell->format, GetItemText(row, col), font);
    return true;
}

bool CGridCtrl::DrawCell(QPainter& p, int row, int col, const QRect& cellRect, bool) {
    if (!m_allowDraw) return false;
    const CGridCell* cell = m_model.GetCell(row, col);
    if (!cell) return false;
    const std::optional<GridOverlays::Colours> overlay =
        m_printing ? std::nullopt : m_overlays.At(row, col, m_paintNow);
    GridColour bkValue = overlay ? overlay->bk : cell->bkClr;
    GridColour fgValue = overlay ? overlay->fg : cell->fgClr;
    const QColor bk = Colour(bkValue == kGridDefaultColour ? m_bkColour : bkValue);
    QColor fg = Colour(fgValue == kGridDefaultColour ? m_textColour : fgValue);

    int l = cellRect.left(), t = cellRect.top();
    int r = cellRect.left() + cellRect.width() - 1, b = cellRect.top() + cellRect.height() - 1;
    // The fill covers the whole cell; the grid lines drawn later take its last row and column.
    // Paper shows neither focus nor selection nor drop highlighting.
    if (m_printing) {
        p.fillRect(cellRect, bk);
    } else if (cell->state & GVIS_FOCUSED) {
        p.fillRect(cellRect, bk);
        p.setPen(QPen(Qt::black, 0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(l, t, r - 1 - l, b - 1 - t);
        l += 1, t += 1, r -= 1, b -= 1;
    } else if ((cell->state & GVIS_SELECTED) && !overlay) {
        p.fillRect(cellRect, palette().color(QPalette::Highlight));
        fg = palette().color(QPalette::HighlightedText);
    } else {
        p.fillRect(cellRect, bk);
    }
    if ((cell->state & GVIS_DROPHILITED) && !m_printing) {
        p.setPen(QPen(Qt::black, 0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(l, t, r - 1 - l, b - 1 - t);
    }
    const int margin = GetMargin();
    l += margin;
    r -= margin;
    if (cell->image >= 0 && cell->image < m_images.size()) {
        const QPixmap& image = m_images[cell->image];
        p.drawPixmap(l, t, image);
        l += margin + image.width() + 1;
    }
    p.setPen(fg);
    DrawCellText(p, Ltrb(l, t, r, b), cell->format, GetItemText(row, col), cell->font);
    return true;
}

// ---------------------------------------------------------------- mouse

// The pointer over a divider shows the resize arrows and arms a resize.
void CGridCtrl::UpdateHover(const QPoint& point) {
    const GridLayout layout = Layout();
    if (m_allowColResize && layout.IsOnDivider(Qt::Horizontal, point, m_resizeCaptureRange)) {
        if (m_mouseMode != MOUSE_OVER_COL_DIVIDE) {
            viewport()->setCursor(Qt::SizeHorCursor);
            m_mouseMode = MOUSE_OVER_COL_DIVIDE;
        }
    } else if (m_allowRowResize && layout.IsOnDivider(Qt::Vertical, point, m_resizeCaptureRange)) {
        if (m_mouseMode != MOUSE_OVER_ROW_DIVIDE) {
            viewport()->setCursor(Qt::SizeVerCursor);
            m_mouseMode = MOUSE_OVER_ROW_DIVIDE;
        }
    } else if (m_mouseMode != MOUSE_NOTHING) {
        viewport()->setCursor(Qt::ArrowCursor);
        m_mouseMode = MOUSE_NOTHING;
    }
}

// While a divider is dragged the pointer counts as held inside the client area and right
// of (or below) the edge of the column (row) being sized, so a size never turns negative.
QPoint CGridCtrl::Confined(const QPoint& point) const {
    const int right = std::max(0, viewport()->width() - 1);
    const int bottom = std::max(0, viewport()->height() - 1);
    QPoint p(std::clamp(point.x(), 0, right), std::clamp(point.y(), 0, bottom));
    if (m_mouseMode == MOUSE_SIZING_COL)
        p.setX(std::clamp(point.x(), std::min(m_sizingOrigin, right), right));
    if (m_mouseMode == MOUSE_SIZING_ROW)
        p.setY(std::clamp(point.y(), std::min(m_sizingOrigin, bottom), bottom));
    return p;
}

QRect CGridCtrl::TrackingBandRect() const {
    if (m_mouseMode == MOUSE_SIZING_ROW) return QRect(0, m_bandPoint.y(), viewport()->width(), 2);
    return QRect(m_bandPoint.x(), 0, 2, viewport()->height());
}

void CGridCtrl::MoveTrackingBand(const QPoint& point) {
    if (m_bandShown) viewport()->update(TrackingBandRect());
    m_bandPoint = point;
    m_bandShown = true;
    viewport()->update(TrackingBandRect());
}

void CGridCtrl::HideTrackingBand() {
    if (!m_bandShown) return;
    viewport()->update(TrackingBandRect());
    m_bandShown = false;
}

void CGridCtrl::LeftButtonDown(const QPoint& point, Qt::KeyboardModifiers modifiers) {
    m_leftClickDownPoint = point;
    m_leftClickDownCell = HitTestCell(point, true);
    if (!IsValid(m_leftClickDownCell)) return;
    m_selectionStartCell = (modifiers & Qt::ShiftModifier) ? m_focusCell : m_leftClickDownCell;
    setFocus(Qt::MouseFocusReason);  // ends an edit in progress

    if (m_leftClickDownCell == m_focusCell) {
        m_mouseMode = MOUSE_PREPARE_EDIT;
        return;
    }
    if (m_mouseMode != MOUSE_OVER_COL_DIVIDE && m_mouseMode != MOUSE_OVER_ROW_DIVIDE) {
        SetFocusCell(-1, -1);
        SetFocusCell(std::max(m_leftClickDownCell.row, GetFixedRowCount()),
                     std::max(m_leftClickDownCell.col, GetFixedColumnCount()));
    }
    // A press without a move before it (a touch, a synthesised click) can still be on a divider.
    if (m_mouseMode == MOUSE_NOTHING) UpdateHover(point);

    if (m_mouseMode == MOUSE_OVER_COL_DIVIDE) {
        m_mouseMode = MOUSE_SIZING_COL;
        int col = m_leftClickDownCell.col;
        QPoint start;
        GetCellOrigin(0, col, start);
        // Just right of a column's left edge the divider belongs to the column before it.
        QPoint previous;
        if (point.x() - start.x() <= m_resizeCaptureRange && col > 0 &&
            GetCellOrigin(0, col - 1, previous)) {
            --col;
            start = previous;
        }
        m_sizingIndex = col;
        m_sizingOrigin = start.x();
        MoveTrackingBand(Confined(point));
    } else if (m_mouseMode == MOUSE_OVER_ROW_DIVIDE) {
        m_mouseMode = MOUSE_SIZING_ROW;
        int row = m_leftClickDownCell.row;
        QPoint start;
        GetCellOrigin(row, 0, start);
        QPoint previous;
        if (point.y() - start.y() <= m_resizeCaptureRange && row > 0 &&
            GetCellOrigin(row - 1, 0, previous)) {
            --row;
            start = previous;
        }
        m_sizingIndex = row;
        m_sizingOrigin = start.y();
        MoveTrackingBand(Confined(point));
    } else {
        m_prevSelection.clear();
        if (modifiers & Qt::ControlModifier) m_prevSelection = m_model.GetSelectedCells();
        if (m_leftClickDownCell.row < GetFixedRowCount()) {
            OnHeadingRowClick(m_leftClickDownCell);
        } else if (m_leftClickDownCell.col < GetFixedColumnCount()) {
            OnHeadingColumnClick(m_leftClickDownCell);
        } else {
            m_mouseMode = m_listMode ? MOUSE_SELECT_ROW : MOUSE_SELECT_CELLS;
            ExtendSelection(m_leftClickDownCell);
        }
        m_autoScrollTimer.start(25, this);
    }
    m_lastMousePoint = point;
}

void CGridCtrl::LeftButtonUp(const QPoint& point) {
    StopAutoScroll();
    if (m_mouseMode == MOUSE_PREPARE_EDIT) {
        BeginCellEdit(m_focusCell.row, m_focusCell.col, kEditByMouse);
    } else if (m_mouseMode == MOUSE_SIZING_COL || m_mouseMode == MOUSE_SIZING_ROW) {
        HideTrackingBand();
        if (point != m_leftClickDownPoint) {
            const QPoint p = Confined(point);
            if (m_mouseMode == MOUSE_SIZING_COL)
                SetColumnWidth(m_sizingIndex, p.x() - m_sizingOrigin);
            else
                SetRowHeight(m_sizingIndex, p.y() - m_sizingOrigin);
            ResetScrollBars();
            RequestRepaint();
        }
    }
    m_mouseMode = MOUSE_NOTHING;
    viewport()->setCursor(Qt::ArrowCursor);
    if (IsValid(m_leftClickDownCell))
        QMetaObject::invokeMethod(
            this, [this] { emit Command(); }, Qt::QueuedConnection);
    // As after any release, the pointer may rest on a divider again (a double click there
    // auto-sizes).
    UpdateHover(point);
}

void CGridCtrl::EndDragByRightButton() {
    StopAutoScroll();
    HideTrackingBand();
    m_mouseMode = MOUSE_NOTHING;
    viewport()->setCursor(Qt::ArrowCursor);
    NotifyOwner(m_focusCell.row, m_focusCell.col, NM_RCLICK);
}

void CGridCtrl::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        LeftButtonDown(point, event->modifiers());
    } else if (event->button() == Qt::RightButton) {
        if ((event->buttons() & Qt::LeftButton) && m_mouseMode != MOUSE_NOTHING) {
            EndDragByRightButton();  // the right button during a left drag ends it
        } else {
            // A right click moves focus and selection like a left click, then tells the owner.
            LeftButtonDown(point, event->modifiers());
            LeftButtonUp(point);
            m_mouseMode = MOUSE_NOTHING;
            NotifyOwner(m_focusCell.row, m_focusCell.col, NM_RCLICK);
        }
    }
    event->accept();
}

void CGridCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) LeftButtonUp(event->position().toPoint());
    event->accept();
}

void CGridCtrl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if ((event->buttons() & Qt::LeftButton) && m_mouseMode != MOUSE_NOTHING &&
        IsValid(m_leftClickDownCell)) {
        if (event->buttons() & Qt::RightButton) {
            EndDragByRightButton();
        } else {
            switch (m_mouseMode) {
                case MOUSE_SELECT_COL:
                case MOUSE_SELECT_ROW:
                case MOUSE_SELECT_CELLS: {
                    const CCellID cell = HitTestCell(point, true);
                    if (IsValid(cell) && cell != m_focusCell) {
                        ExtendSelection(cell);
                        if (!IsCellFixed(cell.row, cell.col)) SetFocusCell(cell);
                    }
                    break;
                }
                case MOUSE_SIZING_ROW:
                case MOUSE_SIZING_COL:
                    MoveTrackingBand(Confined(point));
                    break;
                default:
                    break;
            }
        }
    } else {
        UpdateHover(point);
    }
    m_lastMousePoint = point;
    event->accept();
}

void CGridCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint point = event->position().toPoint();
    if (m_mouseMode == MOUSE_OVER_COL_DIVIDE || m_mouseMode == MOUSE_OVER_ROW_DIVIDE) {
        const bool cols = m_mouseMode == MOUSE_OVER_COL_DIVIDE;
        const CCellID cell = HitTestCell(point, true);
        QPoint start;
        if (GetCellOrigin(cell.row, cell.col, start)) {
            if (cols)
                AutoSizeColumn(point.x() - start.x() <= m_resizeCaptureRange ? cell.col - 1
                                                                             : cell.col);
            else
                AutoSizeRow(point.y() - start.y() <= m_resizeCaptureRange ? cell.row - 1
                                                                          : cell.row);
            RequestRepaint();
        }
    } else if (m_mouseMode == MOUSE_NOTHING) {
        if (IsValid(m_leftClickDownCell) &&
            !IsCellFixed(m_leftClickDownCell.row, m_leftClickDownCell.col)) {
            BeginCellEdit(m_focusCell.row, m_focusCell.col, kEditByMouse);
        } else if (m_listMode) {
            const CCellID cell = HitTestCell(point, true);
            if (IsValid(cell) && cell.row >= GetFixedRowCount() && cell.col < GetFixedColumnCount())
                BeginCellEdit(cell.row, cell.col, kEditByMouse);
        }
    }
    event->accept();
}

void CGridCtrl::OnHeadingRowClick(const CCellID& cell) {
    if (!m_listMode) {
        m_mouseMode = cell.col < GetFixedColumnCount() ? MOUSE_SELECT_ALL : MOUSE_SELECT_COL;
        ExtendSelection(cell);
        return;
    }
    if (!m_sortOnClick) return;
    WaitCursor wait;
    if (cell.col == m_sortColumn) {
        m_sortAscending = !m_sortAscending;
    } else {
        m_sortColumn = cell.col;
        m_sortAscending = true;
    }
    SortTextItems(m_sortColumn, m_sortAscending);
    RequestRepaint();
}

void CGridCtrl::OnHeadingColumnClick(const CCellID& cell) {
    m_mouseMode = cell.row < GetFixedRowCount() ? MOUSE_SELECT_ALL : MOUSE_SELECT_ROW;
    ExtendSelection(cell);
}

// Dragging a selection out of the window keeps scrolling towards the pointer.
void CGridCtrl::OnAutoScroll() {
    if (TimersHeld()) return;
    const QPoint pt = m_lastMousePoint;
    const int right = viewport()->width(), bottom = viewport()->height();
    const int w = GetFixedColumnWidth(), h = GetFixedRowHeight();
    if (pt.y() > bottom || pt.y() < h) {
        const bool down = pt.y() > bottom;
        HandleKey(down ? Qt::Key_Down : Qt::Key_Up, Qt::NoModifier);
        const int y = down ? bottom : h + 1;
        ExtendSelection(HitTestCell(QPoint(std::clamp(pt.x(), 0, right), y), true));
    }
    int x;
    if (pt.x() > right) {
        HandleKey(Qt::Key_Right, Qt::NoModifier);
        x = right;
    } else if (pt.x() < w) {
        HandleKey(Qt::Key_Left, Qt::NoModifier);
        x = w + 1;
    } else {
        return;
    }
    ExtendSelection(HitTestCell(QPoint(x, std::clamp(pt.y(), 0, bottom)), true));
}

void CGridCtrl::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_autoScrollTimer.timerId())
        OnAutoScroll();
    else
        QAbstractScrollArea::timerEvent(event);
}

// Each notch scrolls the user's number of lines (whole rows), after the wheel event.
void CGridCtrl::wheelEvent(QWheelEvent* event) {
    m_wheelRemainder += event->angleDelta().y();
    const int lines = QApplication::wheelScrollLines();
    int steps;
    GridScroll up, down;
    if (lines < 0) {
        steps = m_wheelRemainder / 120;
        m_wheelRemainder -= steps * 120;
        up = GridScroll::PageBack;
        down = GridScroll::PageForward;
    } else {
        steps = m_wheelRemainder * lines / 120;
        if (lines > 0)
            m_wheelRemainder -= steps * 120 / lines;
        else
            m_wheelRemainder = 0;
        up = GridScroll::LineBack;
        down = GridScroll::LineForward;
    }
    const GridScroll step = steps > 0 ? up : down;
    for (int i = 0; i < std::abs(steps); ++i)
        QMetaObject::invokeMethod(
            this, [this, step] { ScrollBy(Qt::Vertical, step); }, Qt::QueuedConnection);
    event->accept();
}

// ---------------------------------------------------------------- keyboard

bool CGridCtrl::event(QEvent* event) {
    // The grid takes Tab for itself (moving between cells) unless told not to.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) && m_handleTabKey &&
            !(key->modifiers() & Qt::ControlModifier)) {
            keyPressEvent(key);
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void CGridCtrl::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (IsValid(m_focusCell) && (mods & Qt::ControlModifier)) {
        switch (event->key()) {
            case Qt::Key_A:
                OnEditSelectAll();
                break;
            case Qt::Key_C:
                OnEditCopy();
                break;
            case Qt::Key_V:
                OnEditPaste();
                break;
            case Qt::Key_X:
                OnEditCut();
                break;
            default:
                break;
        }
    }
    if (HandleKey(event->key(), mods)) {
        event->accept();
        return;
    }
    // A typed character opens the editor on the focus cell, starting with that character.
    const QString text = event->text();
    if (!(mods & (Qt::ControlModifier | Qt::AltModifier)) && m_mouseMode == MOUSE_NOTHING &&
        !text.isEmpty()) {
        int firstKey = 0;
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            firstKey = kEditByEnter;
        else if (event->key() == Qt::Key_Backspace)
            firstKey = kEditByBackspace;
        else if (text.at(0).isPrint())
            firstKey = int(text.toUcs4().value(0));
        if (firstKey != 0) {
            BeginCellEdit(m_focusCell.row, m_focusCell.col, firstKey);
            if (m_editor) {
                event->accept();
                return;
            }
        }
    }
    event->ignore();
}

bool CGridCtrl::HandleKey(int key, Qt::KeyboardModifiers modifiers) {
    if (!IsValid(m_focusCell)) return false;
    const int rows = GetRowCount(), cols = GetColumnCount();
    const int fixedRows = GetFixedRowCount(), fixedCols = GetFixedColumnCount();
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool backTab = key == Qt::Key_Backtab || (key == Qt::Key_Tab && shift);
    CCellID next = m_focusCell;
    bool wrapped = false;
    if (key == Qt::Key_Tab && !backTab) {
        if (next.col < cols - 1) {
            ++next.col;
        } else if (next.row < rows - 1) {
            next.col = fixedCols;
            ++next.row;
            wrapped = true;
        } else {
            return true;  // the last cell: nothing to move to
        }
    } else if (backTab) {
        if (next.col > fixedCols) {
            --next.col;
        } else if (next.row > fixedRows) {
            --next.row;
            next.col = cols - 1;
            wrapped = true;
        } else {
            return true;
        }
    } else {
        switch (key) {
            case Qt::Key_PageUp:
            case Qt::Key_PageDown: {
                const bool up = key == Qt::Key_PageUp;
                const int before = GetTopLeftScrollCell().row;
                ScrollBy(Qt::Vertical, up ? GridScroll::PageBack : GridScroll::PageForward);
                const int moved = GetTopLeftScrollCell().row - before;
                if (moved != 0)
                    next.row = std::clamp(next.row + moved, fixedRows, rows - 1);
                else
                    next.row = up ? fixedRows : rows - 1;
                break;
            }
            case Qt::Key_End:
                ScrollBy(Qt::Vertical, GridScroll::ToEnd);
                next.row = rows - 1;
                break;
            case Qt::Key_Home:
                ScrollBy(Qt::Vertical, GridScroll::ToStart);
                next.row = fixedRows;
                break;
            case Qt::Key_Left:
                if (next.col > fixedCols) --next.col;
                break;
            case Qt::Key_Right:
                if (next.col < cols - 1) ++next.col;
                break;
            case Qt::Key_Up:
                if (next.row > fixedRows) --next.row;
                break;
            case Qt::Key_Down:
                if (next.row < rows - 1) ++next.row;
                break;
            case Qt::Key_Delete:
                if (IsCellEditable(m_focusCell)) {
                    const CCellID cell = m_focusCell;
                    NotifyOwner(cell.row, cell.col, GVN_BEGINLABELEDIT);
                    SetItemText(cell.row, cell.col, QString());
                    SetModified(true, cell.row, cell.col);
                    NotifyOwner(cell.row, cell.col, GVN_ENDLABELEDIT);
                    RedrawCell(cell);
                }
                break;
            default:
                return false;
        }
    }
    if (next == m_focusCell) return true;

    if (m_mouseMode == MOUSE_NOTHING) {
        m_prevSelection.clear();
        m_mouseMode = m_listMode ? MOUSE_SELECT_ROW : MOUSE_SELECT_CELLS;
        if (!shift || key == Qt::Key_Tab || key == Qt::Key_Backtab) m_selectionStartCell = next;
        ExtendSelection(next);
        m_mouseMode = MOUSE_NOTHING;
    }
    SetFocusCell(next);
    if (IsCellVisible(next)) return true;

    EnsureVisible(next);
    if (key == Qt::Key_Tab && !backTab) {
        if (wrapped) {
            ScrollBy(Qt::Vertical, GridScroll::LineForward);
            horizontalScrollBar()->setValue(0);
        } else {
            ScrollBy(Qt::Horizontal, GridScroll::LineForward);
        }
    } else if (backTab) {
        if (wrapped) {
            ScrollBy(Qt::Vertical, GridScroll::LineBack);
            horizontalScrollBar()->setValue(horizontalScrollBar()->maximum());
        } else {
            ScrollBy(Qt::Horizontal, GridScroll::LineBack);
        }
    } else if (key == Qt::Key_Left) {
        ScrollBy(Qt::Horizontal, GridScroll::LineBack);
    } else if (key == Qt::Key_Right) {
        ScrollBy(Qt::Horizontal, GridScroll::LineForward);
    } else if (key == Qt::Key_Up) {
        ScrollBy(Qt::Vertical, GridScroll::LineBack);
    } else if (key == Qt::Key_Down) {
        ScrollBy(Qt::Vertical, GridScroll::LineForward);
    }
    RequestRepaint();
    return true;
}

// ---------------------------------------------------------------- clipboard

std::optional<QString> CGridCtrl::BuildClipboardText() const {
    const CCellRange range = GetSelectionBounds();
    if (!IsValid(range)) return std::nullopt;
    QString text;
    for (int r = range.minRow; r <= range.maxRow; ++r) {
        for (int c = range.minCol; c <= range.maxCol; ++c) {
            if (GetItemState(r, c) & GVIS_SELECTED) {
                const QString cell = GetItemText(r, c);
                text += cell.isEmpty() ? QStringLiteral(" ") : cell;
            }
            if (c != range.maxCol) text += QLatin1Char('\t');
        }
        if (r != range.maxRow) text += QLatin1Char('\n');
    }
    return text;
}

void CGridCtrl::OnEditCopy() {
    if (const std::optional<QString> text = BuildClipboardText())
        QApplication::clipboard()->setText(*text);
}

void CGridCtrl::OnEditCut() {
    if (!m_editable) return;
    OnEditCopy();
    ClearSelectedCells();
}

void CGridCtrl::ClearSelectedCells() {
    for (const CCellID& cell : m_model.GetSelectedCells()) {
        if (!IsCellEditable(cell)) continue;
        NotifyOwner(cell.row, cell.col, GVN_BEGINLABELEDIT);
        EmptyCell(cell.row, cell.col);
        SetModified(true, cell.row, cell.col);
        NotifyOwner(cell.row, cell.col, GVN_ENDLABELEDIT);
    }
    RequestRepaint();
}

void CGridCtrl::OnEditPaste() {
    if (!m_editable) return;
    CCellID target = m_focusCell;
    if (!IsValid(target)) target = CCellID(GetFixedRowCount(), GetFixedColumnCount());
    if (!IsValid(target)) return;
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data || !data->hasText()) return;
    PasteClipboardText(target.row, target.col, data->text());
}

void CGridCtrl::OnEditSelectAll() {
    SelectAllCells();
}

bool CGridCtrl::PasteClipboardText(int row, int col, const QString& text) {
    if (!IsCellEditable(row, col)) return false;
    const QList<QStringList> rows = GridModel::SplitPasteText(text);
    for (qsizetype j = 0; j < rows.size(); ++j) {
        const QStringList& cells = rows[j];
        for (qsizetype k = 0; k < cells.size(); ++k) {
            const int r = row + int(j), c = col + int(k);
            if (!IsCellEditable(r, c)) continue;
            NotifyOwner(r, c, GVN_BEGINLABELEDIT);
            SetItemText(r, c, cells[k]);
            SetModified(true, r, c);
            m_model.SetItemState(r, c, GetItemState(r, c) & ~GVIS_SELECTED);
            NotifyOwner(r, c, GVN_ENDLABELEDIT);
        }
    }
    RequestRepaint();
    return true;
}

// The model drops the selection of cells that go away, so any selected cell is there.
bool CGridCtrl::CanCopy() const {
    return GetSelectedCount() > 0;
}

bool CGridCtrl::CanCut() const {
    return m_editable && CanCopy();
}

bool CGridCtrl::CanPaste() const {
    if (!IsCellEditable(m_focusCell)) return false;
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && data->hasText();
}

// ---------------------------------------------------------------- in-place editing

void CGridCtrl::BeginCellEdit(int row, int col, int firstKey) {
    EnsureVisible(row, col);
    if (!IsCellEditable(row, col) || !IsCellVisible(row, col)) return;
    QRect rect;
    if (!GetCellRect(row, col, rect)) return;
    NotifyOwner(row, col, GVN_BEGINLABELEDIT);
    CreateCellEditor(rect, HorizontalAlignment(GetItemFormat(row, col)), row, col,
                     GetItemText(row, col), firstKey);
}

CInPlaceEdit* CGridCtrl::GetInPlaceEdit() const {
    return m_editor.data();
}

void CGridCtrl::CreateCellEditor(const QRect& rect, Qt::Alignment alignment, int row, int col,
                                 const QString& text, int firstKey) {
    m_editor = new CInPlaceEdit(this, viewport(), GetGridFont(), rect, alignment, row, col, text,
                                firstKey);
    connect(m_editor, &CInPlaceEdit::EditEnded, this, &CGridCtrl::EditorFinished);
}

void CGridCtrl::AcceptCellEdit(int row, int col, const QString& text) {
    if (!IsValid(row, col) || text == GetItemText(row, col)) return;
    SetModified(true, row, col);
    SetItemText(row, col, text);
}

void CGridCtrl::EditorFinished(int row, int col, const QString& text, int lastKey) {
    AcceptCellEdit(row, col, text);
    InvalidateCellRect(CCellID(row, col));
    NotifyOwner(row, col, GVN_ENDLABELEDIT);
    switch (lastKey) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Left:
        case Qt::Key_Up:
        case Qt::Key_Right:
        case Qt::Key_Down:
            // Editing goes on in the cell the key leads to, once the focus change is over.
            QMetaObject::invokeMethod(
                this,
                [this, lastKey] {
                    HandleKey(lastKey, Qt::NoModifier);
                    BeginCellEdit(m_focusCell.row, m_focusCell.col, lastKey);
                },
                Qt::QueuedConnection);
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------- printing

namespace {

// The printer font: a 9-unit serif; where Times New Roman is missing the closest installed
// serif stands in.
QFont MakePrinterFont() {
    QFont font(QStringLiteral("Times New Roman"));
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(9);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

// The sample the average character width is measured on: the first 52 of its characters.
constexpr char kWidthSample[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSATUVWXYZ";
constexpr int kWidthSampleLength = 52;

// The locale's representation of the local date and time.
QString LocalDateTimeText() {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);  // one thread: the shared result is safe
    if (!local) return QString();
    char text[128];
    const size_t n = std::strftime(text, sizeof text, "%c", local);
    return QString::fromLocal8Bit(text, qsizetype(n));
}

}  // namespace

void CGridCtrl::SetPrintServices(Prompter* prompter, PrinterChooser* chooser) {
    m_prompter = prompter;
    m_printerChooser = chooser;
}

Prompter& CGridCtrl::PrintPrompter() {
    if (m_prompter) return *m_prompter;
    if (!m_ownPrompter) m_ownPrompter = std::make_unique<MessageBoxPrompter>(window());
    return *m_ownPrompter;
}

bool CGridCtrl::PrinterSetup() {
    if (!m_printerChooser && !m_ownPrinterChooser)
        m_ownPrinterChooser = std::make_unique<DialogPrinterChooser>();
    return m_printerDef.PrinterSetup(m_printerChooser ? *m_printerChooser : *m_ownPrinterChooser,
                                     window());
}

QString CGridCtrl::PrintTitle() const {
    return m_title.isEmpty() ? QGuiApplication::applicationDisplayName() : m_title;
}

bool CGridCtrl::Print() {
    if (!m_printerDef.HasDevNames() || !m_printerDef.HasDevMode()) {
        if (!PrinterSetup()) return false;
    }
    QPrinter printer(QPrinter::HighResolution);
    m_printerDef.Configure(printer);
    printer.setDocName(PrintTitle());
    const QString where = printer.outputFormat() == QPrinter::PdfFormat
                              ? printer.outputFileName()
                              : m_printerDef.GetDeviceName();
    bool started = false;
    if (PrintJob(printer, false, &started)) return true;
    if (!started) {
        QApplication::beep();
        PrintPrompter().Warning(
            QStringLiteral("Failed to start printing on \"%1\". Nothing was printed.").arg(where));
    } else {
        PrintPrompter().Warning(
            QStringLiteral("Printing on \"%1\" failed. The job was abandoned.").arg(where));
    }
    return false;
}

bool CGridCtrl::PrintJob(QPrinter& printer, bool preview, bool* started) {
    if (started) *started = false;
    QPainter dc;
    if (!printer.isValid() || !dc.begin(&printer)) return false;
    if (started) *started = true;

    CPrintInfo info;
    info.preview = preview;
    info.drawRect = QRect(0, 0, printer.width(), printer.height());
    OnBeginPrinting(dc, info);
    // A device that cannot make copies itself gets them one after another.
    const int copies =
        preview || printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    bool ok = true;
    bool firstPage = true;
    for (int copy = 0; ok && copy < copies; ++copy) {
        for (int page = info.minPage; page <= info.maxPage; ++page) {
            if (!firstPage && !printer.newPage()) {
                ok = false;
                break;
            }
            firstPage = false;
            info.currentPage = page;
            OnPrint(dc, info);
        }
    }
    OnEndPrinting(dc, info);
    if (!ok) {
        printer.abort();
        dc.end();
        return false;
    }
    return dc.end() && printer.printerState() != QPrinter::Error;
}

void CGridCtrl::OnBeginPrinting(QPainter& dc, CPrintInfo& info) {
    if (!dc.isActive()) return;
    m_printerFont = MakePrinterFont();
    const QFontMetrics fm(m_printerFont, dc.device());
    m_printMetrics.charWidth =
        fm.horizontalAdvance(QString::fromLatin1(kWidthSample, kWidthSampleLength)) /
        kWidthSampleLength;
    m_printMetrics.charHeight = fm.height();
    m_printMetrics.pageWidth = dc.device()->width();
    m_printMetrics.pageHeight = dc.device()->height();
    // An empty matrix still prints one page: the header, the headings and the footer.
    m_printLayout.emplace(m_model.RowHeights(), GetFixedRowCount(), GetTotalWidth(),
                          GetFixedRowHeight(), m_printMetrics);
    info.minPage = 1;
    info.maxPage = m_printLayout->PageCount();
    info.currentPage = 1;
}

void CGridCtrl::OnPrint(QPainter& dc, CPrintInfo& info) {
    if (!dc.isActive() || !m_printLayout) return;
    const GridPrintLayout& pages = *m_printLayout;
    if (info.currentPage < 1 || info.currentPage > pages.PageCount()) return;
    const GridPrintLayout::Rows rows = pages.RowsOfPage(info.currentPage);
    const QScopedValueRollback<bool> printing(m_printing, true);
    const int cw = m_printMetrics.charWidth, ch = m_printMetrics.charHeight;
    const int lw = pages.LogicalWidth(), lh = pages.LogicalHeight();
    const int left = 4 * cw, width = lw - 8 * cw;

    dc.save();
    dc.setFont(m_printerFont);
    // One logical unit is one screen pixel of the grid, scaled so the grid fits the width.
    dc.setWindow(0, 0, lw, lh);
    dc.setViewport(0, 0, m_printMetrics.pageWidth, m_printMetrics.pageHeight);
    const auto originAt = [&dc](int x, int y) {
        dc.setWorldTransform(QTransform::fromTranslate(x, y));
    };

    originAt(left, 0);
    info.drawRect = QRect(0, 0, width, 2 * ch);
    PrintHeader(dc, info);

    int top = 3 * ch;  // the header and a gap of one line
    originAt(left, top);
    info.drawRect = QRect(0, 0, width, GetFixedRowHeight());
    PrintColumnHeadings(dc, info);
    top += GetFixedRowHeight();

    originAt(left, top);
    dc.setFont(m_printerFont);
    PrintRowBand(dc, rows.first, rows.end, false);

    originAt(left, lh - 2 * ch);
    info.drawRect = QRect(0, 0, width, 2 * ch);
    PrintFooter(dc, info);
    dc.restore();
}

void CGridCtrl::OnEndPrinting(QPainter&, CPrintInfo&) {
    m_printLayout.reset();
    m_printerFont = QFont();
}

void CGridCtrl::PrintHeader(QPainter& dc, CPrintInfo& info) {
    QFont bold = m_printerFont;
    bold.setWeight(QFont::Bold);
    dc.setFont(bold);
    dc.setPen(Qt::black);
    dc.setBackgroundMode(Qt::TransparentMode);
    const QRect& r = info.drawRect;
    dc.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, PrintTitle());
    dc.setPen(QPen(Qt::black, 0));
    dc.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
}

void CGridCtrl::PrintColumnHeadings(QPainter& dc, CPrintInfo&) {
    dc.setFont(m_printerFont);
    PrintRowBand(dc, 0, GetFixedRowCount(), true);
}

void CGridCtrl::PrintFooter(QPainter& dc, CPrintInfo& info) {
    QRect r = info.drawRect;
    dc.setPen(QPen(Qt::black, 0));
    dc.drawLine(r.left(), r.top(), r.right(), r.top());
    QFont bold = m_printerFont;
    bold.setWeight(QFont::Bold);
    dc.setFont(bold);
    dc.setBackgroundMode(Qt::TransparentMode);
    r.translate(0, m_printMetrics.charHeight / 2);
    const int flags = Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip;
    dc.drawText(r, flags | Qt::AlignLeft,
                QString::asprintf("Page %d of %d", info.currentPage, info.maxPage));
    dc.drawText(r, flags | Qt::AlignRight, LocalDateTimeText());
}

void CGridCtrl::PrintRowBand(QPainter& dc, int first, int end, bool headings) {
    const GridSizeList& widths = m_model.ColumnWidths();
    const GridSizeList& heights = m_model.RowHeights();
    const bool horizontal = m_gridLines == 1 || m_gridLines == 3;
    const bool vertical = m_gridLines == 2 || m_gridLines == 3;
    const QPen linePen(Qt::black, 0);
    int top = 0;
    for (int row = first; row < end; ++row) {
        const int h = heights.Get(row);
        const int bottom = top + h - 1;
        int left = 0;
        for (int col = 0; col < GetColumnCount(); ++col) {
            const int w = widths.Get(col);
            const QRect rect(left, top, w, h);
            if (headings)
                DrawFixedCell(dc, row, col, rect, false);
            else
                DrawCell(dc, row, col, rect, false);
            const int right = left + w - 1;
            dc.setPen(linePen);
            if (horizontal) {
                dc.drawLine(col == 0 ? left : left - 1, bottom, right, bottom);
                if (row == 0) dc.drawLine(col == 0 ? left : left - 1, top, right, top);
            }
            if (vertical) {
                dc.drawLine(right, row == first ? top : top - 1, right, bottom);
                if (col == 0) dc.drawLine(left, row == first ? top : top - 1, left, bottom);
            }
            left += w;
        }
        top += h;
    }
}

QFont CGridCtrl::PrintedFont(const QFont& font) const {
    if (font.pixelSize() > 0) return font;
    QFont f = font;
    f.setPixelSize(std::max(1, qRound(font.pointSizeF() * logicalDpiY() / 72.0)));
    return f;
}

void CGridCtrl::PrintPreview() {
    if (m_previewActive && m_preview) {
        m_preview->Activate();
        return;
    }
    m_previewActive = true;
    m_preview = new CViewPrintPreview(m_printerDef, GetTitle(), window());
    connect(m_preview, &CViewPrintPreview::PagesRequested, this,
            [this](QPrinter* printer) { PrintJob(*printer, true); });
    connect(m_preview, &CViewPrintPreview::PreviewEnded, this, &CGridCtrl::OnPreviewEnded);
    connect(m_preview, &CViewPrintPreview::PrintRequested, this, [this] {
        if (isSignalConnected(QMetaMethod::fromSignal(&CGridCtrl::PrintRequested)))
            emit PrintRequested();
        else
            Print();
    });
    m_preview->StartPreview();
}

CViewPrintPreview* CGridCtrl::Preview() const {
    return m_preview;
}

void CGridCtrl::OnPreviewEnded() {
    m_previewActive = false;
    emit PrintPreviewClosed();
}
