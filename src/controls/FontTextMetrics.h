#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QString>
#include <vector>

#include "controls/GridTextMetrics.h"

// Text measuring with the real fonts. Shaping text is the costly part of sizing a large
// grid, and its texts repeat (user and machine names), so measured widths are kept per font
// for the few fonts in use.
class FontTextMetrics : public GridTextMetrics {
public:
    GridFontMeasures Measure(const QFont& font) const override;
    QSize TextExtent(const QFont& font, const QString& text) const override;

private:
    struct FontCache {
        QFont font;
        QFontMetrics metrics;
        QHash<QString, int> widths;
    };
    FontCache& CacheFor(const QFont& font) const;
    int LineWidth(FontCache& cache, const QString& line) const;

    mutable std::vector<FontCache> m_caches;  // most recently used first
};
