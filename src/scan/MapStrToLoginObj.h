#pragma once

#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "scan/LoginRecord.h"

// Sessions keyed by Machine + "/" + Pid; records are copied in and out. Look-ups are by hash.
// The iteration order is fixed for a given history of insertions (the hash has no seed) but
// otherwise arbitrary: passes that present sessions in an order sort them.
class CMapStrToLoginObj {
public:
    // An unseeded hash of the key's UTF-16 text, eight bytes at a time: session keys are
    // short, and a general byte hash spends more on its set-up than on them.
    struct KeyHash {
        // Deliberately not noexcept: the standard library then keeps each key's hash in its
        // node, and a look-up compares hashes instead of hashing every key of its bucket
        // again to find where the bucket ends.
        size_t operator()(const QString& key) const {
            return Of(reinterpret_cast<const char16_t*>(key.utf16()), key.size());
        }
        static size_t Of(const char16_t* text, qsizetype size) noexcept {
            constexpr quint64 kMul = 0x9E3779B97F4A7C15ull;
            quint64 h = static_cast<quint64>(size) * kMul;
            const auto mix = [&](quint64 v) { h = ((h << 5) | (h >> 59)) ^ v, h *= kMul; };
            qsizetype i = 0;
            for (; i + 4 <= size; i += 4) {
                quint64 v;
                std::memcpy(&v, text + i, sizeof v);
                mix(v);
            }
            quint64 tail = 0;
            for (qsizetype k = 0; i < size; ++i, ++k) tail |= quint64(text[i]) << (16 * k);
            mix(tail);
            return static_cast<size_t>(h ^ (h >> 29));
        }
    };

    // A stored record, with what a refill keeps with it: the pass that last found it, and
    // where the reader that refilled the map last saw its line.
    struct Entry : LoginRecord {
        Entry() = default;
        explicit Entry(const LoginRecord& r) : LoginRecord(r) {}
        explicit Entry(LoginRecord&& r) : LoginRecord(std::move(r)) {}
        quint64 pass = 0;
        int line = -1;
    };

public:
    using Storage = std::unordered_map<QString, Entry, KeyHash>;
    static_assert(!std::is_nothrow_invocable_v<const KeyHash&, const QString&>,
                  "the map keeps the hashes of its keys only for a hash that may throw");

    // A stored key and its record, both valid until the key is removed.
    struct Located {
        const QString* key = nullptr;
        LoginRecord* record = nullptr;
    };
    // Stores a copy of the record under the key, replacing any; returns where it is stored.
    Located SetAt(const QString& key, const LoginRecord& record) {
        return Store(key, Entry(record));
    }
    Located SetAt(const QString& key, LoginRecord&& record) {
        return Store(key, Entry(std::move(record)));
    }
    bool Lookup(const QString& key, LoginRecord& record) const {
        const auto it = m_items.find(key);
        if (it == m_items.end()) return false;
        record = it->second;
        return true;
    }
    // The stored record itself, or nullptr; valid until the key is removed.
    const LoginRecord* Find(const QString& key) const {
        const auto it = m_items.find(key);
        return it == m_items.end() ? nullptr : &it->second;
    }
    LoginRecord* Find(const QString& key) {
        const auto it = m_items.find(key);
        return it == m_items.end() ? nullptr : &it->second;
    }
    bool Contains(const QString& key) const { return m_items.find(key) != m_items.end(); }
    bool RemoveKey(const QString& key) {
        if (m_items.erase(key) == 0) return false;
        ++m_keysVersion;
        return true;
    }
    // Takes the key's record out of the map with one look-up. The record lives on in the
    // returned node (empty when the key is absent) until the node is dropped.
    Storage::node_type Extract(const QString& key) {
        Storage::node_type node = m_items.extract(key);
        if (!node.empty()) ++m_keysVersion;
        return node;
    }
    int GetCount() const { return static_cast<int>(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }
    void RemoveAll() {
        if (m_items.empty()) return;
        m_items.clear();
        ++m_keysVersion;
    }

    // Changes whenever a key comes or goes, not when a record changes: a map showing the
    // version it had when its keys were compared still holds those keys.
    quint64 KeysVersion() const { return m_keysVersion; }

    // Refilling from a listing that hardly changes, without giving up the records it repeats:
    // BeginRefill, then Refill for each listed key (which stores the new ones), then
    // EndRefill, which drops the keys the listing no longer has.
    void BeginRefill() {
        ++m_pass;
        m_refilled = 0;
        m_refillFrom = m_keysVersion;
        m_added.clear();
        m_dropped.clear();
    }
    // Counts the refills begun.
    quint64 Pass() const { return m_pass; }
    // The record stored for `key`, to be brought up to date (`again`: the key was refilled
    // before in this pass), or, when the key is new, an empty record stored for it (`added`)
    // that the caller fills. One look-up either way.
    Entry& Refill(const QString& key, bool& again, bool& added) {
        const auto [it, inserted] = m_items.try_emplace(key);
        added = inserted;
        if (!inserted) {
            again = !Refill(it->second);
            return it->second;
        }
        again = false;
        it->second.pass = m_pass;
        ++m_refilled;
        ++m_keysVersion;
        m_added.push_back({&it->first, &it->second});
        return it->second;
    }
    // Marks a record found by other means; false when it was refilled before in this pass.
    bool Refill(Entry& entry) {
        if (entry.pass == m_pass) return false;
        entry.pass = m_pass;
        ++m_refilled;
        return true;
    }
    // Every record is found again: the listing repeats the one last refilled from.
    void RefilledAll() { m_refilled = m_items.size(); }
    void EndRefill() {
        if (m_refilled != m_items.size()) {
            DropNotRefilled();
            ++m_keysVersion;
        }
        m_refillTo = m_keysVersion;
    }
    // EndRefill for a map whose every record is among those `forEachHeld` hands to its
    // callback (the records the refiller set last time, repeats allowed): only they are looked
    // at, not the whole map.
    template <typename ForEachHeld>
    void EndRefillAmong(ForEachHeld forEachHeld) {
        if (m_refilled != m_items.size()) {
            std::vector<Entry*> gone;
            forEachHeld([&](Entry& e) {
                if (e.pass != m_pass) gone.push_back(&e);
            });
            std::sort(gone.begin(), gone.end());
            gone.erase(std::unique(gone.begin(), gone.end()), gone.end());
            for (Entry* e : gone) {
                QString key = e->Key();
                const auto it = m_items.find(key);
                if (it == m_items.end() || &it->second != e) continue;
                m_items.erase(it);
                m_dropped.append(std::move(key));
            }
            // Whatever the records held did not cover is found the long way.
            if (m_refilled != m_items.size()) DropNotRefilled();
            ++m_keysVersion;
        }
        m_refillTo = m_keysVersion;
    }
    // What the last refill changed in the keys: those it added (with their records) and those
    // it dropped. Only while the keys have not changed since (`RefillChangesKeys`), and as a
    // change from the keys the map had at version `RefillFrom`.
    struct Added {
        const QString* key;
        Entry* record;
    };
    const std::vector<Added>& RefillAdded() const { return m_added; }
    const QStringList& RefillDropped() const { return m_dropped; }
    quint64 RefillFrom() const { return m_refillFrom; }
    bool RefillChangesKeys() const { return m_refillTo == m_keysVersion; }

    // Iteration over (key, record) pairs.
    Storage::const_iterator begin() const { return m_items.begin(); }
    Storage::const_iterator end() const { return m_items.end(); }
    Storage::iterator begin() { return m_items.begin(); }
    Storage::iterator end() { return m_items.end(); }

private:
    void DropNotRefilled() {
        for (auto it = m_items.begin(); it != m_items.end();) {
            if (it->second.pass == m_pass) {
                ++it;
                continue;
            }
            m_dropped.append(it->first);
            it = m_items.erase(it);
        }
    }
    Located Store(const QString& key, Entry&& s) {
        const auto [it, inserted] = m_items.insert_or_assign(key, std::move(s));
        if (inserted) ++m_keysVersion;
        return {&it->first, &it->second};
    }

    Storage m_items;
    quint64 m_keysVersion = 0;
    quint64 m_pass = 0;
    size_t m_refilled = 0;
    quint64 m_refillFrom = 0;
    quint64 m_refillTo = ~quint64(0);
    std::vector<Added> m_added;
    QStringList m_dropped;
};
