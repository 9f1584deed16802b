#include "monitor/SnapshotRows.h"

#include <algorithm>
#include <vector>

QList<ExportRow> SnapshotRows(const CMapStrToLoginObj& matrix) {
    std::vector<std::pair<const QString*, const LoginRecord*>> order;
    order.reserve(static_cast<size_t>(matrix.GetCount()));
    for (const auto& [key, rec] : matrix) order.emplace_back(&key, &rec);
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        if (a.second->DateTime != b.second->DateTime)
            return a.second->DateTime < b.second->DateTime;
        return *a.first < *b.first;
    });
    QList<ExportRow> rows;
    rows.reserve(static_cast<qsizetype>(order.size()));
    for (const auto& [key, rec] : order)
        rows.append({rec->Pid, rec->UserId, rec->Machine, rec->DateTime, rec->Email});
    return rows;
}
