#pragma once

#include <QString>
#include <string_view>
#include <unordered_map>

#include "scan/LoginRecord.h"

// Sessions keyed by Machine + "/" + Pid; records are copied in and out. Look-ups are by hash.
// The iteration order is fixed for a given history of insertions (the hash has no seed) but
// otherwise arbitrary: passes that present sessions in an order sort them.
class CMapStrToLoginObj {
public:
    // An unseeded hash of the key's UTF-16 text (the standard library's byte hash: cheaper
    // than Qt's for the short keys of sessions).
    struct KeyHash {
        size_t operator()(const QString& key) const noexcept {
            return std::hash<std::u16string_view>{}(std::u16string_view(
                reinterpret_cast<const char16_t*>(key.utf16()), static_cast<size_t>(key.size())));
        }
    };

    using Storage = std::unordered_map<QString, LoginRecord, KeyHash>;

    bool SetAt(const QString& key, const LoginRecord& record) {
        m_items.insert_or_assign(key, record);
        return true;
    }
    bool SetAt(const QString& key, LoginRecord&& record) {
        m_items.insert_or_assign(key, std::move(record));
        return true;
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
    bool RemoveKey(const QString& key) { return m_items.erase(key) > 0; }
    int GetCount() const { return static_cast<int>(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }
    void RemoveAll() { m_items.clear(); }
    void Reserve(int n) { m_items.reserve(static_cast<size_t>(n)); }
    void Swap(CMapStrToLoginObj& other) noexcept { m_items.swap(other.m_items); }

    // A record taken out with its key and storage, to be put back, changed or not, without
    // allocating again: a map refilled from a report that hardly changes reuses its records.
    using Node = Storage::node_type;
    Node Extract(const QString& key) { return m_items.extract(key); }
    // Replaces a record of the same key.
    void Insert(Node&& node) {
        auto result = m_items.insert(std::move(node));
        if (!result.inserted) result.position->second = std::move(result.node.mapped());
    }

    // Iteration over (key, record) pairs.
    Storage::const_iterator begin() const { return m_items.begin(); }
    Storage::const_iterator end() const { return m_items.end(); }
    Storage::iterator begin() { return m_items.begin(); }
    Storage::iterator end() { return m_items.end(); }

private:
    Storage m_items;
};
