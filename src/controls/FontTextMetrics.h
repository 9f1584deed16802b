#pragma once

#include <QFont>
#include <QFontMetrics>
#include <optional>

#include "controls/GridTextMetrics.h"

// Text measuring with the real fonts. Cells normally share one font, so the metrics of the
// last font asked for are kept and reused.
class FontTextMetrics : public GridTextMetrics {
public:
    GridFontMeasures Measure(const QFont& font) const override;
    QSize TextExtent(const QFont& font, const QString& text) const override;

private:
    const QFontMetrics& MetricsFor(const QFont& font) const;

    mutable QFont m_font;
    mutable std::optional<QFontMetrics> m_metrics;
};
