#pragma once

#include <QHash>
#include <QList>
#include <map>
#include <optional>
#include <vector>

#include "controls/GridTypes.h"

// Temporary colours shown over cells for a while (a new entry's flash, a blink), kept
// apart from the cells' stored colours so that they end on their own and never leave a
// cell recoloured. Times are milliseconds on any steady clock the caller chooses.
class GridOverlays {
public:
    struct Colours {
        GridColour bk = kGridDefaultColour;
        GridColour fg = kGridDefaultColour;
    };

    // Shows `colours` on the cell from `start` (inclusive) to `end` (exclusive).
    void Add(int row, int col, Colours colours, qint64 start, qint64 end);
    // The overlay showing at `now`; where several overlap, the one added last.
    std::optional<Colours> At(int row, int col, qint64 now) const;
    // Whether the cell has an overlay showing or still to come.
    bool Has(int row, int col) const { return m_cells.contains(GridCellKey(row, col)); }
    bool IsEmpty() const { return m_cells.isEmpty(); }

    // Cells whose look changed since the last call (an overlay began or ended at or
    // before `now`); drops the overlays that are over.
    QList<CCellID> Advance(qint64 now);
    // When the next overlay begins or ends, if any does.
    std::optional<qint64> NextChange() const;

    // Drops every overlay, or those outside a grid of rows x cols.
    void Clear();
    void Prune(int rows, int cols);

private:
    struct Entry {
        Colours colours;
        qint64 start;
        qint64 end;
    };

    QHash<quint64, std::vector<Entry>> m_cells;
    std::multimap<qint64, quint64> m_changes;  // time -> cell key
};
