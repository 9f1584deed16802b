#pragma once

#include <QMap>
#include <QString>

#include "mail/EmailObj.h"

// Recipients keyed by their exact (case-sensitive) address; storing an address again
// replaces the old record, so a list holds each address once. Records are copied in and
// out. Iteration runs in key order, so every pass over a list is reproducible; nothing may
// rely on that order matching the order the entries were stored in.
class CMapStrToEmailObj {
public:
    using Storage = QMap<QString, CEmailObj>;

    void SetAt(const QString& address, const CEmailObj& recipient) {
        m_items.insert(address, recipient);
    }
    bool Lookup(const QString& address, CEmailObj& recipient) const {
        const auto it = m_items.constFind(address);
        if (it == m_items.constEnd()) return false;
        recipient = it.value();
        return true;
    }
    bool Contains(const QString& address) const { return m_items.contains(address); }
    bool RemoveKey(const QString& address) { return m_items.remove(address) > 0; }
    int GetCount() const { return static_cast<int>(m_items.size()); }
    bool IsEmpty() const { return m_items.isEmpty(); }
    void RemoveAll() { m_items.clear(); }

    Storage::const_iterator begin() const { return m_items.constBegin(); }
    Storage::const_iterator end() const { return m_items.constEnd(); }

    bool operator==(const CMapStrToEmailObj&) const = default;

private:
    Storage m_items;
};
