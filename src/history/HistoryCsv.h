#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

#include "history/HistorySnapshot.h"

class QIODevice;

// Rows as CSV (RFC 4180): UTF-8, a heading row, fields quoted where they hold a comma, a
// quote or a line break, quotes doubled, lines ended with CR LF.
class HistoryCsv {
public:
    static QByteArray Row(const QStringList& fields);
    // False when `out` refused the bytes.
    static bool WriteSessions(QIODevice& out, const HistorySnapshot& snap,
                              const std::vector<uint32_t>& rows, int64_t now);
    static bool WriteEvents(QIODevice& out, const HistorySnapshot& snap,
                            const std::vector<uint32_t>& rows);
};
