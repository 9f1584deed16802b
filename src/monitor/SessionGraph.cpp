#include "monitor/SessionGraph.h"

#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <algorithm>

#include "monitor/SessionGraphAccessible.h"

namespace {

// The chart spans its points, and at least this much time, so that a first scan or two do
// not make a line across the whole width.
constexpr qint64 kMinSpanMs = 30LL * 1000;
constexpr int kMargin = 4;

const QColor kLineColour(40, 90, 170);
const QColor kGapColour(230, 60, 60);

QString TimeText(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss"));
}

}  // namespace

SessionGraph::SessionGraph(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("sessionGraph"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    SessionGraphAccessible::Install();
}

void SessionGraph::AddAnswered(const QDateTime& when, int sessions) {
    m_series.AddAnswered(when, sessions);
    update();
    SessionGraphAccessible::SeriesChanged(*this);
}

void SessionGraph::AddFailed(const QDateTime& when) {
    m_series.AddFailed(when);
    update();
    SessionGraphAccessible::SeriesChanged(*this);
}

QString SessionGraph::Caption() const {
    if (m_series.TodayPeak() < 0) return QStringLiteral("Peak today: -");
    return QStringLiteral("Peak today: %1 at %2")
        .arg(m_series.TodayPeak())
        .arg(m_series.TodayPeakTime().toString(QStringLiteral("HH:mm:ss")));
}

QRect SessionGraph::PlotRect() const {
    // The caption above, the count labels to the left, the times of both ends below.
    const int line = fontMetrics().height();
    const int label = fontMetrics().horizontalAdvance(QString::number(TopCount())) + 4;
    return QRect(kMargin + label, kMargin + line + 2, width() - 2 * kMargin - label - 1,
                 height() - 2 * kMargin - 2 * line - 3);
}

qint64 SessionGraph::SpanEnd() const {
    return m_series.Empty() ? 0 : m_series.Points().back().lastMs;
}

qint64 SessionGraph::SpanStart() const {
    if (m_series.Empty()) return -kMinSpanMs;
    const qint64 span = std::clamp(SpanEnd() - m_series.Points().front().firstMs, kMinSpanMs,
                                   SessionSeries::kSpanMs);
    return SpanEnd() - span;
}

int SessionGraph::XOf(qint64 ms, const QRect& plot) const {
    const qint64 start = SpanStart();
    const double f = static_cast<double>(ms - start) / static_cast<double>(SpanEnd() - start);
    return plot.left() + static_cast<int>(f * plot.width());
}

qint64 SessionGraph::MsAt(int x, const QRect& plot) const {
    const qint64 start = SpanStart();
    const double f = plot.width() > 0 ? static_cast<double>(x - plot.left()) / plot.width() : 0;
    return start + static_cast<qint64>(f * static_cast<double>(SpanEnd() - start));
}

int SessionGraph::TopCount() const {
    // Some room above the highest count, so that the line never runs along the frame.
    const int top = std::max(m_series.MaxCount(), 1);
    return top + std::max(1, top / 10);
}

void SessionGraph::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setPen(palette().color(QPalette::WindowText));
    // The caption lines up with the texts above the graph.
    p.drawText(QRect(0, kMargin, width(), fontMetrics().height()), Qt::AlignLeft | Qt::AlignVCenter,
               Caption());

    const QRect plot = PlotRect();
    if (plot.width() < 2 || plot.height() < 2) return;
    p.fillRect(plot, palette().base());
    const int top = TopCount();
    p.setPen(palette().color(QPalette::Text));
    p.drawText(QRect(kMargin, plot.top(), plot.left() - kMargin - 2, fontMetrics().height()),
               Qt::AlignRight | Qt::AlignTop, QString::number(top));
    p.drawText(QRect(kMargin, plot.bottom() - fontMetrics().height(), plot.left() - kMargin - 2,
                     fontMetrics().height()),
               Qt::AlignRight | Qt::AlignBottom, QStringLiteral("0"));
    if (!m_series.Empty()) {
        const QRect times(plot.left(), plot.bottom() + 2, plot.width(), fontMetrics().height());
        const QString format = QStringLiteral("HH:mm");
        p.drawText(times, Qt::AlignLeft | Qt::AlignTop,
                   QDateTime::fromMSecsSinceEpoch(SpanStart()).toString(format));
        p.drawText(times, Qt::AlignRight | Qt::AlignTop,
                   QDateTime::fromMSecsSinceEpoch(SpanEnd()).toString(format));
    }

    const auto yOf = [&](int count) {
        return plot.bottom() - static_cast<int>(static_cast<double>(count) * plot.height() / top);
    };

    p.save();
    p.setClipRect(plot);
    // Failed scans: a red band over each run of them, the line broken there.
    QColor band = kGapColour;
    band.setAlpha(70);
    const auto& points = m_series.Points();
    for (size_t i = 0; i < points.size(); ++i) {
        if (!points[i].Gap()) continue;
        const int x0 = XOf(points[i].firstMs, plot);
        while (i + 1 < points.size() && points[i + 1].Gap()) ++i;
        const int x1 = std::max(XOf(points[i].lastMs, plot), x0 + 2);
        p.fillRect(QRect(x0 - 1, plot.top(), x1 - x0 + 1, plot.height()), band);
        p.fillRect(QRect(x0 - 1, plot.bottom() - 3, x1 - x0 + 1, 4), kGapColour);
    }

    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath line;
    bool open = false;
    for (const SessionSeries::Point& point : points) {
        if (point.Gap()) {
            open = false;
            // Scans that answered amid the failures still show their count.
            if (point.peak >= 0) {
                p.setPen(Qt::NoPen);
                p.setBrush(kLineColour);
                p.drawEllipse(QPointF(XOf(point.peakMs, plot), yOf(point.peak)), 1.5, 1.5);
            }
            continue;
        }
        const QPointF at(XOf(point.peakMs, plot), yOf(point.peak));
        if (open)
            line.lineTo(at);
        else
            line.moveTo(at);
        open = true;
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kLineColour, 1.5));
    p.drawPath(line);
    // A lone answered scan between gaps would not show as a line.
    p.setPen(Qt::NoPen);
    p.setBrush(kLineColour);
    for (size_t i = 0; i < points.size(); ++i) {
        const SessionSeries::Point& point = points[i];
        const bool alone = !point.Gap() && (i == 0 || points[i - 1].Gap()) &&
                           (i + 1 == points.size() || points[i + 1].Gap());
        if (alone) p.drawEllipse(QPointF(XOf(point.peakMs, plot), yOf(point.peak)), 2, 2);
    }
    p.restore();

    p.setPen(palette().color(QPalette::Mid));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);
}

QString SessionGraph::ToolTipAt(const QPoint& pos) const {
    const QRect plot = PlotRect();
    if (!plot.adjusted(-2, -2, 2, 2).contains(pos)) return QString();
    const SessionSeries::Point* point = m_series.PointNear(MsAt(pos.x(), plot));
    if (!point) return QString();
    // Too far from the pointer to be what it points at.
    if (std::abs(XOf(point->peakMs, plot) - pos.x()) > 8 &&
        (pos.x() < XOf(point->firstMs, plot) - 8 || pos.x() > XOf(point->lastMs, plot) + 8))
        return QString();
    QString when = TimeText(point->peakMs);
    if (point->answered + point->failed > 1 && point->lastMs > point->firstMs)
        when = TimeText(point->firstMs) + QStringLiteral(" - ") + TimeText(point->lastMs);
    QStringList parts;
    if (point->peak >= 0)
        parts.append(point->answered > 1 ? QStringLiteral("up to %1 sessions").arg(point->peak)
                                         : QStringLiteral("%1 sessions").arg(point->peak));
    if (point->failed > 0)
        parts.append(point->failed > 1 ? QStringLiteral("%1 scans failed").arg(point->failed)
                                       : QStringLiteral("scan failed"));
    return when + QStringLiteral("  ") + parts.join(QStringLiteral(", "));
}

bool SessionGraph::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = ToolTipAt(help->pos());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    return QWidget::event(event);
}
