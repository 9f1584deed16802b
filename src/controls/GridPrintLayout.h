#pragma once

#include <QRect>
#include <QtGlobal>
#include <vector>

class GridSizeList;
class QPrinter;

// One print job's page state, handed to the grid's print hooks: the page being printed,
// the page range, and the rectangle the page part draws into.
struct CPrintInfo {
    int currentPage = 1;
    int minPage = 1;
    int maxPage = 1;
    QRect drawRect;
    bool preview = false;
};

// What a page's layout depends on besides the rows: the printer font's average character
// width and height, and the printable page in printer pixels.
struct GridPrintMetrics {
    int charWidth = 0;   // cw
    int charHeight = 0;  // ch
    int pageWidth = 0;
    int pageHeight = 0;
};

// Splits a grid's scrollable rows into printed pages, without a printer. A page is laid out
// in logical units of one screen pixel: the grid's whole width plus four average characters
// of margin on either side is mapped onto the page width, and what remains of the page
// height below the header, the headings and the footer is the row space. Rows go onto a page
// while their heights add up to no more than the row space; a row that alone is taller gets
// a page of its own on which it does not fit, so that page prints no rows.
class GridPrintLayout {
public:
    GridPrintLayout(const GridSizeList& rowHeights, int fixedRows, qint64 totalWidth,
                    int fixedRowHeight, const GridPrintMetrics& metrics);

    int LogicalWidth() const { return m_logicalWidth; }    // LW
    int LogicalHeight() const { return m_logicalHeight; }  // LH
    int RowSpace() const { return m_rowSpace; }            // S
    int PageCount() const { return int(m_pageStarts.size()); }

    // The rows printed on page `page` (1-based), [first, end); empty when none are.
    struct Rows {
        int first = 0;
        int end = 0;
    };
    Rows RowsOfPage(int page) const;

private:
    const GridSizeList& m_heights;
    int m_rowCount = 0;
    int m_logicalWidth = 0;
    int m_logicalHeight = 0;
    int m_rowSpace = 0;
    std::vector<int> m_pageStarts;  // first row of each page
};
