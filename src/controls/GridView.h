#pragma once

// What the writer of a GridModel may ask of the view that shows it, without knowing that the
// view is a widget: to scroll a cell into view, to keep the picture while it writes many
// cells, to repaint a row it wrote, to hold the view's own timers while it waits for a tool,
// and to drop the transient colours shown over cells it is about to write over. CGridCtrl
// is the one in the window; without a display there is none.
class GridView {
public:
    virtual ~GridView() = default;

    // Scrolls by whole rows and columns until the cell is shown.
    virtual void EnsureVisible(int row, int col) = 0;
    // Asks for a repaint of one row; false when drawing is off or it is not shown.
    virtual bool RedrawRow(int row) = 0;
    // With drawing off nothing is painted and the scroll bars are left alone; when it
    // resumes, only what changed meanwhile is repainted.
    virtual void SetRedraw(bool allow, bool resetScrollBars = false) = 0;
    virtual bool GetRedraw() const = 0;
    // While held (it nests) the view's own timers do nothing; transient colours keep their
    // timing.
    virtual void HoldTimers(bool hold) = 0;
    // Drops every transient colour shown over cells.
    virtual void ClearOverlays() = 0;
};
