#include "controls/GridCtrl.h"

#include <QApplication>
#include <QEvent>
#include <QPalette>
#include <QScrollBar>

#include "controls/FontTextMetrics.h"
#include "controls/GridAccessible.h"
#include "controls/InPlaceEdit.h"
#include "controls/ViewPrintPreview.h"
#include "platform/PrinterChooser.h"
#include "platform/Prompter.h"
#include "platform/WaitCursor.h"

// CGridCtrl: construction, structure, cells, sizes, sorting and appearance. The other
// concerns live beside it: GridCtrlScroll (geometry and scrolling), GridCtrlPaint
// (redrawing, transient colours, painting), GridCtrlSelection, GridCtrlInput (mouse and
// keyboard), GridCtrlEdit (clipboard and in-place editing), GridCtrlPrint.

namespace {

GridColour ToGridColour(const QColor& c) {
    return GridRgb(c.red(), c.green(), c.blue());
}

}  // namespace

CGridCtrl::CGridCtrl(int rows, int cols, int fixedRows, int fixedCols, QWidget* parent)
    : QAbstractScrollArea(parent), m_metrics(std::make_unique<FontTextMetrics>()) {
    m_model.SetObserver(this);
    GridAccessible::Install();
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
        GridAccessible::RowCountChanged(*this, oldRows);
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
        GridAccessible::Reset(*this);
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
    if (m_allowDraw) GridAccessible::Reset(*this);
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
    if (m_allowDraw) GridAccessible::Reset(*this);
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
