#include "controls/GridOverlays.h"

#include <QSet>
#include <algorithm>

void GridOverlays::Add(int row, int col, Colours colours, qint64 start, qint64 end) {
    if (row < 0 || col < 0 || end <= start) return;
    const quint64 key = GridCellKey(row, col);
    m_cells[key].push_back({colours, start, end});
    m_changes.emplace(start, key);
    m_changes.emplace(end, key);
}

std::optional<GridOverlays::Colours> GridOverlays::At(int row, int col, qint64 now) const {
    auto it = m_cells.constFind(GridCellKey(row, col));
    if (it == m_cells.constEnd()) return std::nullopt;
    for (auto e = it->rbegin(); e != it->rend(); ++e)
        if (e->start <= now && now < e->end) return e->colours;
    return std::nullopt;
}

QList<CCellID> GridOverlays::Advance(qint64 now) {
    QSet<quint64> touched;
    while (!m_changes.empty() && m_changes.begin()->first <= now) {
        touched.insert(m_changes.begin()->second);
        m_changes.erase(m_changes.begin());
    }
    QList<CCellID> cells;
    cells.reserve(touched.size());
    for (quint64 key : touched) {
        cells.append(GridCellOfKey(key));
        auto it = m_cells.find(key);
        if (it == m_cells.end()) continue;
        std::vector<Entry>& entries = *it;
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [now](const Entry& e) { return e.end <= now; }),
                      entries.end());
        if (entries.empty()) m_cells.erase(it);
    }
    return cells;
}

std::optional<qint64> GridOverlays::NextChange() const {
    if (m_changes.empty()) return std::nullopt;
    return m_changes.begin()->first;
}

void GridOverlays::Clear() {
    m_cells.clear();
    m_changes.clear();
}

void GridOverlays::Prune(int rows, int cols) {
    for (auto it = m_cells.begin(); it != m_cells.end();) {
        const CCellID cell = GridCellOfKey(it.key());
        if (cell.row >= rows || cell.col >= cols)
            it = m_cells.erase(it);
        else
            ++it;
    }
    for (auto it = m_changes.begin(); it != m_changes.end();) {
        if (!m_cells.contains(it->second))
            it = m_changes.erase(it);
        else
            ++it;
    }
}
