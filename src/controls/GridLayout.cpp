#include "controls/GridLayout.h"

#include <algorithm>

namespace {

// The first scrollable index whose start reaches `position`, at most the last index.
int FirstShown(const GridSizeList& sizes, int fixed, int count, int position) {
    if (fixed >= count - 1 || position <= 0) return fixed;
    const qint64 base = sizes.Offset(fixed);
    return sizes.FirstStartingAtOrAfter(fixed, count - 1, base + position);
}

// Index under offset `pos` of one axis, or -1.
int HitAxis(const GridSizeList& sizes, int fixed, int count, int topLeft, int pos,
            bool allowFixed) {
    if (pos < 0) return -1;
    const qint64 fixedSize = sizes.Offset(fixed);
    if (pos < fixedSize) {
        if (!allowFixed) return -1;
        return sizes.FirstEndingAfter(0, fixed, pos);
    }
    if (topLeft >= count) return -1;
    const qint64 limit = pos - fixedSize + sizes.Offset(topLeft);
    const int hit = sizes.FirstEndingAfter(topLeft, count, limit);
    return hit < count ? hit : -1;
}

struct AxisSpan {
    int last;       // last index shown
    qint64 end;     // running end, clipped to the client edge
    qint64 rawEnd;  // the same before clipping
};

// Shown part of one axis from `topLeft`, walking until the client edge is reached.
AxisSpan VisibleAxis(const GridSizeList& sizes, int fixed, int count, int topLeft, int client) {
    const qint64 fixedSize = sizes.Offset(fixed);
    if (topLeft >= count) return {count - 1, fixedSize, fixedSize};
    const qint64 limit = qint64(client) - fixedSize + sizes.Offset(topLeft);
    const int hit = sizes.FirstEndingAtOrAfter(topLeft, count, limit);
    if (hit < count) return {hit, client, fixedSize + sizes.Sum(topLeft, hit + 1)};
    const qint64 end = fixedSize + sizes.Sum(topLeft, count);
    return {count - 1, end, end};
}

}  // namespace

CCellID GridLayout::GetTopLeftScrollCell() const {
    const int col = FirstShown(m_model.ColumnWidths(), m_model.GetFixedColumnCount(),
                               m_model.GetColumnCount(), m_vp.scrollX);
    const int row = FirstShown(m_model.RowHeights(), m_model.GetFixedRowCount(),
                               m_model.GetRowCount(), m_vp.scrollY);
    return {row, col};
}

bool GridLayout::GetCellOrigin(int row, int col, QPoint& origin) const {
    if (!m_model.IsValid(row, col)) return false;
    const int fixedRows = m_model.GetFixedRowCount();
    const int fixedCols = m_model.GetFixedColumnCount();
    const GridSizeList& widths = m_model.ColumnWidths();
    const GridSizeList& heights = m_model.RowHeights();
    CCellID topLeft;
    if (row >= fixedRows || col >= fixedCols) {
        topLeft = GetTopLeftScrollCell();
        if (row >= fixedRows && row < topLeft.row) return false;
        if (col >= fixedCols && col < topLeft.col) return false;
    }
    const qint64 x = col < fixedCols ? widths.Offset(col)
                                     : widths.Offset(fixedCols) + widths.Sum(topLeft.col, col);
    const qint64 y = row < fixedRows ? heights.Offset(row)
                                     : heights.Offset(fixedRows) + heights.Sum(topLeft.row, row);
    origin = QPoint(ClampToInt(x), ClampToInt(y));
    return true;
}

bool GridLayout::GetCellRect(int row, int col, QRect& rect) const {
    QPoint origin;
    if (!GetCellOrigin(row, col, origin)) return false;
    rect = QRect(origin.x(), origin.y(), m_model.GetColumnWidth(col), m_model.GetRowHeight(row));
    return true;
}

CCellID GridLayout::HitTestCell(const QPoint& point, bool allowFixed) const {
    const CCellID topLeft = GetTopLeftScrollCell();
    const int col = HitAxis(m_model.ColumnWidths(), m_model.GetFixedColumnCount(),
                            m_model.GetColumnCount(), topLeft.col, point.x(), allowFixed);
    const int row = HitAxis(m_model.RowHeights(), m_model.GetFixedRowCount(), m_model.GetRowCount(),
                            topLeft.row, point.y(), allowFixed);
    return {row, col};
}

CCellRange GridLayout::GetVisibleScrollRange(QRect* rect) const {
    const CCellID topLeft = GetTopLeftScrollCell();
    const AxisSpan rows = VisibleAxis(m_model.RowHeights(), m_model.GetFixedRowCount(),
                                      m_model.GetRowCount(), topLeft.row, m_vp.height);
    const AxisSpan cols = VisibleAxis(m_model.ColumnWidths(), m_model.GetFixedColumnCount(),
                                      m_model.GetColumnCount(), topLeft.col, m_vp.width);
    if (rect) *rect = QRect(0, 0, ClampToInt(cols.end), ClampToInt(rows.end));
    return {topLeft.row, topLeft.col, rows.last, cols.last};
}

CCellRange GridLayout::GetFullyVisibleScrollRange() const {
    const CCellID topLeft = GetTopLeftScrollCell();
    const AxisSpan rows = VisibleAxis(m_model.RowHeights(), m_model.GetFixedRowCount(),
                                      m_model.GetRowCount(), topLeft.row, m_vp.height);
    const AxisSpan cols = VisibleAxis(m_model.ColumnWidths(), m_model.GetFixedColumnCount(),
                                      m_model.GetColumnCount(), topLeft.col, m_vp.width);
    CCellRange range(topLeft.row, topLeft.col, rows.last, cols.last);
    if (range.maxRow > 0 && rows.rawEnd > m_vp.height) --range.maxRow;
    if (range.maxCol > 0 && cols.rawEnd > m_vp.width) --range.maxCol;
    return range;
}

bool GridLayout::IsCellVisible(int row, int col) const {
    QPoint origin;
    if (!GetCellOrigin(row, col, origin)) return false;
    return origin.x() < m_vp.width && origin.y() < m_vp.height;
}

bool GridLayout::IsOnDivider(Qt::Orientation orientation, const QPoint& point, int reach) const {
    const bool columns = orientation == Qt::Horizontal;
    const int across = columns ? point.y() : point.x();
    const qint64 headings = columns ? m_model.GetFixedRowHeight() : m_model.GetFixedColumnWidth();
    if (across >= ClampToInt(headings)) return false;
    const CCellID cell = HitTestCell(point, true);
    QPoint start;
    if (!m_model.IsValid(cell) || !GetCellOrigin(cell.row, cell.col, start)) return false;
    const int index = columns ? cell.col : cell.row;
    const int size = columns ? m_model.GetColumnWidth(index) : m_model.GetRowHeight(index);
    const int pos = columns ? point.x() : point.y();
    const int begin = columns ? start.x() : start.y();
    return (pos - begin <= reach && index != 0) || (begin + size - pos <= reach);
}

bool GridLayout::ComputeScrollRanges(GridScrollRanges& ranges) const {
    const qint64 fixedW = m_model.GetFixedColumnWidth();
    const qint64 fixedH = m_model.GetFixedRowHeight();
    const qint64 pageW = m_vp.width - fixedW;
    const qint64 pageH = m_vp.height - fixedH;
    if (pageW <= 0 || pageH <= 0) return false;
    if (!m_model.IsValid(GetFullyVisibleScrollRange())) return false;
    const qint64 totalW = m_model.GetTotalWidth();
    const qint64 totalH = m_model.GetTotalHeight();
    ranges.hPage = ClampToInt(pageW);
    ranges.vPage = ClampToInt(pageH);
    ranges.hMax = pageW < totalW - fixedW ? ClampToInt(totalW - m_vp.width) : 0;
    ranges.vMax = pageH < totalH - fixedH ? ClampToInt(totalH - m_vp.height) : 0;
    return true;
}

int GridLayout::Scrolled(Qt::Orientation orientation, GridScroll step, int maximum) const {
    const bool horizontal = orientation == Qt::Horizontal;
    const int p = horizontal ? m_vp.scrollX : m_vp.scrollY;
    const GridSizeList& sizes = horizontal ? m_model.ColumnWidths() : m_model.RowHeights();
    const int fixed = horizontal ? m_model.GetFixedColumnCount() : m_model.GetFixedRowCount();
    const qint64 fixedSize = sizes.Offset(fixed);
    const int page = ClampToInt((horizontal ? m_vp.width : m_vp.height) - fixedSize);
    const CCellID topLeft = GetTopLeftScrollCell();
    const int first = horizontal ? topLeft.col : topLeft.row;
    qint64 next = p;
    switch (step) {
        case GridScroll::LineBack:
            if (p > 0 && first > fixed && first - 1 < sizes.Count())
                next = std::max<qint64>(0, qint64(p) - sizes.Get(first - 1));
            break;
        case GridScroll::LineForward:
            if (p < maximum && first < sizes.Count()) next = qint64(p) + sizes.Get(first);
            break;
        case GridScroll::PageBack:
            if (p > 0) next = std::max<qint64>(0, qint64(p) - page);
            break;
        case GridScroll::PageForward:
            if (p < maximum) next = std::min<qint64>(maximum, qint64(p) + page);
            break;
        case GridScroll::ToStart:
            if (p > 0) next = 0;
            break;
        case GridScroll::ToEnd:
            if (p < maximum) next = maximum;
            break;
    }
    return ClampToInt(std::clamp<qint64>(next, 0, std::max(maximum, 0)));
}

QPoint GridLayout::EnsureVisible(int row, int col, const GridScrollRanges& ranges) const {
    if (!m_model.IsValid(row, col)) return {m_vp.scrollX, m_vp.scrollY};
    const CCellRange shown = GetVisibleScrollRange();
    GridViewport vp = m_vp;
    auto step = [&](Qt::Orientation o, GridScroll s, int count) {
        for (int i = 0; i < count; ++i) {
            const GridLayout at(m_model, vp);
            const int max = o == Qt::Horizontal ? ranges.hMax : ranges.vMax;
            int& pos = o == Qt::Horizontal ? vp.scrollX : vp.scrollY;
            const int next = at.Scrolled(o, s, max);
            if (next == pos) break;  // nothing further to scroll
            pos = next;
        }
    };
    step(Qt::Horizontal, GridScroll::LineForward, col - shown.maxCol);
    step(Qt::Horizontal, GridScroll::LineBack, shown.minCol - col);
    step(Qt::Vertical, GridScroll::LineForward, row - shown.maxRow);
    step(Qt::Vertical, GridScroll::LineBack, shown.minRow - row);
    QRect rect;
    if (GridLayout(m_model, vp).GetCellRect(row, col, rect)) {
        if (rect.right() > vp.width) step(Qt::Horizontal, GridScroll::LineForward, 1);
        if (rect.bottom() > vp.height) step(Qt::Vertical, GridScroll::LineForward, 1);
    }
    return {vp.scrollX, vp.scrollY};
}
