#include "controls/FontTextMetrics.h"

#include <algorithm>
#include <utility>

namespace {
constexpr size_t kMaxFonts = 4;
constexpr qsizetype kMaxWidthsPerFont = 100000;
}  // namespace

FontTextMetrics::FontCache& FontTextMetrics::CacheFor(const QFont& font) const {
    auto it = std::find_if(m_caches.begin(), m_caches.end(),
                           [&](const FontCache& c) { return c.font == font; });
    if (it == m_caches.begin() && it != m_caches.end()) return m_caches.front();
    if (it != m_caches.end()) {
        std::rotate(m_caches.begin(), it, it + 1);
        return m_caches.front();
    }
    if (m_caches.size() >= kMaxFonts) m_caches.pop_back();
    m_caches.insert(m_caches.begin(), FontCache{font, QFontMetrics(font), {}});
    return m_caches.front();
}

int FontTextMetrics::LineWidth(FontCache& cache, const QString& line) const {
    auto it = cache.widths.constFind(line);
    if (it != cache.widths.constEnd()) return *it;
    const int width = cache.metrics.horizontalAdvance(line);
    if (cache.widths.size() >= kMaxWidthsPerFont) cache.widths.clear();
    cache.widths.insert(line, width);
    return width;
}

GridFontMeasures FontTextMetrics::Measure(const QFont& font) const {
    const QFontMetrics& fm = CacheFor(font).metrics;
    GridFontMeasures m;
    m.spaceWidth = fm.horizontalAdvance(QLatin1Char(' '));
    m.height = fm.height();
    m.externalLeading = std::max(0, fm.leading());
    m.averageCharWidth = fm.averageCharWidth();
    return m;
}

QSize FontTextMetrics::TextExtent(const QFont& font, const QString& text) const {
    FontCache& cache = CacheFor(font);
    const int lineHeight = cache.metrics.height();
    if (!text.contains(QLatin1Char('\n'))) return QSize(LineWidth(cache, text), lineHeight);
    int width = 0;
    int lines = 0;
    qsizetype from = 0;
    while (true) {
        const qsizetype end = text.indexOf(QLatin1Char('\n'), from);
        const qsizetype stop = end < 0 ? text.size() : end;
        width = std::max(width, LineWidth(cache, text.mid(from, stop - from)));
        ++lines;
        if (end < 0) break;
        from = end + 1;
    }
    return QSize(width, lines * lineHeight);
}
