#pragma once

#include <QString>
#include <cstring>
#include <vector>

// Where matrix entries sit in the grid, by a 64-bit hash of their upper-cased look-up text
// ("PID/MACHINE", or the pid alone). The first entry of a text stays; every hit is checked
// against the grid's cells by the caller, and two texts are taken as one only when all 64 bits
// of their hashes agree. A flat table without an allocation per entry, with open addressing:
// the scanner lays it out afresh for a matrix it rebuilds, or moves only the hashes of the
// entries that changed place.
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
    Position* Find(quint64 hash) {
        return const_cast<Position*>(static_cast<const EntryIndex*>(this)->Find(hash));
    }
    // Sets the position of a hash, whether it had one or not.
    void Set(quint64 hash, Position p) {
        if ((m_count + 1) * 2 > m_slots.size()) Grow();
        Slot& s = m_slots[Probe(hash)];
        if (s.hash == 0) {
            s.hash = Stored(hash);
            ++m_count;
        }
        s.pos = p;
    }
    // Takes a hash out. The slots after it that it pushed along move back, so that every
    // hash stays reachable from its home slot without a gap.
    void Erase(quint64 hash) {
        if (m_slots.empty()) return;
        size_t hole = Probe(hash);
        if (m_slots[hole].hash == 0) return;
        const size_t mask = m_slots.size() - 1;
        for (size_t i = (hole + 1) & mask; m_slots[i].hash != 0; i = (i + 1) & mask) {
            // The slot may fill the hole unless its home lies after the hole, up to itself.
            const size_t home = Home(m_slots[i].hash);
            const bool homeAfterHole =
                hole <= i ? hole < home && home <= i : hole < home || home <= i;
            if (homeAfterHole) continue;
            m_slots[hole] = m_slots[i];
            hole = i;
        }
        m_slots[hole] = Slot{};
        --m_count;
    }
    // Whether both hold the same hashes at the same positions.
    bool SameAs(const EntryIndex& other) const {
        if (m_count != other.m_count) return false;
        for (const Slot& s : m_slots) {
            if (s.hash == 0) continue;
            const Position* p = other.Find(s.hash);
            if (!p || p->row != s.pos.row || p->col != s.pos.col) return false;
        }
        return true;
    }

private:
    struct Slot {
        quint64 hash = 0;  // 0: empty
        Position pos{0, 0};
    };
    static quint64 Stored(quint64 hash) { return hash ? hash : 1; }
    size_t Home(quint64 stored) const {
        return static_cast<size_t>(stored ^ (stored >> 32)) & (m_slots.size() - 1);
    }
    // The slot holding `hash`, or the empty one where it would go.
    size_t Probe(quint64 hash) const {
        const quint64 h = Stored(hash);
        const size_t mask = m_slots.size() - 1;
        for (size_t i = Home(h);; i = (i + 1) & mask)
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
