#pragma once

#include <QString>
#include <functional>

#include "controls/GridTypes.h"
#include "debuglog/WatchedSession.h"

// Which items of the row menu ("Vantrace ..." and "Send Message to this User...") may be
// chosen after the last right-click.
struct RowMenuState {
    bool vantrace = false;
    bool sendMessage = false;
    bool operator==(const RowMenuState&) const = default;
};

// What the window knows when the right button is clicked on the matrix.
struct RightClick {
    int row = -1;  // the clicked cell; (-1, -1) or a cell past the grid: outside the cells
    int col = -1;
    int rowCount = 0;  // the grid's rows, the heading row included
    // The text of any cell, the headings in row 0; empty outside the grid.
    std::function<QString(int row, int col)> cellText;
    bool traceActive = false;
    QString watchedKey;      // the pid debug logging watches, empty when none
    WatchedSession watched;  // the session chosen before
};

struct RightClickOutcome {
    RowMenuState menu;
    CCellID position;        // the watched entry position to remember
    WatchedSession watched;  // the chosen session afterwards
    bool clearWatchedKey = false;
};

// A click on a UserId or Machine cell chooses that cell's session and enables both items,
// unless the session is a failure entry. Any other cell chooses nothing and enables nothing.
// While debug logging watches one session, only that session may be chosen for it. A click
// beside the cells of an empty matrix chooses every client for debug logging.
RightClickOutcome RightClickOnCell(const RightClick& click);
