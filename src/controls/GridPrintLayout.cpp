#include "controls/GridPrintLayout.h"

#include <algorithm>
#include <cstdlib>

#include "controls/GridLayout.h"
#include "controls/GridSizeList.h"

namespace {

// a * b / c rounded to the nearest, halves away from zero; 0 when c is 0.
qint64 MulDiv(qint64 a, qint64 b, qint64 c) {
    if (c == 0) return 0;
    const qint64 p = a * b;
    const bool negative = (p < 0) != (c < 0);
    const qint64 q = (std::abs(p) * 2 + std::abs(c)) / (std::abs(c) * 2);
    return negative ? -q : q;
}

}  // namespace

GridPrintLayout::GridPrintLayout(const GridSizeList& rowHeights, int fixedRows, qint64 totalWidth,
                                 int fixedRowHeight, const GridPrintMetrics& metrics)
    : m_heights(rowHeights), m_rowCount(rowHeights.Count()) {
    const int cw = metrics.charWidth, ch = metrics.charHeight;
    m_logicalWidth = ClampToInt(totalWidth + 8 * qint64(cw));
    m_logicalHeight = ClampToInt(MulDiv(m_logicalWidth, metrics.pageHeight, metrics.pageWidth));
    m_rowSpace = m_logicalHeight - 6 * ch - fixedRowHeight;

    const int first = std::clamp(fixedRows, 0, m_rowCount);
    m_pageStarts.push_back(first);
    qint64 sum = 0;
    for (int r = first; r < m_rowCount; ++r) {
        const int h = m_heights.Get(r);
        sum += h;
        if (sum > m_rowSpace) {
            m_pageStarts.push_back(r);
            sum = h;
        }
    }
}

GridPrintLayout::Rows GridPrintLayout::RowsOfPage(int page) const {
    if (page < 1 || page > PageCount()) return {};
    const int first = m_pageStarts[size_t(page - 1)];
    const int end = page < PageCount() ? m_pageStarts[size_t(page)] : m_rowCount;
    // The only page whose rows overflow the row space is one holding a single row that is
    // taller than the space by itself: it prints nothing.
    if (end - first == 1 && m_heights.Get(first) > m_rowSpace) return {first, first};
    return {first, end};
}
