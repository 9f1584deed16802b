#include "history/HistoryCsv.h"

#include <QIODevice>

#include "history/HistoryText.h"

namespace {

constexpr qsizetype kFlushBytes = 1 << 20;

template <typename Cell>
bool Write(QIODevice& out, int columns, const std::vector<uint32_t>& rows, const Cell& cell,
           const QStringList& heading) {
    QByteArray block = HistoryCsv::Row(heading);
    QStringList fields;
    for (const uint32_t row : rows) {
        fields.clear();
        for (int c = 0; c < columns; ++c) fields.append(cell(row, c));
        block += HistoryCsv::Row(fields);
        if (block.size() >= kFlushBytes) {
            if (out.write(block) != block.size()) return false;
            block.clear();
        }
    }
    return out.write(block) == block.size();
}

}  // namespace

QByteArray HistoryCsv::Row(const QStringList& fields) {
    QByteArray line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i) line += ',';
        const QByteArray f = fields[i].toUtf8();
        if (f.contains(',') || f.contains('"') || f.contains('\n') || f.contains('\r')) {
            QByteArray quoted = f;
            quoted.replace("\"", "\"\"");
            line += '"' + quoted + '"';
        } else {
            line += f;
        }
    }
    return line + "\r\n";
}

bool HistoryCsv::WriteSessions(QIODevice& out, const HistorySnapshot& snap,
                               const std::vector<uint32_t>& rows, int64_t now) {
    QStringList heading;
    for (int c = 0; c < HistoryText::SessionColumns; ++c)
        heading.append(HistoryText::SessionHeading(c));
    return Write(
        out, HistoryText::SessionColumns, rows,
        [&](uint32_t row, int c) {
            return HistoryText::SessionCell(snap, snap.Session(row), c, now);
        },
        heading);
}

bool HistoryCsv::WriteEvents(QIODevice& out, const HistorySnapshot& snap,
                             const std::vector<uint32_t>& rows) {
    QStringList heading;
    for (int c = 0; c < HistoryText::EventColumns; ++c)
        heading.append(HistoryText::EventHeading(c));
    return Write(
        out, HistoryText::EventColumns, rows,
        [&](uint32_t row, int c) { return HistoryText::EventCell(snap, snap.Event(row), c); },
        heading);
}
