#include "controls/GridCtrl.h"

#include <QResizeEvent>
#include <QScrollBar>

#include "controls/InPlaceEdit.h"

// CGridCtrl: where cells are on the viewport, and scrolling by whole rows and columns.

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
