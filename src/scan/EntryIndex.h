#pragma once

#include <QString>
#include <cstring>
#include <vector>

// Where matrix entries sit in the grid, by a 64-bit hash of their upper-cased look-up text
// ("PID/MACHINE", or the pid alone). The first entry of a text stays; every hit is checked
// against the grid's cells by the caller, and two texts are taken as one only when all 64 bits
// of their hashes agree. A flat table without an allocation per entry: the scanner lays it
// out afresh for every matrix it rebuilds.
class EntryIndex {
public:
    struct Position {
        int row;
        int col;
    };

    // The hash of `a` + "/" + `b` upper-cased as the scanner upper-cases (b may be null for
    // `a` alone). Plain ASCII text, which a report almost always is, is folded on the way.
    static quint64 HashOf(const QString& a, const QString* b = nullptr);

    void Clear() {
        if (m_count == 0) return;
        std::fill(m_slots.begin(), m_slots.end(), Slot{});
        m_count = 0;
    }
    // Keeps the first position of a hash.
    void Insert(quint64 hash, Position p) {
        if ((m_count + 1) * 2 > m_slots.size()) Grow();
        Slot& s = m_slots[Probe(hash)];
        if (s.hash != 0) return;
        s = {Stored(hash), p};
        ++m_count;
    }
    const Position* Find(quint64 hash) const {
        if (m_slots.empty()) return nullptr;
        const Slot& s = m_slots[Probe(hash)];
        return s.hash != 0 ? &s.pos : nullptr;
    }

private:
    struct Slot {
        quint64 hash = 0;  // 0: empty
        Position pos{0, 0};
    };
    static quint64 Stored(quint64 hash) { return hash ? hash : 1; }
    // The slot holding `hash`, or the empty one where it would go.
    size_t Probe(quint64 hash) const {
        const quint64 h = Stored(hash);
        const size_t mask = m_slots.size() - 1;
        for (size_t i = static_cast<size_t>(h ^ (h >> 32)) & mask;; i = (i + 1) & mask)
            if (m_slots[i].hash == 0 || m_slots[i].hash == h) return i;
    }
    void Grow() {
        std::vector<Slot> old = std::move(m_slots);
        m_slots.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
        m_count = 0;
        for (const Slot& s : old)
            if (s.hash != 0) {
                m_slots[Probe(s.hash)] = s;
                ++m_count;
            }
    }

    std::vector<Slot> m_slots;
    size_t m_count = 0;
};
