#pragma once

#include <QStringList>
#include <algorithm>

#include "controls/GridTextMetrics.h"

// Text measured with round numbers: 7 pixels a character (8 when semi-bold or heavier),
// 13 pixels a line, a blank of 3 and 2 pixels of leading.
class FixedTextMetrics : public GridTextMetrics {
public:
    static int CharWidth(const QFont& font) { return font.weight() >= QFont::DemiBold ? 8 : 7; }

    GridFontMeasures Measure(const QFont& font) const override {
        return {3, 13, 2, CharWidth(font)};
    }
    QSize TextExtent(const QFont& font, const QString& text) const override {
        int width = 0;
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (const QString& line : lines)
            width = std::max(width, int(line.size()) * CharWidth(font));
        return QSize(width, int(lines.size()) * 13);
    }
};
