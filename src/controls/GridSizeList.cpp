#include "controls/GridSizeList.h"

#include <algorithm>

void GridSizeList::Set(int i, int size) {
    m_sizes[size_t(i)] = size;
    m_validUpTo = std::min(m_validUpTo, i);
}

void GridSizeList::Resize(int count, int size) {
    const int old = Count();
    count = std::max(count, 0);
    m_sizes.resize(size_t(count), size);
    m_offsets.resize(size_t(count) + 1, 0);
    if (count < old) {
        m_validUpTo = std::min(m_validUpTo, count);
    } else if (m_validUpTo == old) {
        for (int i = old; i < count; ++i) m_offsets[size_t(i) + 1] = m_offsets[size_t(i)] + size;
        m_validUpTo = count;
    }
}

void GridSizeList::Clear() {
    m_sizes.clear();
    m_offsets.assign(1, 0);
    m_validUpTo = 0;
}

void GridSizeList::Refresh() const {
    const int n = Count();
    for (int i = m_validUpTo; i < n; ++i)
        m_offsets[size_t(i) + 1] = m_offsets[size_t(i)] + m_sizes[size_t(i)];
    m_validUpTo = n;
}

qint64 GridSizeList::Offset(int i) const {
    if (i > m_validUpTo) Refresh();
    return m_offsets[size_t(i)];
}

int GridSizeList::FirstEndingAfter(int from, int to, qint64 limit) const {
    if (from >= to) return to;
    Refresh();
    // Ends of entries [from, to) are m_offsets[from + 1 .. to].
    auto first = m_offsets.begin() + from + 1;
    auto last = m_offsets.begin() + to + 1;
    return int(std::upper_bound(first, last, limit) - m_offsets.begin()) - 1;
}

int GridSizeList::FirstEndingAtOrAfter(int from, int to, qint64 limit) const {
    if (from >= to) return to;
    Refresh();
    auto first = m_offsets.begin() + from + 1;
    auto last = m_offsets.begin() + to + 1;
    return int(std::lower_bound(first, last, limit) - m_offsets.begin()) - 1;
}

int GridSizeList::FirstStartingAtOrAfter(int from, int to, qint64 limit) const {
    if (from > to) return to;
    Refresh();
    auto first = m_offsets.begin() + from;
    auto last = m_offsets.begin() + to + 1;
    auto it = std::lower_bound(first, last, limit);
    return it == last ? to : int(it - m_offsets.begin());
}
