#pragma once

#include <QFont>
#include <QString>

#include "controls/GridTypes.h"

// One cell of the grid, fixed cells included. Cells are stored by value, row by row, so a
// grid of tens of thousands of cells stays a few allocations per row; the font is Qt's
// implicitly shared QFont, so a cell holding the grid font costs a reference, not a copy.
struct CGridCell {
    CGridCell() = default;
    // Made with the grid's font straight away: a default QFont would first ask the
    // application for its font, which costs more than the rest of the cell.
    explicit CGridCell(const QFont& cellFont) : font(cellFont) {}

    quint32 state = 0;
    quint32 format = 0;
    QString text;
    int image = -1;
    GridColour bkClr = kGridDefaultColour;
    GridColour fgClr = kGridDefaultColour;
    QFont font;
    qintptr lParam = 0;
};
