#pragma once

#include <QPoint>
#include <QRect>
#include <Qt>
#include <algorithm>
#include <limits>

#include "controls/GridModel.h"
#include "controls/GridTypes.h"

// Sizes add up in 64 bits; client pixels are ints.
inline int ClampToInt(qint64 v) {
    return int(
        std::clamp<qint64>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// What the grid's geometry depends on besides the model: the client size and the two
// scroll positions (pixel offsets of the scrollable area).
struct GridViewport {
    int width = 0;
    int height = 0;
    int scrollX = 0;
    int scrollY = 0;
};

// Scroll bar settings for a model shown in a viewport.
struct GridScrollRanges {
    int hMax = 0;  // largest horizontal position
    int vMax = 0;
    int hPage = 0;  // scrollable client width
    int vPage = 0;
};

// One step of a scroll bar.
enum class GridScroll { LineBack, LineForward, PageBack, PageForward, ToStart, ToEnd };

// Maps cells to client pixels and back for a model in a viewport, without a window. Fixed
// rows and columns stay put; the scrollable cells start at the first whole row and column
// at or after the scroll position. Rectangles are QRects, whose right() and bottom() are
// the last pixel of the cell. Lookups are binary searches over running sums, so nothing
// here walks all rows.
class GridLayout {
public:
    GridLayout(const GridModel& model, const GridViewport& viewport)
        : m_model(model), m_vp(viewport) {}

    // The first scrollable cell shown: positions inside a row or column round up to the
    // next boundary.
    CCellID GetTopLeftScrollCell() const;
    // Top-left pixel of a cell; false for a cell that does not exist or is scrolled out.
    bool GetCellOrigin(int row, int col, QPoint& origin) const;
    bool GetCellRect(int row, int col, QRect& rect) const;
    // The cell under a point, -1 in each member that misses.
    CCellID HitTestCell(const QPoint& point, bool allowFixed) const;
    // Scrollable cells shown, partly shown ones included. `rect`, when given, receives the
    // area they and the fixed cells cover, from (0, 0).
    CCellRange GetVisibleScrollRange(QRect* rect = nullptr) const;
    // The same without a last row or column that runs past the client edge.
    CCellRange GetFullyVisibleScrollRange() const;
    // Partly visible cells count.
    bool IsCellVisible(int row, int col) const;
    // Whether `point` is within `reach` pixels of a divider that sizes a column (Horizontal,
    // in the heading rows) or a row (Vertical, in the heading columns): the far edge of the
    // cell under it, or its near edge unless that is the grid's very first edge.
    bool IsOnDivider(Qt::Orientation orientation, const QPoint& point, int reach) const;

    // Scroll bar ranges; false when the bars should keep their state (no room to scroll
    // in, or no scrollable cell fully shown).
    bool ComputeScrollRanges(GridScrollRanges& ranges) const;
    // The position after one scroll step; line steps move by whole rows or columns.
    int Scrolled(Qt::Orientation orientation, GridScroll step, int maximum) const;
    // Scroll positions after bringing a cell into view by line steps.
    QPoint EnsureVisible(int row, int col, const GridScrollRanges& ranges) const;

private:
    const GridModel& m_model;
    GridViewport m_vp;
};
