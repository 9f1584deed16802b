#pragma once

#include <QtGlobal>
#include <vector>

// Row heights or column widths with their running sums. The sums are brought up to date
// lazily from the first changed entry, so appending one row stays O(1) and a position
// lookup is a binary search instead of a walk over every row.
class GridSizeList {
public:
    int Count() const { return int(m_sizes.size()); }
    // Callers check 0 <= i < Count().
    int Get(int i) const { return m_sizes[size_t(i)]; }
    void Set(int i, int size);
    // Truncates, or appends entries of `size`.
    void Resize(int count, int size);
    void Clear();

    // Sum of the sizes before entry i, 0 <= i <= Count().
    qint64 Offset(int i) const;
    qint64 Total() const { return Offset(Count()); }
    // Sum of entries [from, to).
    qint64 Sum(int from, int to) const { return Offset(to) - Offset(from); }

    // First entry i in [from, to) whose end Offset(i + 1) exceeds `limit`; `to` when none.
    int FirstEndingAfter(int from, int to, qint64 limit) const;
    // First entry i in [from, to) whose end Offset(i + 1) reaches `limit`; `to` when none.
    int FirstEndingAtOrAfter(int from, int to, qint64 limit) const;
    // First index i in [from, to] with Offset(i) >= limit; `to` when none.
    int FirstStartingAtOrAfter(int from, int to, qint64 limit) const;

private:
    void Refresh() const;

    std::vector<int> m_sizes;
    mutable std::vector<qint64> m_offsets{0};  // Count() + 1 entries once refreshed
    mutable int m_validUpTo = 0;               // m_offsets[0..m_validUpTo] are current
};
