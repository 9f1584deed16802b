#include "monitor/SessionSeries.h"

#include <algorithm>

void SessionSeries::AddAnswered(const QDateTime& when, int sessions) {
    Add(when, std::max(sessions, 0), false);
}

void SessionSeries::AddFailed(const QDateTime& when) {
    Add(when, -1, true);
}

void SessionSeries::Add(const QDateTime& when, int sessions, bool failed) {
    // A clock set back must not put a point before older ones: the points stay in order.
    qint64 ms = when.toMSecsSinceEpoch();
    if (!m_points.empty()) ms = std::max(ms, m_points.back().lastMs);

    if (when.date() != m_today) {
        m_today = when.date();
        m_todayPeak = -1;
        m_todayPeakTime = QDateTime();
    }
    if (!failed && sessions > m_todayPeak) {
        m_todayPeak = sessions;
        m_todayPeakTime = when;
    }

    Point p;
    p.firstMs = p.lastMs = p.peakMs = ms;
    p.peak = failed ? -1 : sessions;
    p.answered = failed ? 0 : 1;
    p.failed = failed ? 1 : 0;
    m_points.push_back(p);

    const qint64 oldest = ms - kSpanMs;
    const auto kept = std::find_if(m_points.begin(), m_points.end(),
                                   [oldest](const Point& q) { return q.lastMs >= oldest; });
    const int dropped = static_cast<int>(kept - m_points.begin());
    m_points.erase(m_points.begin(), kept);
    m_slots = std::max(0, m_slots - dropped);

    if (Size() - m_slots > kMaxSingle) Fold();
}

void SessionSeries::Fold() {
    const auto slotOf = [](qint64 ms) { return ms >= 0 ? ms / kSlotMs : (ms + 1) / kSlotMs - 1; };
    // The older half of the single scans goes into slots.
    const int rest = m_slots + (Size() - m_slots) / 2;
    std::vector<Point> out(m_points.begin(), m_points.begin() + m_slots);
    out.reserve(m_points.size());
    for (int i = m_slots; i < rest; ++i) {
        const Point& p = m_points[static_cast<size_t>(i)];
        if (out.empty() || slotOf(out.back().firstMs) != slotOf(p.firstMs)) {
            out.push_back(p);
            continue;
        }
        Point& slot = out.back();
        slot.lastMs = p.lastMs;
        if (p.peak > slot.peak) {
            slot.peak = p.peak;
            slot.peakMs = p.peakMs;
        }
        slot.answered += p.answered;
        slot.failed += p.failed;
    }
    m_slots = static_cast<int>(out.size());
    out.insert(out.end(), m_points.begin() + rest, m_points.end());
    m_points = std::move(out);
}

int SessionSeries::MaxCount() const {
    int best = 0;
    for (const Point& p : m_points) best = std::max(best, p.peak);
    return best;
}

const SessionSeries::Point* SessionSeries::PointNear(qint64 ms) const {
    if (m_points.empty()) return nullptr;
    // The first point that ends at or after `ms`, or the one before it.
    const auto after = std::lower_bound(m_points.begin(), m_points.end(), ms,
                                        [](const Point& p, qint64 t) { return p.lastMs < t; });
    if (after == m_points.begin()) return &*after;
    if (after == m_points.end()) return &m_points.back();
    const auto before = after - 1;
    const qint64 toAfter = after->firstMs > ms ? after->firstMs - ms : 0;
    return ms - before->lastMs <= toAfter ? &*before : &*after;
}
