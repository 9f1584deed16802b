// The grid's clipboard paste: the input is the clipboard's text, split into rows and cells
// and written into a grid's cells the way a paste at the focus cell does.

#include <QString>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "controls/GridModel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<QStringList> rows = GridModel::SplitPasteText(text);
    QV_FUZZ_CHECK(rows.size() == text.count(QLatin1Char('\n')) + 1);
    for (const QStringList& cells : rows)
        for (const QString& cell : cells) {
            QV_FUZZ_CHECK(!cell.contains(QLatin1Char('\t')) && !cell.contains(QLatin1Char(',')) &&
                          !cell.contains(QLatin1Char('\n')));
            QV_FUZZ_CHECK(cell == cell.trimmed());
        }

    static GridModel grid;
    if (grid.GetRowCount() == 0) {
        grid.SetRowCount(12);
        grid.SetColumnCount(6);
        grid.SetFixedRowCount(1);
        grid.SetFixedColumnCount(1);
    }
    const int top = 1 + int(size % 11), left = 1 + int(size % 5);
    for (qsizetype j = 0; j < rows.size(); ++j)
        for (qsizetype k = 0; k < rows[j].size(); ++k) {
            const int r = top + int(qMin<qsizetype>(j, 1 << 20));
            const int c = left + int(qMin<qsizetype>(k, 1 << 20));
            if (!grid.IsValid(r, c)) continue;
            QV_FUZZ_CHECK(grid.SetItemText(r, c, rows[j][k]));
            QV_FUZZ_CHECK(grid.GetItemText(r, c) == rows[j][k]);
        }
    return 0;
}
