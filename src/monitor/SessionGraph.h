#pragma once

#include <QDateTime>
#include <QRect>
#include <QString>
#include <QWidget>

#include "monitor/SessionSeries.h"

// A small chart of the number of sessions over the last 24 hours: a line through the
// answered scans, broken and shaded red where scans failed, today's peak and its time as a
// caption, and the time and count under the pointer as a tooltip.
class SessionGraph : public QWidget {
    Q_OBJECT
public:
    explicit SessionGraph(QWidget* parent = nullptr);

    void AddAnswered(const QDateTime& when, int sessions);
    void AddFailed(const QDateTime& when);
    const SessionSeries& Series() const { return m_series; }

    // "Peak today: %1 at %2", or that no scan answered today.
    QString Caption() const;
    // The tooltip text for a point of the chart at `pos`; empty where there is nothing.
    QString ToolTipAt(const QPoint& pos) const;

    QSize sizeHint() const override { return {200, 150}; }
    QSize minimumSizeHint() const override { return {120, 80}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    // Where the data is drawn, and the time span it covers.
    QRect PlotRect() const;
    qint64 SpanStart() const;
    qint64 SpanEnd() const;
    int XOf(qint64 ms, const QRect& plot) const;
    qint64 MsAt(int x, const QRect& plot) const;
    int TopCount() const;

    SessionSeries m_series;
};
