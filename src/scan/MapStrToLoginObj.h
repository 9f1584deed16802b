#pragma once

#include <QMap>
#include <QString>

#include "scan/LoginRecord.h"

// Sessions keyed by Machine + "/" + Pid; records are copied in and out. Iteration runs in
// key order, so every pass over the map is reproducible.
class CMapStrToLoginObj {
public:
    using Storage = QMap<QString, LoginRecord>;

    bool SetAt(const QString& key, const LoginRecord& record) {
        m_items.insert(key, record);
        return true;
    }
    bool Lookup(const QString& key, LoginRecord& record) const {
        const auto it = m_items.constFind(key);
        if (it == m_items.constEnd()) return false;
        record = it.value();
        return true;
    }
    bool Contains(const QString& key) const { return m_items.contains(key); }
    bool RemoveKey(const QString& key) { return m_items.remove(key) > 0; }
    int GetCount() const { return static_cast<int>(m_items.size()); }
    bool IsEmpty() const { return m_items.isEmpty(); }
    void RemoveAll() { m_items.clear(); }

    Storage::const_iterator begin() const { return m_items.constBegin(); }
    Storage::const_iterator end() const { return m_items.constEnd(); }

private:
    Storage m_items;
};
