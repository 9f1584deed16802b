#pragma once

#include <QFont>
#include <QSize>
#include <QString>

// The numbers the grid takes from a font when it adopts it.
struct GridFontMeasures {
    int spaceWidth = 0;       // advance of one blank: the cell margin
    int height = 0;           // character cell height
    int externalLeading = 0;  // extra space the font asks for between lines
    int averageCharWidth = 0;
};

// The one place where the grid measures text, so that its sizing arithmetic can run and
// be checked with fixed numbers instead of the fonts of the machine.
class GridTextMetrics {
public:
    virtual ~GridTextMetrics() = default;
    virtual GridFontMeasures Measure(const QFont& font) const = 0;
    // Size of `text` set in `font`: the widest line by the number of lines ('\n' separated).
    virtual QSize TextExtent(const QFont& font, const QString& text) const = 0;
};
