#include "monitor/SnapshotRows.h"

#include <algorithm>
#include <vector>

#include "scan/LoginOrder.h"

QList<ExportRow> SnapshotRows(const CMapStrToLoginObj& matrix) {
    struct Entry {
        const QString* key;
        const LoginRecord* rec;
        LoginOrderKey order;
    };
    std::vector<Entry> order;
    order.reserve(static_cast<size_t>(matrix.GetCount()));
    for (const auto& [key, rec] : matrix)
        order.push_back({&key, &rec, LoginOrderKey(rec.DateTime)});
    std::sort(order.begin(), order.end(), [](const Entry& a, const Entry& b) {
        return LoginOrderLess(a.order, *a.key, b.order, *b.key);
    });
    QList<ExportRow> rows;
    rows.reserve(static_cast<qsizetype>(order.size()));
    for (const Entry& e : order)
        rows.append({e.rec->Pid, e.rec->UserId, e.rec->Machine, e.rec->DateTime, e.rec->Email});
    return rows;
}
