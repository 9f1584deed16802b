#pragma once

#include <QDate>
#include <QDateTime>
#include <QtGlobal>
#include <vector>

// The session counts of the last 24 hours for the graph beside the matrix: one point per
// scan, answered or failed, in bounded memory. The newest scans keep a point each; when they
// grow too many, the older half of them is folded into fixed time slots, a thousand to the
// day. A slot keeps the highest count of its scans (so a peak never flattens) and stays a
// gap when any of them failed. Today's peak is kept apart, exactly, for the caption.
class SessionSeries {
public:
    static constexpr qint64 kSpanMs = 24LL * 60 * 60 * 1000;
    static constexpr qint64 kSlotMs = kSpanMs / 1000;
    static constexpr int kMaxSingle = 1024;
    // Slots of the last day (one more where the day does not start on a slot's edge) and
    // the single scans after them.
    static constexpr int kMaxPoints = 1002 + kMaxSingle;

    struct Point {
        qint64 firstMs = 0;  // the first and last scan it stands for
        qint64 lastMs = 0;
        qint64 peakMs = 0;  // when its highest count was seen; firstMs when none was
        int peak = -1;      // the highest count of its answered scans; -1: none answered
        int answered = 0;
        int failed = 0;
        bool Gap() const { return failed > 0; }
    };

    void AddAnswered(const QDateTime& when, int sessions);
    void AddFailed(const QDateTime& when);

    const std::vector<Point>& Points() const { return m_points; }
    bool Empty() const { return m_points.empty(); }
    int Size() const { return static_cast<int>(m_points.size()); }
    // The highest count among the points, 0 when none answered.
    int MaxCount() const;
    // The point whose scans lie nearest to `ms`; nullptr when there are none.
    const Point* PointNear(qint64 ms) const;

    // Today's highest count and when it was first reached; `TodayPeak` is -1 before the
    // first answered scan of the day.
    int TodayPeak() const { return m_todayPeak; }
    QDateTime TodayPeakTime() const { return m_todayPeakTime; }

private:
    void Add(const QDateTime& when, int sessions, bool failed);
    void Fold();

    std::vector<Point> m_points;  // oldest first, never overlapping
    int m_slots = 0;              // the first points are slots, the rest single scans
    QDate m_today;
    int m_todayPeak = -1;
    QDateTime m_todayPeakTime;
};
