#include "controls/FontTextMetrics.h"

#include <algorithm>

const QFontMetrics& FontTextMetrics::MetricsFor(const QFont& font) const {
    if (!m_metrics || !(font == m_font)) {
        m_font = font;
        m_metrics.emplace(font);
    }
    return *m_metrics;
}

GridFontMeasures FontTextMetrics::Measure(const QFont& font) const {
    const QFontMetrics& fm = MetricsFor(font);
    GridFontMeasures m;
    m.spaceWidth = fm.horizontalAdvance(QLatin1Char(' '));
    m.height = fm.height();
    m.externalLeading = std::max(0, fm.leading());
    m.averageCharWidth = fm.averageCharWidth();
    return m;
}

QSize FontTextMetrics::TextExtent(const QFont& font, const QString& text) const {
    const QFontMetrics& fm = MetricsFor(font);
    if (!text.contains(QLatin1Char('\n'))) return QSize(fm.horizontalAdvance(text), fm.height());
    int width = 0;
    int lines = 0;
    qsizetype from = 0;
    while (true) {
        const qsizetype end = text.indexOf(QLatin1Char('\n'), from);
        const qsizetype stop = end < 0 ? text.size() : end;
        width = std::max(width, fm.horizontalAdvance(text.mid(from, stop - from)));
        ++lines;
        if (end < 0) break;
        from = end + 1;
    }
    return QSize(width, lines * fm.height());
}
